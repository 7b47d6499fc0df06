// The protocol workbook shipped in the Excel/ subfolder of the program folder: the
// settings file's default template and what the tools open without --workbook.
#pragma once

inline constexpr const char* kShippedProtocolWorkbook = "VarnelModbus.xls";
