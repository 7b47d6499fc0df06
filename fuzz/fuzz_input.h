// Reads structured values off the front of a fuzzer's input: each target takes
// its choices (kind code, block number, field description ...) from the first
// bytes and keeps the rest as the payload. Reading past the end gives zeros, so
// every input, however short, is a valid case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_bytes(data, size) {}

    bool empty() const { return m_bytes.empty(); }

    uint8_t byte()
    {
        if (m_bytes.empty())
            return 0;
        const uint8_t value = m_bytes.front();
        m_bytes = m_bytes.subspan(1);
        return value;
    }

    // Big-endian, as the meters send their numbers.
    uint16_t U16()
    {
        const uint16_t high = byte();
        return static_cast<uint16_t>(high << 8 | byte());
    }

    // Up to `count` bytes as text (any bytes, not necessarily UTF-8).
    std::string text(size_t count)
    {
        const size_t take = count < m_bytes.size() ? count : m_bytes.size();
        std::string text(reinterpret_cast<const char*>(m_bytes.data()), take);
        m_bytes = m_bytes.subspan(take);
        return text;
    }

    // A length byte, then that many bytes.
    std::string shortText() { return text(byte()); }

    std::span<const uint8_t> rest()
    {
        const std::span<const uint8_t> rest = m_bytes;
        m_bytes = {};
        return rest;
    }

private:
    std::span<const uint8_t> m_bytes;
};

// True when `text` is well-formed UTF-8 (no overlongs, no surrogates, at most
// U+10FFFF): what every text shown in a table cell must be.
inline bool isWellFormedUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t length;
        uint32_t code;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// Ends the process the way libFuzzer recognises as a finding, with the reason.
[[noreturn]] void fuzzFailure(const char* what);
