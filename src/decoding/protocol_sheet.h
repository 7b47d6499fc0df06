// Loader of the protocol sheet: the first worksheet of the protocol workbook lists
// the meter's parameter block and, in four sections, the fields of the record kinds
// it describes (real-time, daily, monthly, alarm; which kind reads which section is
// the device registry's business). Rows and columns count from 1.
//
// Sheet columns of a field row: 1 name (non-empty marks a field row, empty ends a
// section), 4 caption, 8 digits (integer), 9 type name, 10 length in registers, 11
// start register counted from 1 (first row of a block only). The parameter block runs
// from row 2 down to the marker row "Hourly -120"; the first section follows
// directly, and each further section starts two rows below the empty row that ends
// the one before.
#pragma once

#include "decoding/field_description.h"
#include "decoding/record_table.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

// Text of cell (row, column), 1-based, as the spreadsheet shows it; empty for an empty
// cell or one outside the sheet.
using CellReader = std::function<std::string(int row, int column)>;

inline constexpr const char* kProtocolMarker = "Hourly -120";
inline constexpr int kTypedKindCount = 4; // record sections
// The parameter layout is indexed by sheet row, 0 to 102.
inline constexpr int kParamLayoutSize = 103;
inline constexpr int kLastMarkerRow = kParamLayoutSize - 1;
inline constexpr int kMaxSectionRows = kFieldDigitsCount;

struct ProtocolSheet {
    // Record-table columns of the loaded section: "序号" then one per field row.
    std::vector<TableColumn> columns;
    FieldTypeList fieldTypes;       // m_fieldTypes
    FieldDigitsArray fieldDigits{}; // m_fieldDigits
    // By section. Start registers are 0-based (a start of 0 in the sheet gives -1,
    // which goes on the wire as its low 16 bits); lengths are in registers and only
    // that of the loaded section is non-zero.
    std::array<int, kTypedKindCount> recordStart{};  // m_recordStart
    std::array<int, kTypedKindCount> recordLength{}; // m_recordLength
    // Caption then type name of every parameter row that has both.
    std::vector<std::string> paramFields; // m_paramFields
    // [0] block length in registers, [1] 0-based start register, [r] digits of sheet
    // row r for every parameter row r with caption and type.
    std::array<int, kParamLayoutSize> paramLayout{}; // m_paramLayout
};

struct ProtocolLoadResult {
    // Holds what was built before an error, as far as the load came.
    ProtocolSheet sheet;
    // Empty on success; otherwise one message naming the row that breaks the sheet's rules.
    std::string error;
    bool ok() const { return error.empty(); }
};

// Reads the whole sheet and describes record section `section` (0..3; kNoSection, or
// any other number, loads the parameter block and start registers only). Never loops
// beyond the sheet's limits: a missing marker (or one below row 102), a section of
// more than 101 field rows or a digits cell that is not an integer ends the load with
// a message.
inline constexpr int kNoSection = -1;
ProtocolLoadResult loadProtocolSection(int section, const CellReader& cell);

// The integer of a cell: optional blanks, optional sign, decimal digits, within 32 bits.
bool parseCellInteger(const std::string& text, int& value);
// Columns 10 and 11: anything that is not an integer counts as 0.
int cellIntegerOrZero(const std::string& text);
