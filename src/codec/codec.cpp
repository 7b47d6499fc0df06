#include "codec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#ifdef _WIN32
#include <locale.h>
#else
#include <clocale>
#include <locale.h>
#endif

const uint8_t kCrcTableHi[256] = {
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40, 0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
    0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41, 0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40,
};

const uint8_t kCrcTableLo[256] = {
    0x00, 0xC0, 0xC1, 0x01, 0xC3, 0x03, 0x02, 0xC2, 0xC6, 0x06, 0x07, 0xC7, 0x05, 0xC5, 0xC4, 0x04,
    0xCC, 0x0C, 0x0D, 0xCD, 0x0F, 0xCF, 0xCE, 0x0E, 0x0A, 0xCA, 0xCB, 0x0B, 0xC9, 0x09, 0x08, 0xC8,
    0xD8, 0x18, 0x19, 0xD9, 0x1B, 0xDB, 0xDA, 0x1A, 0x1E, 0xDE, 0xDF, 0x1F, 0xDD, 0x1D, 0x1C, 0xDC,
    0x14, 0xD4, 0xD5, 0x15, 0xD7, 0x17, 0x16, 0xD6, 0xD2, 0x12, 0x13, 0xD3, 0x11, 0xD1, 0xD0, 0x10,
    0xF0, 0x30, 0x31, 0xF1, 0x33, 0xF3, 0xF2, 0x32, 0x36, 0xF6, 0xF7, 0x37, 0xF5, 0x35, 0x34, 0xF4,
    0x3C, 0xFC, 0xFD, 0x3D, 0xFF, 0x3F, 0x3E, 0xFE, 0xFA, 0x3A, 0x3B, 0xFB, 0x39, 0xF9, 0xF8, 0x38,
    0x28, 0xE8, 0xE9, 0x29, 0xEB, 0x2B, 0x2A, 0xEA, 0xEE, 0x2E, 0x2F, 0xEF, 0x2D, 0xED, 0xEC, 0x2C,
    0xE4, 0x24, 0x25, 0xE5, 0x27, 0xE7, 0xE6, 0x26, 0x22, 0xE2, 0xE3, 0x23, 0xE1, 0x21, 0x20, 0xE0,
    0xA0, 0x60, 0x61, 0xA1, 0x63, 0xA3, 0xA2, 0x62, 0x66, 0xA6, 0xA7, 0x67, 0xA5, 0x65, 0x64, 0xA4,
    0x6C, 0xAC, 0xAD, 0x6D, 0xAF, 0x6F, 0x6E, 0xAE, 0xAA, 0x6A, 0x6B, 0xAB, 0x69, 0xA9, 0xA8, 0x68,
    0x78, 0xB8, 0xB9, 0x79, 0xBB, 0x7B, 0x7A, 0xBA, 0xBE, 0x7E, 0x7F, 0xBF, 0x7D, 0xBD, 0xBC, 0x7C,
    0xB4, 0x74, 0x75, 0xB5, 0x77, 0xB7, 0xB6, 0x76, 0x72, 0xB2, 0xB3, 0x73, 0xB1, 0x71, 0x70, 0xB0,
    0x50, 0x90, 0x91, 0x51, 0x93, 0x53, 0x52, 0x92, 0x96, 0x56, 0x57, 0x97, 0x55, 0x95, 0x94, 0x54,
    0x9C, 0x5C, 0x5D, 0x9D, 0x5F, 0x9F, 0x9E, 0x5E, 0x5A, 0x9A, 0x9B, 0x5B, 0x99, 0x59, 0x58, 0x98,
    0x88, 0x48, 0x49, 0x89, 0x4B, 0x8B, 0x8A, 0x4A, 0x4E, 0x8E, 0x8F, 0x4F, 0x8D, 0x4D, 0x4C, 0x8C,
    0x44, 0x84, 0x85, 0x45, 0x87, 0x47, 0x46, 0x86, 0x82, 0x42, 0x43, 0x83, 0x41, 0x81, 0x80, 0x40,
};

