#include "codec/gbk_text.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// Length of the UTF-8 sequence a lead byte announces; 1 for stray bytes.
size_t Utf8SequenceLength(unsigned char lead)
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
size_t ReplacedLength(const char* text, size_t left)
{
    const size_t length = std::min(left, Utf8SequenceLength(static_cast<unsigned char>(text[0])));
    size_t taken = 1;
    while (taken < length && (static_cast<unsigned char>(text[taken]) & 0xC0) == 0x80)
        ++taken;
    return taken;
}

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (Valid())
            iconv_close(FHandle);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return FHandle; }

private:
    iconv_t FHandle;
};

// Converts the whole input; where the converter stops at bytes it cannot take
// (EILSEQ: unconvertible or invalid; EINVAL: truncated at the end) one '?' is
// written and `skip` tells how many input bytes it stands for.
std::string ConvertAll(const IconvHandle& converter, std::string_view input,
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
        const size_t result = iconv(converter.Get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, size_t(outPtr - buffer));
        if (result != size_t(-1) || errno == E2BIG)
            continue;
        out += '?';
        const size_t skipped = skip(in, inLeft);
        in += skipped;
        inLeft -= skipped;
        iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

size_t OneByte(const char*, size_t)
{
    return 1;
}

} // namespace

std::string Utf8ToGbk(std::string_view utf8)
{
    IconvHandle converter("GBK", "UTF-8");
    if (converter.Valid())
        return ConvertAll(converter, utf8, ReplacedLength);
    // Without a converter only ASCII survives; everything else is replaced.
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        out += c < 0x80 ? char(c) : '?';
        i += c < 0x80 ? 1 : ReplacedLength(utf8.data() + i, utf8.size() - i);
    }
    return out;
}

std::string GbkToUtf8(std::string_view gbk)
{
    IconvHandle converter("UTF-8", "GBK");
    if (converter.Valid())
        return ConvertAll(converter, gbk, OneByte);
    std::string out;
    for (char c : gbk)
        out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return out;
}
