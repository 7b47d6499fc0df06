// Bytes of a settings file as UTF-8 text. Files written by this program are
// UTF-8; older files may be in the GBK code page and are converted.
#pragma once

#include <string>
#include <string_view>

bool isValidUtf8(std::string_view bytes);
// UTF-8 as it is (without a leading byte-order mark), anything else read as
// GBK; bytes GBK cannot decode become '?'.
std::string settingsBytesToUtf8(std::string_view bytes);
