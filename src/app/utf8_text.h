// The core keeps its texts as UTF-8 std::string (no Qt below app/); windows
// turn them into QString here.
#pragma once

#include <QString>

#include <string_view>

inline QString toQString(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
