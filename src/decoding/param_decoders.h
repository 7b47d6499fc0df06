// Decoders of the parameter read-out replies: pure functions from the reply
// bytes to label values. Each returns 1 (decoded), 2 (wrong length), 3 (wrong
// check bytes) or 4 (wrong start bytes, device type 3 only) and writes `values`
// only when it returns 1. Offsets count from the reply's address byte; numbers
// are most significant byte first. Any byte string is safe input.
#pragma once

#include "codec/codec.h"
#include "decoding/param_labels.h"

#include <string>

namespace ParamResult {
inline constexpr int Decoded = 1;
inline constexpr int BadLength = 2;
inline constexpr int BadCheck = 3;
inline constexpr int BadStart = 4;
} // namespace ParamResult

// Reply lengths of the Modbus-style parameter reads.
inline constexpr size_t kReplyLengthType1 = 43;
inline constexpr size_t kReplyLengthType2Live = 37;
inline constexpr size_t kReplyLengthType2Card = 59;
inline constexpr size_t kReplyLengthType6 = 55;
inline constexpr size_t kReplyLengthType7 = 47;

// Every decoder takes the panel it fills: the status labels of the panel name the
// reply bits behind them.
using ParamDecoder = int (*)(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);

// The decimal value of each byte written one after the other, then "0" put in front
// up to `width` characters: 01 0C gives "112", width 4 "0112".
std::string bytesToDecimalDigits(int width, ByteView bytes);

// Device type 1: 43 bytes, live values and the fault byte at offset 40.
int decodeParamsType1(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);
// Device type 2, first request: 37 bytes of live values.
int decodeLiveType2(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);
// Device type 2, second request: 59 bytes of card parameters.
int decodeCardParamsType2(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);
// Device type 6: 55 bytes, live values and the alarm bytes at offsets 43 and 44.
int decodeParamsType6(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);
// Device type 3: "UU"-framed answer of 30 bytes (48-bit volume) or 28 (32-bit),
// sealed with the 8-bit sum of the bytes after the header.
int decodeParamsType3(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);
// Device type 7: 47 bytes, live values, status and alarm words.
int decodeParamsType7(const ParamPanelSpec& panel, ByteView reply, LabelValues& values);
