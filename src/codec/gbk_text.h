// UTF-8 and GBK, the code page of this Chinese interface's text files and of
// the meters' text fields: the one conversion path both ways (iconv).
#pragma once

#include <string>
#include <string_view>

// Converts UTF-8 to GBK. Characters GBK has no code for, and bytes that are not
// valid UTF-8, each become one '?', so a conversion never fails.
std::string utf8ToGbk(std::string_view utf8);

// Converts GBK to UTF-8. Each byte GBK cannot decode (and a truncated character
// at the end) becomes one '?', so a conversion never fails.
std::string gbkToUtf8(std::string_view gbk);
