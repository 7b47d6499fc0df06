#pragma once
#include "codec/codec.h"
#include <string_view>

// "01 03 0A" or "01030A" as bytes; non-hex characters are skipped.
Bytes hexBytes(std::string_view text);
