// Reading the first worksheet of an .xls workbook (an OLE2 compound file) with
// FreeXL. FreeXL can crash on a damaged file (seen with fuzzed files) and the
// protocol workbook is read at start-up, so the program never calls it itself:
// the helper executable ql-rs485-xls-reader reads the file in a process of its
// own and sends the cells back through a pipe. A bad file, a crash or a hang of
// the helper costs an error message, never the program.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

inline constexpr const char* kXlsReaderName = "ql-rs485-xls-reader";

struct XlsCells {
    // (row, column), 1-based, to the text a spreadsheet shows.
    std::map<std::pair<int, int>, std::string> cells;
    std::string error; // UTF-8; empty on success
};

// Reads `path` with FreeXL in this process; only the helper calls it.
XlsCells readXlsInThisProcess(const std::string& path);

// The helper's output: the error text, then one record of row, column, length and
// text per cell. DecodeXlsCells gives nullopt for output that breaks off or lies.
std::string encodeXlsCells(const XlsCells& read);
std::optional<XlsCells> decodeXlsCells(std::string_view data);

// Where the helper lies for a program in `programFolder`: beside it (the build
// folder bin/ and /usr/bin), in ../libexec/ql-rs485/, ../lib/ql-rs485/ or
// ../libexec/, or in ../bin/ (the tests' and fuzz targets' folders beside a build's
// bin/). Empty when none of them holds an executable of that name.
std::string findXlsReader(const std::string& programFolder);

// Reads `path` through the helper found beside the running executable. A damaged
// file, a helper that crashes or takes longer than 15 s, or a missing helper gives
// an error text.
XlsCells readXlsInHelper(const std::string& path);
