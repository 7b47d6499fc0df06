// A check of an OLE2 compound file (the container of an .xls workbook) before it
// is handed to FreeXL. FreeXL converts each directory entry's name by the length
// the file states; a length beyond the 64-byte name field makes it read past the
// entry and write past its own buffer. The check walks the directory's sector
// chain as the file describes it and refuses the file when any entry states an
// impossible name length, or when the chain itself leaves the file or loops.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Empty when the directory can safely be read; otherwise what is wrong.
std::string checkCompoundFileDirectory(std::span<const uint8_t> file);
