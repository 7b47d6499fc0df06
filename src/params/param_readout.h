// The values of one device type as plain lines, in the order of its panel: the
// label name, the caption beside it, the text and its state. Device type 5 gives
// one line per grid value, named after its cell ("StringGrid1[row,column]").
#pragma once

#include "params/param_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ReadoutLine {
    std::string name;
    std::string caption;
    LabelValue value;
};

std::vector<ReadoutLine> paramReadout(int deviceType, const ParamReader& reader);
// "normal" or "alarm".
const char* labelStateName(LabelState state);

// The meter's clock minus the PC's, in seconds: the type's clock label as read,
// against `pcLocalSeconds` (the PC's wall clock at the reply, its local time
// counted as if it were UTC, as the meter keeps no zone). nullopt for a type
// that does not report its time, or a clock text that is no time.
std::optional<double> meterClockOffsetS(const DeviceRegistry& registry, int deviceType,
                                        const LabelValues& values, int64_t pcLocalSeconds);
