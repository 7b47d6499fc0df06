// The record table as a CSV file, for tools that want plain text rather than a
// workbook.
#pragma once

#include "decoding/record_table.h"

#include <string>

// The rows under a header of column captions, as UTF-8 CSV with a byte order
// mark (so spreadsheet programs take it as UTF-8), CR LF line ends. The file is
// replaced only once the new one is complete. Empty text on success, else the
// message.
std::string writeRecordCsv(const RecordTable& table, const std::string& path);
