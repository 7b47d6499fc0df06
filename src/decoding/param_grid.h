// The parameter grid of device type 5: four columns (caption, value, caption,
// value), one row per two parameters, filled from the parameter list of the
// protocol sheet and written by the decoder of the parameter block.
#pragma once

#include "codec/codec.h"
#include "decoding/protocol_sheet.h"

#include <array>
#include <string>
#include <vector>

// Caption, value, caption, value: the same four texts the parameter sheet export takes.
using ParamGridRow = std::array<std::string, 4>;
using ParamGrid = std::vector<ParamGridRow>;
using ParamLayoutArray = std::array<int, kParamLayoutSize>;

// The rows the grid shares among itself; the row height is this divided by the rows.
inline constexpr int kParamGridHeight = 380;

// Captions of the parameters in `paramFields` (caption, type name, caption, type
// name, …) with "0" beside each; at least one row. A trailing caption without a
// type name is ignored.
ParamGrid fillParamGrid(const std::vector<std::string>& paramFields);
// 380 divided by the row count (a grid always has at least one row).
int paramGridRowHeight(const ParamGrid& grid);
// Columns 1 and 3 to "0", column 3 empty where column 2 is empty.
void resetParamGrid(ParamGrid& grid);
// Empties every value cell: nothing has been read into the grid yet.
void blankParamGrid(ParamGrid& grid);

// The register read of the parameter block: address, 0x03, start register
// `paramLayout`[1] and count `paramLayout`[0], each as its low 16 bits, CRC.
Bytes typedParamsRequest(uint8_t address, const ParamLayoutArray& paramLayout);
// Bytes the reply to that request must have: 2 × count + 5 (0 for a negative count).
int typedParamsReplyLength(const ParamLayoutArray& paramLayout);

// Result 2 for a reply shorter than 4 bytes or whose length differs from byte 2 + 5,
// 3 for a CRC fault, else 1 with the values of parameter i in row i / 2, column 1
// (i even) or 3 (i odd). A parameter that lies wholly or partly beyond the reply's
// data bytes, or whose row the grid does not have, is left as it was; unknown type
// names take no bytes.
int decodeParamsGrid(ByteView reply, const std::vector<std::string>& paramFields,
                     const ParamLayoutArray& paramLayout, ParamGrid& grid);
