#include "cli_records.h"

#include "catalogue/device_registry.h"
#include "cli_port.h"
#include "export/protocol_workbook.h"
#include "export/record_csv.h"
#include "export/record_export.h"

#include <QCoreApplication>
#include <QDate>

#include <cstdio>

PreparedKind prepareCliKind(const DeviceRegistry& registry, int kindCode,
                            const std::optional<std::string>& workbook)
{
    const RecordKind* kind = registry.recordKind(kindCode);
    if (!kind || !kind->fieldsFromWorkbook)
        return prepareKind(registry, kindCode, {});
    // The program folder comes from the application object; commands that open no
    // port (decode, frame) have none yet, and "." would be the caller's folder.
    std::optional<CliQtContext> context;
    if (!QCoreApplication::instance())
        context.emplace();
    const ProtocolCells read = readProtocolCells(workbook, QCoreApplication::applicationDirPath());
    if (!read.ok()) {
        PreparedKind unread;
        unread.kindCode = kindCode;
        unread.kind = kind;
        unread.problem = KindProblem::NoProtocolSheet;
        unread.error = read.error;
        return unread;
    }
    PreparedKind prepared = prepareKind(registry, kindCode, read.cells.reader());
    if (!prepared.ready())
        prepared.error = "protocol workbook: " + prepared.error;
    return prepared;
}

std::string prepareKindTable(const DeviceRegistry& registry, int kindCode,
                             const std::optional<std::string>& workbook, KindTable& out)
{
    out.kind = prepareCliKind(registry, kindCode, workbook);
    out.table.setColumns(out.kind.columns);
    return out.kind.error;
}

void printRecordTable(DecodeResult result, const RecordTable& table, const std::string& afterResult)
{
    std::printf("result %d\n", static_cast<int>(result));
    if (!afterResult.empty())
        std::printf("%s\n", afterResult.c_str());
    std::string line = "columns";
    for (const TableColumn& column : table.columns())
        line += "\t" + column.caption;
    std::printf("%s\n", line.c_str());
    printRecordRows(table);
}

void printRecordRows(const RecordTable& table)
{
    for (const std::vector<std::string>& row : table.rows()) {
        std::string line = "row";
        for (const std::string& cell : row)
            line += "\t" + cell;
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

std::string saveRecordRows(bool csv, const std::string& path, const RecordTable& table,
                           std::string_view caption)
{
    if (csv)
        return writeRecordCsv(table, path);
    const ExportOutcome outcome =
        exportRecordTable(table, std::string(caption), QString::fromStdString(path), QDate::currentDate(),
                          [](const QString&, const QString&) { return true; });
    if (outcome.saved || table.rowCount() == 0)
        return {};
    std::string message = "cannot write " + path;
    for (const ExportMessage& m : outcome.messages)
        message += ": " + m.text.toStdString();
    return message;
}

std::string workbookOnlyMessage(const DeviceRegistry& registry)
{
    for (const DeviceTypeDescription* type : registry.deviceTypes()) {
        if (type->kinds.empty() || !type->kinds.front().fieldsFromWorkbook)
            continue;
        return "--workbook only applies to device type " + std::to_string(type->code) + " (kinds " +
               std::to_string(type->kinds.front().code) + " to " + std::to_string(type->kinds.back().code) +
               ")";
    }
    return "--workbook only applies to kinds the protocol workbook describes";
}

std::string kindCodeRanges(const DeviceRegistry& registry)
{
    std::string ranges;
    for (const DeviceTypeDescription* type : registry.deviceTypes()) {
        if (type->kinds.empty())
            continue;
        if (!ranges.empty())
            ranges += ", ";
        ranges += std::to_string(type->kinds.front().code) + ".." + std::to_string(type->kinds.back().code);
    }
    return ranges;
}

int lastDeviceTypeCode(const DeviceRegistry& registry)
{
    const auto& types = registry.deviceTypes();
    return types.empty() ? 0 : types.back()->code;
}
