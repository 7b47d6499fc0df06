// Register contents as an operator reads and types them: 16-bit unsigned,
// signed, hex, binary and BCD; 32-bit integers and floats in two registers and
// 64-bit doubles in four, in one of the four word orders devices use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ModbusFormat { U16, I16, Hex, Bin, U32, I32, F32, F64, Bcd };

// Bytes of a value named A B C D … most significant first. ABCD keeps them in
// that order across the registers (big-endian); CDAB puts the registers in
// reverse order; BADC swaps the two bytes of each register; DCBA does both.
// 16-bit formats have no order.
enum class WordOrder { Abcd, Cdab, Badc, Dcba };

// "u16", "i16", "hex", "bin", "u32", "i32", "f32", "f64", "bcd".
std::optional<ModbusFormat> parseModbusFormat(std::string_view text);
const char* modbusFormatName(ModbusFormat format);
// "abcd", "cdab", "badc", "dcba" (any case).
std::optional<WordOrder> parseWordOrder(std::string_view text);
const char* wordOrderName(WordOrder order);

// Registers one value takes: 1, 2 (u32 i32 f32) or 4 (f64).
int registersPerValue(ModbusFormat format);

// The value of the first RegistersPerValue registers of `registers`, as text:
// "1234", "-2", "0x04D2", "0000010011010010", "3.25" (shortest text that
// reads back the same), BCD digits "1234" (a nibble above 9 shows as its hex
// digit, so a register that holds no BCD is still told apart). Empty when
// fewer registers are given.
std::string formatModbusValue(ModbusFormat format, WordOrder order, std::span<const uint16_t> registers);

// The registers of a value typed as text, in the order they go on the wire;
// nullopt when the text is no value of the format (out of range, not a
// number, more than four BCD digits, …). Hex takes an optional "0x".
std::optional<std::vector<uint16_t>> encodeModbusValue(ModbusFormat format, WordOrder order,
                                                       std::string_view text);
