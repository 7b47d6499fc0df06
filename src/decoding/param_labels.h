// The labels of a parameter panel: what it shows, by the label names the window
// gives its controls, with captions, reset texts and, for status labels, the reply
// bit behind them and the texts for a set and a clear bit. Each device type's
// description holds its panel; the decoders and the window share it.
#pragma once

#include <map>
#include <string>
#include <vector>

enum class LabelState { Normal, Alarm };

// The text of one value or status label and whether it shows a normal (green for
// status labels) or an alarm (red) state.
struct LabelValue {
    std::string text;
    LabelState state = LabelState::Normal;
    bool operator==(const LabelValue&) const = default;
};

// Label name → what it shows, for every label of every panel.
using LabelValues = std::map<std::string, LabelValue>;

enum class LabelKind {
    Value,  // a number or text from the reply; reset to its reset text
    Status, // one bit (or the valve's two bits) of a status byte; reset to normal
    Kept,   // written by a good reply but left alone by the reset
    Fixed,  // shows its reset text for ever
};

struct ParamLabelSpec {
    const char* name;
    const char* caption;
    LabelKind kind;
    const char* resetText;
    // Status labels: the reply offset and bit (bit -1: not a single bit), and the
    // texts shown when the bit is set (red) and clear (green).
    int offset = -1;
    int bit = -1;
    const char* setText = nullptr;
    const char* clearText = nullptr;
};

struct ParamGroupSpec {
    const char* caption;
    std::vector<ParamLabelSpec> labels;
};

struct ParamPanelSpec {
    const char* panelName;
    // The line a read of this type appends to the log first.
    const char* banner;
    std::vector<ParamGroupSpec> groups;
};

// A value label; a status label with the reply offset and bit behind it.
ParamLabelSpec paramValue(const char* name, const char* caption, const char* resetText = "0");
ParamLabelSpec paramStatus(const char* name, const char* caption, int offset, int bit, const char* setText,
                           const char* clearText);

// Puts every label of `panel` into its reset state: values to their reset
// text, status labels to their reset text in the normal state. Kept and fixed
// labels get their reset text only when `values` holds nothing for them yet.
void resetParamLabels(const ParamPanelSpec& panel, LabelValues& values);
// Empties every label of `panel` but the fixed ones, which keep their reset
// text: nothing has been read from this meter yet.
void blankParamLabels(const ParamPanelSpec& panel, LabelValues& values);