namespace {

// Byte i of a piece, or 0 past its end, so a short piece never reads outside.
uint8_t at(ByteView bytes, size_t i)
{
    return i < bytes.size() ? bytes[i] : 0;
}

uint16_t crcOver(ByteView bytes, size_t count)
{
    uint8_t hi = 0xFF;
    uint8_t lo = 0xFF;
    for (size_t n = 0; n < count && n < bytes.size(); ++n) {
        const uint8_t i = hi ^ bytes[n];
        hi = lo ^ kCrcTableHi[i];
        lo = kCrcTableLo[i];
    }
    return static_cast<uint16_t>(hi << 8 | lo);
}

bool checkCrcWith(ByteView frame, bool fullLength)
{
    if (frame.size() < 2)
        return false;
    const size_t body = frame.size() - 2;
    const uint16_t crc = fullLength ? crcOver(frame, body) : crcOver(frame, body % 256);
    return (frame[body] << 8 | frame[body + 1]) == crc;
}

const char kHexDigits[] = "0123456789ABCDEF";

char bcdNibble(uint8_t nibble)
{
    return static_cast<char>('0' + (nibble > 9 ? nibble - 6 : nibble));
}

} // namespace

uint16_t crc16(ByteView bytes, uint8_t count)
{
    return crcOver(bytes, count);
}

uint16_t crc16Full(ByteView bytes)
{
    return crcOver(bytes, bytes.size());
}

Bytes appendCrc(ByteView frame)
{
    Bytes out(frame.begin(), frame.end());
    const uint16_t crc = crc16(frame, static_cast<uint8_t>(frame.size()));
    out.push_back(static_cast<uint8_t>(crc >> 8));
    out.push_back(static_cast<uint8_t>(crc & 0xFF));
    return out;
}

bool checkCrc(ByteView frame)
{
    return checkCrcWith(frame, false);
}

bool checkCrcFull(ByteView frame)
{
    return checkCrcWith(frame, true);
}

uint8_t byteSum8(ByteView bytes)
{
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    return sum;
}

std::string bytesToHexSpaced(ByteView bytes)
{
    std::string text;
    text.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            text += ' ';
        text += kHexDigits[bytes[i] >> 4];
        text += kHexDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string bytesToHex(ByteView bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        text += kHexDigits[b >> 4];
        text += kHexDigits[b & 0x0F];
    }
    return text;
}

bool allBytesEqual(ByteView bytes, uint8_t value)
{
    for (uint8_t b : bytes)
        if (b != value)
            return false;
    return true;
}

Bytes readRegistersRequest(uint8_t address, uint16_t firstRegister, uint16_t registerCount)
{
    return {address,
            0x03,
            static_cast<uint8_t>(firstRegister >> 8),
            static_cast<uint8_t>(firstRegister & 0xFF),
            static_cast<uint8_t>(registerCount >> 8),
            static_cast<uint8_t>(registerCount & 0xFF)};
}

FrameCheck checkModbusReply(ByteView reply, size_t length)
{
    if (reply.size() != length)
        return FrameCheck::BadLength;
    return checkCrc(reply) ? FrameCheck::Ok : FrameCheck::BadCheck;
}

std::string trimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool isNoRecordAnswer(ByteView reply)
{
    if (reply.size() == 5)
        return true;
    return reply.size() >= 3 && reply[1] == 0x66 && reply[2] == 0x80;
}

int16_t bytesToInt16(uint8_t hi, uint8_t lo)
{
    return static_cast<int16_t>(static_cast<uint16_t>(hi << 8 | lo));
}

uint32_t readUInt32(ByteView b)
{
    return static_cast<uint32_t>(at(b, 0)) << 24 | static_cast<uint32_t>(at(b, 1)) << 16 |
           static_cast<uint32_t>(at(b, 2)) << 8 | at(b, 3);
}

int64_t readInt64(ByteView b)
{
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i)
        v = v << 8 | at(b, i);
    return static_cast<int64_t>(v);
}

double bytesToSingle(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    const uint32_t bits = static_cast<uint32_t>(b0) << 24 | static_cast<uint32_t>(b1) << 16 |
                          static_cast<uint32_t>(b2) << 8 | b3;
    return std::bit_cast<float>(bits);
}

double readSingle(ByteView b)
{
    return bytesToSingle(at(b, 0), at(b, 1), at(b, 2), at(b, 3));
}

double bytesToDouble(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6,
                     uint8_t b7)
{
    const uint8_t raw[8] = {b0, b1, b2, b3, b4, b5, b6, b7};
    uint64_t bits = 0;
    for (uint8_t byte : raw)
        bits = bits << 8 | byte;
    return std::bit_cast<double>(bits);
}

double readDouble(ByteView b)
{
    return bytesToDouble(at(b, 0), at(b, 1), at(b, 2), at(b, 3), at(b, 4), at(b, 5), at(b, 6), at(b, 7));
}

