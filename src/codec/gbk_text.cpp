#include "codec/gbk_text.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// Length of the UTF-8 sequence a lead byte announces; 1 for stray bytes.
size_t utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

// Bytes to replace by one '?': the lead byte and the continuation bytes that
// follow it, up to the length it announces, so a character GBK lacks or a
// broken or truncated sequence costs one mark and the text after it is kept.
size_t replacedLength(const char* text, size_t left)
{
    const size_t length = std::min(left, utf8SequenceLength(static_cast<unsigned char>(text[0])));
    size_t taken = 1;
    while (taken < length && (static_cast<unsigned char>(text[taken]) & 0xC0) == 0x80)
        ++taken;
    return taken;
}

#ifndef _WIN32
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (valid())
            iconv_close(m_handle);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_handle; }

private:
    iconv_t m_handle;
};

// Converts the whole input; where the converter stops at bytes it cannot take
// (EILSEQ: unconvertible or invalid; EINVAL: truncated at the end) one '?' is
// written and `skip` tells how many input bytes it stands for.
std::string convertAll(const IconvHandle& converter, std::string_view input,
                       size_t (*skip)(const char* text, size_t left))
{
    std::string out;
    out.reserve(input.size());
    char buffer[1024];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, size_t(outPtr - buffer));
        if (result != size_t(-1) || errno == E2BIG)
            continue;
        out += '?';
        const size_t skipped = skip(in, inLeft);
        in += skipped;
        inLeft -= skipped;
        iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

size_t oneByte(const char*, size_t)
{
    return 1;
}
#else
// Windows has no iconv; code page 936 is GBK with one addition, the euro sign
// at 0x80, which is refused both ways so the bytes match the Linux build's.
constexpr UINT kGbkCodePage = 936;

// The code point of one UTF-8 sequence of `length` bytes; 0 when it is broken.
char32_t decodeUtf8(const char* text, size_t length)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    if (length == 1)
        return byte(0) < 0x80 ? byte(0) : 0;
    char32_t code = byte(0) & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return code;
}

// Appends the GBK bytes of one code point; false when GBK has no code for it.
bool appendGbk(char32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
        return true;
    }
    wchar_t wide[2];
    int wideLength = 1;
    if (code >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        wideLength = 2;
    } else {
        wide[0] = static_cast<wchar_t>(code);
    }
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int written = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes,
                                            sizeof bytes, nullptr, &usedDefault);
    if (written != 2 || usedDefault)
        return false;
    out.append(bytes, 2);
    return true;
}

// Appends the UTF-8 bytes of one two-byte GBK character; false when it has none.
bool appendUtf8(const char* pair, std::string& out)
{
    wchar_t wide[2];
    const int wideLength = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, pair, 2, wide, 2);
    if (wideLength <= 0)
        return false;
    char bytes[8];
    const int written =
        WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, bytes, sizeof bytes, nullptr, nullptr);
    if (written <= 0)
        return false;
    out.append(bytes, static_cast<size_t>(written));
    return true;
}
#endif

} // namespace

#ifdef _WIN32
std::string utf8ToGbk(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const size_t length = replacedLength(utf8.data() + i, utf8.size() - i);
        const char32_t code = length == utf8SequenceLength(static_cast<unsigned char>(utf8[i]))
                                  ? decodeUtf8(utf8.data() + i, length)
                                  : 0;
        if ((code == 0 && utf8[i] != '\0') || !appendGbk(code, out))
            out += '?';
        i += length;
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk)
{
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (size_t i = 0; i < gbk.size();) {
        const unsigned char lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
        } else if (lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size() && appendUtf8(gbk.data() + i, out)) {
            i += 2;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}
#else
std::string utf8ToGbk(std::string_view utf8)
{
    IconvHandle converter("GBK", "UTF-8");
    if (converter.valid())
        return convertAll(converter, utf8, replacedLength);
    // Without a converter only ASCII survives; everything else is replaced.
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        out += c < 0x80 ? char(c) : '?';
        i += c < 0x80 ? 1 : replacedLength(utf8.data() + i, utf8.size() - i);
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk)
{
    IconvHandle converter("UTF-8", "GBK");
    if (converter.valid())
        return convertAll(converter, gbk, oneByte);
    std::string out;
    for (char c : gbk)
        out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return out;
}
#endif
