#include "sim/sim_workbook.h"

#include "catalogue/catalogue.h"
#include "export/workbook_reader.h"
#include "sim/sim_encode.h"
#include "sim/sim_identify.h"
#include "sim/sim_live_values.h"

#include <QString>

#include <array>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kTypeColumn = 9;
constexpr int kLengthColumn = 10;
// One reply's byte count holds at most 255 data bytes.
constexpr int kMaxRegistersPerReply = 127;

constexpr const char* kSerialNumber = "QL2024000123";
constexpr double kMeterFactor = 1000.0;
constexpr double kBatteryVolts = 3.6;
constexpr uint32_t kRunningDays = 123;

// A value of each parameter type that looks like a meter's own: volumes and flows
// from the live defaults, further FLT rows cycling through the remaining quantities.
class ParamValues {
public:
    explicit ParamValues(int address) : FAddress(address) {}

    Bytes Next(const std::string& typeName)
    {
        Bytes data;
        if (typeName == "DT2") {
            data.assign(FLive.clock.begin(), FLive.clock.end());
        } else if (typeName == "DBL") {
            PutDouble(data, FDoubles++ % 2 == 0 ? FLive.stdVolume : FLive.workVolume);
        } else if (typeName == "FLT") {
            const std::array<double, 7> quantities = {FLive.stdFlow,  FLive.workFlow,       FLive.temperature,
                                                      FLive.pressure, FLive.compressFactor, kMeterFactor,
                                                      kBatteryVolts};
            PutSingle(data, quantities[FSingles++ % quantities.size()]);
        } else if (typeName == "LNG") {
            PutU32(data, kRunningDays);
        } else if (typeName == "BYTE" || typeName == "BIT") {
            PutU16(data, static_cast<uint16_t>(FAddress & 0xFF));
        } else if (typeName == "S8") {
            PutU32(data, 0); // no alarm
        } else if (typeName == "S16") {
            data.assign(kSerialNumber, kSerialNumber + std::strlen(kSerialNumber));
        }
        return data;
    }

private:
    SimLiveValues FLive;
    int FAddress;
    size_t FDoubles = 0;
    size_t FSingles = 0;
};

// The parameter rows 2 up to the marker row, each value cut or zero-padded to the
// registers its row gives, so every parameter starts at its own register.
Bytes ParamBlockOfSheet(const CellReader& cell, int markerRow, int address)
{
    ParamValues values(address);
    Bytes block;
    for (int row = 2; row <= markerRow; ++row) {
        const int registers = CellIntegerOrZero(cell(row, kLengthColumn));
        if (registers <= 0)
            continue;
        Bytes value = values.Next(cell(row, kTypeColumn));
        value.resize(static_cast<size_t>(2 * registers), 0x00);
        block.insert(block.end(), value.begin(), value.end());
    }
    return block;
}

int MarkerRow(const CellReader& cell)
{
    for (int row = 1; row <= kLastMarkerRow; ++row)
        if (cell(row, 1) == kProtocolMarker)
            return row;
    return 0;
}

} // namespace

std::string DefaultSimWorkbookPath()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return (program.parent_path() / "Excel" / kShippedProtocolWorkbook).string();
}

SimWorkbookLoad FillTypedFromSheet(const CellReader& cell, SimConfig& config)
{
    SimWorkbookLoad load;
    std::vector<SimTypedSection> sections;
    ProtocolSheet last;
    for (int index = 0; index < kTypedKindCount; ++index) {
        const int kind = kFirstTypedKind + index;
        ProtocolLoadResult loaded = LoadProtocolSection(kind, cell);
        if (!loaded.Ok()) {
            load.error = "protocol workbook: " + loaded.error;
            return load;
        }
        SimTypedSection section;
        section.kindCode = kind;
        // A start cell of 0 gives -1, which the reader sends as its low 16 bits.
        section.startRegister = loaded.sheet.recordStart[static_cast<size_t>(index)] & 0xFFFF;
        section.registerCount = loaded.sheet.recordLength[static_cast<size_t>(index)];
        section.blocks = BlockCount(kind);
        section.fieldTypes = loaded.sheet.fieldTypes;
        if (section.registerCount > kMaxRegistersPerReply)
            load.warnings.push_back(Format("kind %d: %d registers per record do not fit one reply; its reads "
                                           "stay unanswered",
                                           kind, section.registerCount));
        sections.push_back(std::move(section));
        last = std::move(loaded.sheet);
    }

    const int paramStart = last.paramLayout[1];
    const int paramCount = last.paramLayout[0];
    if (paramStart != kTypedParamStart || paramCount != kTypedParamCount)
        load.warnings.push_back(Format("the sheet's parameter block is %d registers from %d (0-based); the "
                                       "simulator answers %d registers from %d",
                                       paramCount, paramStart, kTypedParamCount, kTypedParamStart));
    config.typedSections = std::move(sections);
    config.typedParamBlock = ParamBlockOfSheet(cell, MarkerRow(cell), config.address);
    return load;
}

SimWorkbookLoad LoadSimWorkbook(const std::string& path, SimConfig& config)
{
    const WorkbookReadResult read = ReadFirstWorksheet(QString::fromStdString(path));
    if (!read.Ok()) {
        SimWorkbookLoad load;
        load.error = "cannot read the protocol workbook " + path + ": " + read.error.toStdString();
        return load;
    }
    return FillTypedFromSheet(read.cells.Reader(), config);
}
