// What the record commands (decode, read) share: the record table of a kind
// with its columns and, for device type 5, the field description and register
// window from the protocol workbook; and the plain-text output of a table.
#pragma once

#include "decoding/field_description.h"
#include "decoding/record_table.h"
#include "protocol/exchange.h"

#include <optional>
#include <string>

struct KindTable {
    RecordTable table;
    // Device type 5 only: filled from the protocol sheet.
    FieldTypeList fieldTypes;
    FieldDigitsArray fieldDigits{};
    RegisterWindow registers;
};

// Sets up the columns of `kindCode` as the main window does. Device type 5
// reads the protocol workbook `workbook`, or without one the shipped workbook
// in the program folder's Excel/ subfolder. Returns an empty text on success,
// else the message for stderr (the table may then be incomplete).
std::string PrepareKindTable(int kindCode, const std::optional<std::string>& workbook, KindTable& out);

// "result N", "columns" and the captions, then one "row" line per row, fields
// separated by one TAB.
void PrintRecordTable(int result, const RecordTable& table);

// The rows under a header of column captions, as UTF-8 CSV with a byte order
// mark (so spreadsheet programs take it as UTF-8). The file is replaced only
// once the new one is complete. Empty text on success, else the message.
std::string WriteRecordCsv(const RecordTable& table, const std::string& path);
