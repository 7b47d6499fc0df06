#include "modbus/modbus_values.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace {

struct NamedFormat {
    ModbusFormat format;
    const char* name;
    int registers;
};

const std::array<NamedFormat, 9> kFormats = {{
    {ModbusFormat::U16, "u16", 1},
    {ModbusFormat::I16, "i16", 1},
    {ModbusFormat::Hex, "hex", 1},
    {ModbusFormat::Bin, "bin", 1},
    {ModbusFormat::U32, "u32", 2},
    {ModbusFormat::I32, "i32", 2},
    {ModbusFormat::F32, "f32", 2},
    {ModbusFormat::F64, "f64", 4},
    {ModbusFormat::Bcd, "bcd", 1},
}};

const std::array<const char*, 4> kOrderNames = {"abcd", "cdab", "badc", "dcba"};

const NamedFormat& row(ModbusFormat format)
{
    return *std::find_if(kFormats.begin(), kFormats.end(),
                         [format](const NamedFormat& row) { return row.format == format; });
}

bool reversesRegisters(WordOrder order)
{
    return order == WordOrder::Cdab || order == WordOrder::Dcba;
}

bool swapsBytes(WordOrder order)
{
    return order == WordOrder::Badc || order == WordOrder::Dcba;
}

uint16_t swapBytes(uint16_t word)
{
    return static_cast<uint16_t>(word << 8 | word >> 8);
}

// The value's bytes most significant first, from `count` registers on the wire.
uint64_t assemble(WordOrder order, std::span<const uint16_t> registers, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        uint16_t word = registers[static_cast<size_t>(reversesRegisters(order) ? count - 1 - i : i)];
        if (swapsBytes(order))
            word = swapBytes(word);
        value = value << 16 | word;
    }
    return value;
}

std::vector<uint16_t> disassemble(WordOrder order, uint64_t value, int count)
{
    std::vector<uint16_t> registers(static_cast<size_t>(count));
    for (int i = count - 1; i >= 0; --i) {
        uint16_t word = static_cast<uint16_t>(value & 0xFFFF);
        value >>= 16;
        if (swapsBytes(order))
            word = swapBytes(word);
        registers[static_cast<size_t>(reversesRegisters(order) ? count - 1 - i : i)] = word;
    }
    return registers;
}

template <class T> std::string shortestText(T value)
{
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

template <class T> std::optional<T> parseWhole(std::string_view text, int base = 10)
{
    T value{};
    if (text.empty() || text.front() == '+')
        return std::nullopt;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

template <class T> std::optional<T> parseFloat(std::string_view text)
{
    T value{};
    if (text.empty())
        return std::nullopt;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

} // namespace

std::optional<ModbusFormat> parseModbusFormat(std::string_view text)
{
    const std::string lower = lowerCase(text);
    for (const NamedFormat& row : kFormats)
        if (lower == row.name)
            return row.format;
    return std::nullopt;
}

const char* modbusFormatName(ModbusFormat format)
{
    return row(format).name;
}

std::optional<WordOrder> parseWordOrder(std::string_view text)
{
    const std::string lower = lowerCase(text);
    for (size_t i = 0; i < kOrderNames.size(); ++i)
        if (lower == kOrderNames[i])
            return static_cast<WordOrder>(i);
    return std::nullopt;
}

const char* wordOrderName(WordOrder order)
{
    return kOrderNames[static_cast<size_t>(order)];
}

int registersPerValue(ModbusFormat format)
{
    return row(format).registers;
}

std::string formatModbusValue(ModbusFormat format, WordOrder order, std::span<const uint16_t> registers)
{
    const int count = registersPerValue(format);
    if (registers.size() < static_cast<size_t>(count))
        return {};
    const uint16_t word = registers[0];
    const uint64_t value = count > 1 ? assemble(order, registers, count) : word;
    switch (format) {
    case ModbusFormat::U16:
        return std::to_string(word);
    case ModbusFormat::I16:
        return std::to_string(static_cast<int16_t>(word));
    case ModbusFormat::Hex: {
        char text[8];
        std::snprintf(text, sizeof text, "0x%04X", word);
        return text;
    }
    case ModbusFormat::Bin: {
        std::string text;
        for (int bit = 15; bit >= 0; --bit)
            text.push_back((word >> bit) & 1 ? '1' : '0');
        return text;
    }
    case ModbusFormat::Bcd: {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string text;
        for (int shift = 12; shift >= 0; shift -= 4)
            text.push_back(kDigits[(word >> shift) & 0xF]);
        return text;
    }
    case ModbusFormat::U32:
        return std::to_string(static_cast<uint32_t>(value));
    case ModbusFormat::I32:
        return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(value)));
    case ModbusFormat::F32:
        return shortestText(std::bit_cast<float>(static_cast<uint32_t>(value)));
    case ModbusFormat::F64:
        return shortestText(std::bit_cast<double>(value));
    }
    return {};
}

std::optional<std::vector<uint16_t>> encodeModbusValue(ModbusFormat format, WordOrder order,
                                                       std::string_view text)
{
    const int count = registersPerValue(format);
    std::optional<uint64_t> bits;
    switch (format) {
    case ModbusFormat::U16:
        if (const auto value = parseWhole<uint16_t>(text))
            bits = *value;
        break;
    case ModbusFormat::I16:
        if (const auto value = parseWhole<int16_t>(text))
            bits = static_cast<uint16_t>(*value);
        break;
    case ModbusFormat::Hex: {
        std::string_view digits = text;
        if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X"))
            digits.remove_prefix(2);
        if (const auto value = parseWhole<uint16_t>(digits, 16))
            bits = *value;
        break;
    }
    case ModbusFormat::Bin:
        if (const auto value = parseWhole<uint16_t>(text, 2))
            bits = *value;
        break;
    case ModbusFormat::Bcd:
        if (!text.empty() && text.size() <= 4 &&
            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            uint64_t packed = 0;
            for (char c : text)
                packed = packed << 4 | static_cast<uint64_t>(c - '0');
            bits = packed;
        }
        break;
    case ModbusFormat::U32:
        if (const auto value = parseWhole<uint32_t>(text))
            bits = *value;
        break;
    case ModbusFormat::I32:
        if (const auto value = parseWhole<int32_t>(text))
            bits = static_cast<uint32_t>(*value);
        break;
    case ModbusFormat::F32:
        if (const auto value = parseFloat<float>(text))
            bits = std::bit_cast<uint32_t>(*value);
        break;
    case ModbusFormat::F64:
        if (const auto value = parseFloat<double>(text))
            bits = std::bit_cast<uint64_t>(*value);
        break;
    }
    if (!bits)
        return std::nullopt;
    if (count == 1)
        return std::vector<uint16_t>{static_cast<uint16_t>(*bits)};
    return disassemble(order, *bits, count);
}
