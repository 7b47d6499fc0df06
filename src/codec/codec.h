// Pure byte and value functions shared by every frame builder and decoder.
// Nothing here keeps state, throws, or knows about Qt, the port or the window:
// bad data gives a defined (if strange) value and the caller decides what to do.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// Modbus CRC tables: entry i of kCrcTableHi is the low byte, of kCrcTableLo the high
// byte of the CRC of the single byte i.
extern const uint8_t kCrcTableHi[256];
extern const uint8_t kCrcTableLo[256];

// Table-driven Modbus CRC over the first `count` bytes. The count is 8 bits wide on
// purpose (the meters' firmware and stored frames were built that way): count 256
// covers nothing. High half of the result is the byte that goes first on the wire.
uint16_t crc16(ByteView bytes, uint8_t count);
// Full-length CRC for callers that must verify frames longer than 257 bytes.
uint16_t crc16Full(ByteView bytes);
Bytes appendCrc(ByteView frame);
// True when the last two bytes are the CRC of the bytes before them (8-bit count,
// as the meters compute it). Frames shorter than 2 bytes are rejected.
bool checkCrc(ByteView frame);
// Same check over the whole frame whatever its length.
bool checkCrcFull(ByteView frame);
uint8_t byteSum8(ByteView bytes);

// Modbus "read holding registers" request (function 3): A 03 S N with S and N
// big-endian, without check bytes (appendCrc seals it).
Bytes readRegistersRequest(uint8_t address, uint16_t firstRegister, uint16_t registerCount);

// How a Modbus-style reply of one expected length fails, checked in this order.
enum class FrameCheck { Ok, BadLength, BadCheck };
// Length, then the CRC of the last two bytes (as checkCrc).
FrameCheck checkModbusReply(ByteView reply, size_t length);

// The text without the blanks a "%6.2f"-style format puts before short numbers
// (and any at its end).
std::string trimBlanks(const std::string& text);

std::string bytesToHexSpaced(ByteView bytes);
std::string bytesToHex(ByteView bytes);
bool allBytesEqual(ByteView bytes, uint8_t value);
// Short "no record in this slot" answer: byte 1 = 0x66 and byte 2 = 0x80, or
// exactly 5 bytes. Replies shorter than 3 bytes only match the 5-byte rule.
bool isNoRecordAnswer(ByteView reply);

// Read… functions read the first bytes of their argument, big-endian. A piece
// shorter than stated is padded with zero bytes rather than read past its end.
int16_t bytesToInt16(uint8_t hi, uint8_t lo);
uint32_t readUInt32(ByteView bytes);
int64_t readInt64(ByteView bytes);
double bytesToSingle(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
double readSingle(ByteView bytes);
double bytesToDouble(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6,
                     uint8_t b7);
double readDouble(ByteView bytes);
double readFixed48_16(ByteView bytes);
double readFixed23_8(ByteView bytes);
double readFixed7_24(ByteView bytes);
double readFloat32Exp(ByteView bytes);
double readFloat48Exp(ByteView bytes);
// Two decimal digits per byte; nibbles 10..15 print as 4..9.
std::string bcdToDigits(ByteView bytes);
// Six BCD bytes as 20YY-MM-DD hh:mm:ss (digits not range-checked).
std::string bcdToDateTime(ByteView bytes);
// Zeros in front up to `width` characters in all; after a leading "-", so -2 at
// width 6 gives "-00002".
std::string padLeftZeros(std::string text, int width);

// printf-style formatting into a std::string, for the decoders' "%.2f"-style texts.
// On Windows the C99 printf of MinGW does the work, so formats are checked as GNU ones.
#ifdef _WIN32
std::string formatText(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string formatText(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
#endif
