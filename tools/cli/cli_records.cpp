#include "cli_records.h"

#include "catalogue/catalogue.h"
#include "cli_port.h"
#include "decoding/protocol_sheet.h"
#include "decoding/records_money.h"
#include "decoding/records_v12.h"
#include "decoding/records_v14.h"
#include "decoding/records_v20.h"
#include "export/protocol_workbook.h"
#include "export/workbook_reader.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>

namespace {

// Name of the shipped protocol workbook (the settings file's default).
constexpr const char* kShippedWorkbook = "VarnelModbus.xls";

std::string LoadTypedKind(int kindCode, const std::optional<std::string>& workbook, KindTable& out)
{
    SheetCells cells;
    if (workbook) {
        WorkbookReadResult read = ReadFirstWorksheet(QString::fromStdString(*workbook));
        if (!read.Ok())
            return "cannot read the protocol workbook " + *workbook + ": " + read.error.toStdString();
        cells = std::move(read.cells);
    } else {
        // The program folder comes from the application object; commands that open no
        // port (decode, frame) have none yet, and "." would be the caller's folder.
        std::optional<CliQtContext> context;
        if (!QCoreApplication::instance())
            context.emplace();
        const QString folder = QCoreApplication::applicationDirPath();
        ProtocolWorkbook opened = OpenProtocolWorkbook(folder, QString::fromLatin1(kShippedWorkbook));
        if (!opened.Ok())
            return "cannot read the protocol workbook " + opened.path.toStdString() + ": " +
                   opened.detail.toStdString();
        cells = std::move(opened.cells);
    }
    ProtocolLoadResult loaded = LoadProtocolSection(kindCode, cells.Reader());
    out.table.SetColumns(loaded.sheet.columns);
    if (!loaded.Ok())
        return "protocol workbook: " + loaded.error;
    out.fieldTypes = loaded.sheet.fieldTypes;
    out.fieldDigits = loaded.sheet.fieldDigits;
    const int section = kindCode - kFirstTypedKind;
    out.registers = {loaded.sheet.recordStart[section], loaded.sheet.recordLength[section]};
    return {};
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += ',';
        line += CsvField(fields[i]);
    }
    return line + "\r\n";
}

} // namespace

std::string PrepareKindTable(int kindCode, const std::optional<std::string>& workbook, KindTable& out)
{
    out.table.SetColumns({});
    switch (DeviceTypeOfKind(kindCode)) {
    case 1:
    case 2:
    case 3:
        SetupColumnsV12(kindCode, out.table);
        break;
    case 4:
        SetupColumnsV14(kindCode, out.table);
        break;
    case 5:
        return LoadTypedKind(kindCode, workbook, out);
    case 6:
        SetupColumnsV20(kindCode, out.table);
        break;
    case 7:
        SetupColumnsMoney(kindCode, out.table);
        break;
    default:
        return "no column layout for record kind " + std::to_string(kindCode);
    }
    return {};
}

void PrintRecordTable(int result, const RecordTable& table)
{
    std::printf("result %d\n", result);
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

std::string WriteRecordCsv(const RecordTable& table, const std::string& path)
{
    std::string text = "\xEF\xBB\xBF";
    std::vector<std::string> header;
    for (const TableColumn& column : table.Columns())
        header.push_back(column.caption);
    text += CsvLine(header);
    for (const std::vector<std::string>& row : table.Rows())
        text += CsvLine(row);

    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString().toStdString();
    file.write(text.data(), static_cast<qint64>(text.size()));
    if (!file.commit())
        return "cannot write " + path + ": " + file.errorString().toStdString();
    return {};
}
