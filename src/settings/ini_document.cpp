#include "settings/ini_document.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr size_t kNone = std::string::npos;

std::string_view trim(std::string_view text)
{
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

bool isComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// The name of a "[name]" line; nullopt for other lines.
std::optional<std::string_view> sectionName(std::string_view line)
{
    const std::string_view trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    std::string_view name = trimmed.substr(1);
    const size_t close = name.find(']');
    if (close != kNone)
        name = name.substr(0, close);
    return trim(name);
}

struct KeyLine {
    std::string_view key;
    std::string_view valueOf;
};

std::optional<KeyLine> splitKeyLine(std::string_view line)
{
    const std::string_view trimmed = trim(line);
    if (trimmed.empty() || isComment(trimmed) || trimmed.front() == '[')
        return std::nullopt;
    const size_t equals = trimmed.find('=');
    if (equals == kNone)
        return std::nullopt;
    const std::string_view key = trim(trimmed.substr(0, equals));
    if (key.empty())
        return std::nullopt;
    return KeyLine{key, trim(trimmed.substr(equals + 1))};
}

std::string oneLine(std::string_view value)
{
    std::string line(value);
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}

} // namespace

IniDocument IniDocument::parse(std::string_view text)
{
    IniDocument document;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == kNone)
            end = text.size();
        document.m_lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return document;
}

IniDocument::Position IniDocument::search(std::string_view section, std::string_view key) const
{
    Position position{kNone, kNone, kNone};
    size_t line = 0;
    for (; line < m_lines.size(); ++line) {
        const auto name = sectionName(m_lines[line]);
        if (name && sameName(*name, section))
            break;
    }
    if (line == m_lines.size())
        return position;
    position.sectionLine = line;
    position.insertBefore = line + 1;
    for (++line; line < m_lines.size(); ++line) {
        if (sectionName(m_lines[line]))
            break;
        // A new key goes after the section's last non-blank line, keeping the
        // blank line that separates it from the next section.
        if (!trim(m_lines[line]).empty())
            position.insertBefore = line + 1;
        const auto keyLine = splitKeyLine(m_lines[line]);
        if (keyLine && position.keyLine == kNone && sameName(keyLine->key, key))
            position.keyLine = line;
    }
    return position;
}

std::optional<std::string> IniDocument::valueOf(std::string_view section, std::string_view key) const
{
    const Position position = search(section, key);
    if (position.keyLine == kNone)
        return std::nullopt;
    return std::string(splitKeyLine(m_lines[position.keyLine])->valueOf);
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string line = oneLine(key) + "=" + oneLine(value);
    const Position position = search(section, key);
    if (position.keyLine != kNone) {
        m_lines[position.keyLine] = line;
        return;
    }
    if (position.sectionLine != kNone) {
        m_lines.insert(m_lines.begin() + std::ptrdiff_t(position.insertBefore), line);
        return;
    }
    if (!m_lines.empty() && !trim(m_lines.back()).empty())
        m_lines.emplace_back();
    // Built by appending: GCC 12 warns of an overlapping copy (-Wrestrict)
    // for a literal placed in front of a string at -O3.
    std::string header(1, '[');
    header += oneLine(section);
    header += ']';
    m_lines.push_back(std::move(header));
    m_lines.push_back(line);
}

std::string IniDocument::text() const
{
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::optional<int> parseIniInteger(std::string_view text)
{
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && lowerAscii(text[1]) == 'x') {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f')
            digit = lowerAscii(c) - 'a' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > int64_t(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return int(value);
}
