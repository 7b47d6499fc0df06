// An INI text as lines, read and changed the way the classic profile functions
// do it: section and key names compare without regard to ASCII case, the first
// matching section and key win, names and values are trimmed of blanks, lines
// starting with ';' or '#' are comments. Changing a value keeps every other
// line as it was. Pure functions over text, no file access.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
public:
    // Accepts any bytes; CR LF, LF and lone CR all end a line. Never throws
    // except for lack of memory.
    static IniDocument parse(std::string_view text);

    // The value of the first `key` in the first `section`; nullopt when absent.
    std::optional<std::string> valueOf(std::string_view section, std::string_view key) const;
    // Replaces the key's line, or adds "key=value" at the end of the section, or
    // adds the section at the end of the text. CR and LF in the value become
    // blanks so a value can never split into lines of its own.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // The lines, each ended by CR LF.
    std::string text() const;
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    struct Position {
        size_t sectionLine;  // the "[…]" line; npos when the section is absent
        size_t keyLine;      // npos when the key is absent
        size_t insertBefore; // where a new key of that section goes
    };
    Position search(std::string_view section, std::string_view key) const;

    std::vector<std::string> m_lines;
};

// Integer value as the profile functions read it: optional sign, decimal digits,
// or hexadecimal after "0x" or "$". Nullopt for anything else or out of range.
std::optional<int> parseIniInteger(std::string_view text);
