// UTF-8 to GBK, the code page of this Chinese interface's text files.
#pragma once

#include <string>
#include <string_view>

// Converts UTF-8 to GBK. Characters GBK has no code for, and bytes that are not
// valid UTF-8, each become one '?', so a conversion never fails.
std::string Utf8ToGbk(std::string_view utf8);
