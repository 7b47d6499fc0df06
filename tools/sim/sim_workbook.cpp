#include "sim/sim_workbook.h"

#include "export/file_name_bytes.h"
#include "export/workbook_reader.h"
#include "sim/sim_encode.h"
#include "sim/sim_identify.h"
#include "sim/sim_live_values.h"

#include <QString>

#include <array>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr int kTypeColumn = 9;
constexpr int kLengthColumn = 10;
// One reply's byte count holds at most 255 data bytes.
constexpr int kMaxRegistersPerReply = 127;

constexpr int kCaptionColumn = 4;

// The parameter rows 2 up to the marker row that take registers, each to be served
// in its own registers.
std::vector<SimTypedParam> paramRowsOfSheet(const CellReader& cell, int markerRow)
{
    std::vector<SimTypedParam> rows;
    for (int row = 2; row <= markerRow; ++row) {
        const int registers = cellIntegerOrZero(cell(row, kLengthColumn));
        if (registers > 0)
            rows.push_back({cell(row, kCaptionColumn), cell(row, kTypeColumn), registers});
    }
    return rows;
}

int markerRow(const CellReader& cell)
{
    for (int row = 1; row <= kLastMarkerRow; ++row)
        if (cell(row, 1) == kProtocolMarker)
            return row;
    return 0;
}

} // namespace

std::string defaultSimWorkbookPath()
{
    std::error_code error;
#ifdef _WIN32
    wchar_t name[32768];
    const DWORD size = GetModuleFileNameW(nullptr, name, DWORD(std::size(name)));
    if (size == 0 || size >= std::size(name))
        return {};
    const std::filesystem::path program(std::wstring(name, size));
#else
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
#endif
    const std::filesystem::path beside = program.parent_path() / "Excel" / kShippedProtocolWorkbook;
    // Installed: PREFIX/bin/ql-rs485-sim and PREFIX/share/ql-rs485/Excel/.
    const std::filesystem::path installed =
        program.parent_path().parent_path() / "share" / "ql-rs485" / "Excel" / kShippedProtocolWorkbook;
    return fileNameBytes(!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)
                             ? installed
                             : beside);
}

// The kinds the workbook's four record sections describe are 51 to 54.
constexpr int kFirstWorkbookKind = 51;
// Records the meter keeps per section: its block count.
constexpr int kTypedBlockCounts[] = {120, 120, 25, 100};

SimWorkbookLoad fillTypedFromSheet(const CellReader& cell, SimConfig& config)
{
    SimWorkbookLoad load;
    std::vector<SimTypedSection> sections;
    ProtocolSheet last;
    for (int index = 0; index < kTypedKindCount; ++index) {
        const int kind = kFirstWorkbookKind + index;
        ProtocolLoadResult loaded = loadProtocolSection(index, cell);
        if (!loaded.ok()) {
            load.error = "protocol workbook: " + loaded.error;
            return load;
        }
        SimTypedSection section;
        section.kindCode = kind;
        // A start cell of 0 gives -1, which the reader sends as its low 16 bits.
        section.startRegister = loaded.sheet.recordStart[static_cast<size_t>(index)] & 0xFFFF;
        section.registerCount = loaded.sheet.recordLength[static_cast<size_t>(index)];
        section.blocks = kTypedBlockCounts[static_cast<size_t>(index)];
        section.fieldTypes = loaded.sheet.fieldTypes;
        // The columns are "序号" and then one per field.
        for (size_t column = 1; column < loaded.sheet.columns.size(); ++column)
            section.fieldCaptions.push_back(loaded.sheet.columns[column].caption);
        if (section.registerCount > kMaxRegistersPerReply)
            load.warnings.push_back(
                formatText("kind %d: %d registers per record do not fit one reply; its reads "
                           "stay unanswered",
                           kind, section.registerCount));
        sections.push_back(std::move(section));
        last = std::move(loaded.sheet);
    }

    const int paramStart = last.paramLayout[1];
    const int paramCount = last.paramLayout[0];
    if (paramStart != kTypedParamStart || paramCount != kTypedParamCount)
        load.warnings.push_back(
            formatText("the sheet's parameter block is %d registers from %d (0-based); the "
                       "simulator answers %d registers from %d",
                       paramCount, paramStart, kTypedParamCount, kTypedParamStart));
    config.typedSections = std::move(sections);
    config.typedParams = paramRowsOfSheet(cell, markerRow(cell));
    return load;
}

SimWorkbookLoad loadSimWorkbook(const std::string& path, SimConfig& config)
{
    const WorkbookReadResult read = readFirstWorksheet(QString::fromStdString(path));
    if (!read.ok()) {
        SimWorkbookLoad load;
        load.error = "cannot read the protocol workbook " + path + ": " + read.error.toStdString();
        return load;
    }
    return fillTypedFromSheet(read.cells.reader(), config);
}
