#include "decoding/param_labels.h"

ParamLabelSpec paramValue(const char* name, const char* caption, const char* resetText)
{
    return {name, caption, LabelKind::Value, resetText};
}

ParamLabelSpec paramStatus(const char* name, const char* caption, int offset, int bit, const char* setText,
                           const char* clearText)
{
    return {name, caption, LabelKind::Status, clearText, offset, bit, setText, clearText};
}

void blankParamLabels(const ParamPanelSpec& panel, LabelValues& values)
{
    for (const ParamGroupSpec& group : panel.groups) {
        for (const ParamLabelSpec& label : group.labels)
            values[label.name] = {label.kind == LabelKind::Fixed ? label.resetText : "", LabelState::Normal};
    }
}

void resetParamLabels(const ParamPanelSpec& panel, LabelValues& values)
{
    for (const ParamGroupSpec& group : panel.groups) {
        for (const ParamLabelSpec& label : group.labels) {
            const bool keep = label.kind == LabelKind::Kept || label.kind == LabelKind::Fixed;
            if (keep && values.count(label.name))
                continue;
            values[label.name] = {label.resetText, LabelState::Normal};
        }
    }
}
