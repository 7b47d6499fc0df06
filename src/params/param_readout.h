// The values of one device type as plain lines, in the order of its panel: the
// label name, the caption beside it, the text and its state. Device type 5 gives
// one line per grid value, named after its cell ("StringGrid1[row,column]").
#pragma once

#include "params/param_reader.h"

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
