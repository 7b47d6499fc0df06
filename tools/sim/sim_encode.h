// Value encoders of the simulated meter: the inverse of the codec's Read… functions,
// appending big-endian bytes to a frame under construction, plus the two ways a
// meter seals a frame. Used only to produce replies; nothing here validates input.
#pragma once

#include "codec/codec.h"

#include <array>
#include <cstdint>

void putU8(Bytes& out, uint8_t value);
void putU16(Bytes& out, uint16_t value);
void putU32(Bytes& out, uint32_t value);
void putI64(Bytes& out, int64_t value);
void putDouble(Bytes& out, double value);
void putSingle(Bytes& out, double value);
// 48-bit unsigned integer part, 16-bit fraction (negative values are stored as 0).
void putFixed48_16(Bytes& out, double value);
// Sign and magnitude, 23 integer bits and 8 fraction bits.
void putFixed23_8(Bytes& out, double value);
// Sign and magnitude, 7 integer bits and 24 fraction bits.
void putFixed7_24(Bytes& out, double value);
// Signed exponent byte, sign bit and 23-bit mantissa normalised to [2^22, 2^23).
void putFloat32Exp(Bytes& out, double value);
// Signed exponent byte and 40-bit mantissa normalised to [2^39, 2^40); no sign.
void putFloat48Exp(Bytes& out, double value);
uint8_t toBcd(int value);
void putBcd(Bytes& out, int value);
void putFill(Bytes& out, size_t count, uint8_t value);

// Calendar time the records are stamped with (no time zone: the meters keep local
// time as plain BCD digits).
struct SimTime {
    int year = 2024, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
SimTime simTimeFromSeconds(int64_t secondsSince2000);
int64_t simTimeToSeconds(const SimTime& time);
SimTime addMonths(SimTime time, int months);
// Six BCD bytes YY MM DD hh mm ss.
void putBcdTime(Bytes& out, const SimTime& time);

// Modbus-style replies: the CRC-16 over the whole frame, high byte first as
// appendCrc writes it (full length, so even an oversize test frame stays valid).
Bytes sealModbus(Bytes frame);
// Custom frames of device type 3: the 8-bit sum of every byte after the "UU" header.
Bytes sealCustom(Bytes frame);