double readFixed48_16(ByteView b)
{
    uint64_t integer = 0;
    for (size_t i = 0; i < 6; ++i)
        integer = integer << 8 | at(b, i);
    return static_cast<double>(integer) + (at(b, 6) * 256 + at(b, 7)) / 65536.0;
}

double readFixed23_8(ByteView b)
{
    const double magnitude = ((at(b, 0) & 0x7F) * 65536.0 + at(b, 1) * 256.0 + at(b, 2)) + at(b, 3) / 256.0;
    return (at(b, 0) & 0x80) ? -magnitude : magnitude;
}

double readFixed7_24(ByteView b)
{
    const double magnitude =
        (at(b, 0) & 0x7F) + (at(b, 1) * 65536.0 + at(b, 2) * 256.0 + at(b, 3)) / 16777216.0;
    return (at(b, 0) & 0x80) ? -magnitude : magnitude;
}

double readFloat32Exp(ByteView b)
{
    const int exponent = static_cast<int8_t>(at(b, 0));
    const double mantissa = (at(b, 1) & 0x7F) * 65536.0 + at(b, 2) * 256.0 + at(b, 3);
    const double value = mantissa / std::ldexp(1.0, exponent >= 0 ? 23 - exponent : 23 - exponent);
    return (at(b, 1) & 0x80) ? -value : value;
}

double readFloat48Exp(ByteView b)
{
    const int exponent = static_cast<int8_t>(at(b, 0));
    uint64_t mantissa = 0;
    for (size_t i = 1; i < 6; ++i)
        mantissa = mantissa << 8 | at(b, i);
    return static_cast<double>(mantissa) / std::ldexp(1.0, 39 - exponent);
}

std::string bcdToDigits(ByteView bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        text += bcdNibble(b >> 4);
        text += bcdNibble(b & 0x0F);
    }
    return text;
}

std::string bcdToDateTime(ByteView bytes)
{
    std::string text = bcdToDigits(bytes.first(std::min<size_t>(bytes.size(), 6)));
    // 1-based insert positions, each counted after the previous insertions.
    const struct {
        size_t pos;
        char sep;
    } inserts[] = {{3, '-'}, {6, '-'}, {9, ' '}, {12, ':'}, {15, ':'}};
    for (const auto& ins : inserts) {
        if (ins.pos - 1 >= text.size())
            text += ins.sep;
        else
            text.insert(ins.pos - 1, 1, ins.sep);
    }
    return "20" + text;
}

std::string padLeftZeros(std::string text, int width)
{
    // A sign stays in front of the zeros, as printf's "%06d" puts it.
    const size_t signLength = !text.empty() && text[0] == '-' ? 1 : 0;
    if (width > 0 && text.size() < static_cast<size_t>(width))
        text.insert(signLength, static_cast<size_t>(width) - text.size(), '0');
    return text;
}

namespace {

// The C library formats numbers after LC_NUMERIC, which Qt's application object
// takes from the environment (a German desktop writes "10500,5678"). The meters'
// values are always written with a point, so formatting runs under the C locale
// of this thread only, whatever the process's locale is.
#ifdef _WIN32
// The Microsoft C library writes infinity and NaN as "1.#INF" and "1.#QNAN"
// (cut further by the precision); MinGW's own C99 printf writes "inf" and
// "nan" as glibc does. It takes the decimal point from the C locale, set to
// "C" for this thread only while it runs.
int formatC(char* out, size_t size, const char* fmt, va_list args)
{
    const int perThread = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    const std::string previous = current ? current : "C";
    std::setlocale(LC_NUMERIC, "C");
    const int written = __mingw_vsnprintf(out, size, fmt, args);
    std::setlocale(LC_NUMERIC, previous.c_str());
    _configthreadlocale(perThread);
    return written;
}
#else
int formatC(char* out, size_t size, const char* fmt, va_list args)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const locale_t previous = cLocale ? uselocale(cLocale) : locale_t{};
    const int written = std::vsnprintf(out, size, fmt, args);
    if (cLocale)
        uselocale(previous);
    return written;
}
#endif

// One conversion of a format, with its arguments already taken from the list.
int formatPiece(char* out, size_t size, const char* spec, ...)
{
    va_list args;
    va_start(args, spec);
    const int written = formatC(out, size, spec, args);
    va_end(args);
    return written;
}

template <typename... Args> void appendPiece(std::string& out, const std::string& spec, Args... args)
{
    const int needed = formatPiece(nullptr, 0, spec.c_str(), args...);
    if (needed <= 0)
        return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(needed));
    formatPiece(out.data() + at, static_cast<size_t>(needed) + 1, spec.c_str(), args...);
    out.resize(at + static_cast<size_t>(needed));
}

