// What the record commands (decode, frame, read) share: the record table of a kind
// with its columns and, for a kind the protocol workbook describes, the field
// description and register window from that workbook; and the plain-text output of
// a table.
#pragma once

#include "decoding/decode_result.h"
#include "decoding/record_table.h"
#include "protocol/prepared_kind.h"

#include <optional>
#include <string>

struct KindTable {
    PreparedKind kind;
    RecordTable table;

    DecodeContext context(int blockNumber) const { return kind.context(blockNumber); }
};

// Prepares `kindCode` as the main window does. A workbook-described kind reads the
// protocol workbook `workbook`, or without one the shipped workbook in the program
// folder's Excel/ subfolder; its error is the message for stderr.
PreparedKind prepareCliKind(const DeviceRegistry& registry, int kindCode,
                            const std::optional<std::string>& workbook);

// prepareCliKind, with the table's columns set up. Returns an empty text on
// success, else the message for stderr (the table may then be incomplete).
std::string prepareKindTable(const DeviceRegistry& registry, int kindCode,
                             const std::optional<std::string>& workbook, KindTable& out);

// Why --workbook is refused for a kind the protocol workbook does not describe:
// "--workbook only applies to device type T (kinds F to L)".
std::string workbookOnlyMessage(const DeviceRegistry& registry);
// The kind codes of every device type as ranges: "11..14, 21..24, …".
std::string kindCodeRanges(const DeviceRegistry& registry);
// The highest device-type code.
int lastDeviceTypeCode(const DeviceRegistry& registry);

// "result N", `afterResult` as a line of its own when not empty, "columns" and
// the captions, then one "row" line per row, fields separated by one TAB.
void printRecordTable(DecodeResult result, const RecordTable& table, const std::string& afterResult = {});
// The "row" lines alone.
void printRecordRows(const RecordTable& table);

// Saves the rows as `read --out` does: FILE.csv or FILE.xlsx (`format`: ".csv"
// or ".xlsx", the workbook's sheet named `caption`). Returns an empty text, or the
// message for stderr.
std::string saveRecordRows(bool csv, const std::string& path, const RecordTable& table,
                           std::string_view caption);
