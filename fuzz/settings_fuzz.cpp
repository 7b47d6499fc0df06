// The settings file parser: any bytes, converted to UTF-8 as the settings file
// reader does, parsed, looked up and changed. Input: a one-byte length and the
// section name, the same for the key and the value, then the file's bytes.
#include "fuzz_input.h"
#include "settings/ini_document.h"
#include "settings/settings_text.h"

#include <array>

namespace {

// The keys the program itself reads.
const std::array<std::pair<const char*, const char*>, 9> kProgramKeys = {{{"Port", "ComPort"},
                                                                          {"Port", "BaudRate"},
                                                                          {"Port", "DataBits"},
                                                                          {"Port", "StopBits"},
                                                                          {"Port", "Parity"},
                                                                          {"address", "addr"},
                                                                          {"Config", "File"},
                                                                          {"Timer", "Sec"},
                                                                          {"", ""}}};

bool hasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string withoutLineBreaks(std::string text)
{
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    // The program only ever names sections and keys by fixed words without line
    // breaks; values are what may come from outside.
    const std::string section = withoutLineBreaks(input.shortText());
    const std::string key = withoutLineBreaks(input.shortText());
    const std::string value = input.shortText();
    const auto fileBytes = input.rest();
    const std::string_view raw(reinterpret_cast<const char*>(fileBytes.data()), fileBytes.size());

    const std::string text = settingsBytesToUtf8(raw);
    if (!isValidUtf8(text))
        fuzzFailure("settings text is not UTF-8 after conversion");

    IniDocument document = IniDocument::parse(text);
    for (const auto& [s, k] : kProgramKeys) {
        if (const std::optional<std::string> found = document.valueOf(s, k)) {
            if (hasLineBreak(*found))
                fuzzFailure("a value holds a line break");
            parseIniInteger(*found);
        }
    }
    parseIniInteger(value);

    document.setValue(section, key, value);
    const std::string written = document.text();
    // What was written reads back as the same lines.
    const IniDocument reread = IniDocument::parse(written);
    if (reread.lines() != document.lines())
        fuzzFailure("written text does not parse back into the same lines");
    return 0;
}