// Infinity and NaN as glibc writes them, sign included ("-nan" for a NaN whose sign
// bit is set); MinGW's printf drops that sign. The text goes through "%s" so width
// and "-" still apply, padded with blanks as printf pads them whatever the "0" flag.
void appendNonFinite(std::string& out, const std::string& flags, const std::string& width, char conversion,
                     double value)
{
    std::string text = std::signbit(value)                    ? "-"
                       : flags.find('+') != std::string::npos ? "+"
                       : flags.find(' ') != std::string::npos ? " "
                                                              : "";
    const bool upper = conversion == 'F' || conversion == 'E' || conversion == 'G' || conversion == 'A';
    text += std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
    const std::string spec =
        std::string("%") + (flags.find('-') != std::string::npos ? "-" : "") + width + "s";
    appendPiece(out, spec, text.c_str());
}

} // namespace

std::string formatText(const char* fmt, ...)
{
    // Each conversion is formatted on its own, so that a floating-point value that
    // is not finite can be written the same way by every C library.
    va_list args;
    va_start(args, fmt);
    std::string out;
    const char* p = fmt;
    while (*p) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            const size_t length = next ? static_cast<size_t>(next - p) : std::strlen(p);
            out.append(p, length);
            p += length;
            continue;
        }
        const char* start = p++;
        std::string flags;
        while (*p && std::strchr("-+ #0'", *p))
            flags += *p++;
        std::string width;
        if (*p == '*') {
            width = std::to_string(va_arg(args, int));
            ++p;
        }
        while (*p >= '0' && *p <= '9')
            width += *p++;
        std::string precision;
        if (*p == '.') {
            precision = *p++;
            if (*p == '*') {
                const int given = va_arg(args, int);
                // A negative precision from the list counts as none at all. Appended
                // to the point already there: GCC 12 at -O3 warns falsely
                // (-Wrestrict) on a string built as "." + std::to_string(...).
                if (given < 0)
                    precision.clear();
                else
                    precision += std::to_string(given);
                ++p;
            }
            while (*p >= '0' && *p <= '9')
                precision += *p++;
        }
        std::string length;
        while (*p && std::strchr("hlLqjzt", *p))
            length += *p++;
        const char conversion = *p;
        if (!conversion) {
            out.append(start);
            break;
        }
        ++p;
        const std::string spec = "%" + flags + width + precision + length + conversion;
        switch (conversion) {
        case '%':
            out += '%';
            break;
        case 'd':
        case 'i':
            if (length == "ll" || length == "q")
                appendPiece(out, spec, va_arg(args, long long));
            else if (length == "l")
                appendPiece(out, spec, va_arg(args, long));
            else if (length == "j")
                appendPiece(out, spec, va_arg(args, intmax_t));
            else if (length == "z" || length == "t")
                appendPiece(out, spec, va_arg(args, ptrdiff_t));
            else
                appendPiece(out, spec, va_arg(args, int));
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (length == "ll" || length == "q")
                appendPiece(out, spec, va_arg(args, unsigned long long));
            else if (length == "l")
                appendPiece(out, spec, va_arg(args, unsigned long));
            else if (length == "j")
                appendPiece(out, spec, va_arg(args, uintmax_t));
            else if (length == "z" || length == "t")
                appendPiece(out, spec, va_arg(args, size_t));
            else
                appendPiece(out, spec, va_arg(args, unsigned));
            break;
        case 'c':
            // A wint_t for "%lc" arrives promoted to int as well.
            appendPiece(out, spec, va_arg(args, int));
            break;
        case 's':
            if (length == "l")
                appendPiece(out, spec, va_arg(args, const wchar_t*));
            else
                appendPiece(out, spec, va_arg(args, const char*));
            break;
        case 'p':
            appendPiece(out, spec, va_arg(args, void*));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length == "L") {
                const long double value = va_arg(args, long double);
                if (std::isfinite(value))
                    appendPiece(out, spec, value);
                else
                    appendNonFinite(out, flags, width, conversion, static_cast<double>(value));
            } else {
                const double value = va_arg(args, double);
                if (std::isfinite(value))
                    appendPiece(out, spec, value);
                else
                    appendNonFinite(out, flags, width, conversion, value);
            }
            break;
        default:
            // Not a conversion this program writes: kept as text, taking no argument.
            out.append(start, p);
            break;
        }
    }
    va_end(args);
    return out;
}
