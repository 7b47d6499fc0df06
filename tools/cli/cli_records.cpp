#include "cli_records.h"

#include "catalogue/catalogue.h"
#include "cli_port.h"
#include "decoding/protocol_sheet.h"
#include "export/protocol_workbook.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

std::string LoadWorkbookKind(int kindCode, const std::optional<std::string>& workbook, KindTable& out)
{
    // The program folder comes from the application object; commands that open no
    // port (decode, frame) have none yet, and "." would be the caller's folder.
    std::optional<CliQtContext> context;
    if (!QCoreApplication::instance())
        context.emplace();
    const ProtocolCells read = ReadProtocolCells(workbook, QCoreApplication::applicationDirPath());
    if (!read.Ok())
        return read.error;
    ProtocolLoadResult loaded = LoadProtocolSection(kindCode, read.cells.Reader());
    out.table.SetColumns(loaded.sheet.columns);
    if (!loaded.Ok())
        return "protocol workbook: " + loaded.error;
    out.fieldTypes = loaded.sheet.fieldTypes;
    out.fieldDigits = loaded.sheet.fieldDigits;
    const int section = ProtocolWorkbookSection(kindCode);
    out.registers = {loaded.sheet.recordStart[section], loaded.sheet.recordLength[section]};
    return {};
}

} // namespace

std::string PrepareKindTable(int kindCode, const std::optional<std::string>& workbook, KindTable& out)
{
    out.table.SetColumns({});
    const RecordKind* kind = FindRecordKind(kindCode);
    if (!kind)
        return "no column layout for record kind " + std::to_string(kindCode);
    if (kind->fieldsFromWorkbook)
        return LoadWorkbookKind(kindCode, workbook, out);
    out.table.SetColumns(kind->columns);
    return {};
}

void PrintRecordTable(DecodeResult result, const RecordTable& table)
{
    std::printf("result %d\n", static_cast<int>(result));
    std::string line = "columns";
    for (const TableColumn& column : table.Columns())
        line += "\t" + column.caption;
    std::printf("%s\n", line.c_str());
    for (const std::vector<std::string>& row : table.Rows()) {
        line = "row";
        for (const std::string& cell : row)
            line += "\t" + cell;
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

std::string WorkbookOnlyMessage()
{
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes()) {
        if (type->kinds.empty() || !type->kinds.front().fieldsFromWorkbook)
            continue;
        return "--workbook only applies to device type " + std::to_string(type->code) + " (kinds " +
               std::to_string(type->kinds.front().code) + " to " + std::to_string(type->kinds.back().code) +
               ")";
    }
    return "--workbook only applies to kinds the protocol workbook describes";
}

std::string KindCodeRanges()
{
    std::string ranges;
    for (const DeviceTypeDescription* type : DeviceRegistry::instance().deviceTypes()) {
        if (type->kinds.empty())
            continue;
        if (!ranges.empty())
            ranges += ", ";
        ranges += std::to_string(type->kinds.front().code) + ".." + std::to_string(type->kinds.back().code);
    }
    return ranges;
}

int LastDeviceTypeCode()
{
    const auto& types = DeviceRegistry::instance().deviceTypes();
    return types.empty() ? 0 : types.back()->code;
}
