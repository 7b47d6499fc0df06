// Field description of the device type 5 records, held by the main window and filled
// by the protocol workbook loader: one type name per record-table column after "序号",
// and one digits value per field (index i belongs to type name i).
#pragma once

#include <array>
#include <string>
#include <vector>

// A record can describe at most this many fields; the loader never produces more.
inline constexpr int kFieldDigitsCount = 101;

using FieldDigitsArray = std::array<int, kFieldDigitsCount>;
using FieldTypeList = std::vector<std::string>;
