#include "export/archive_workbook.h"

#include <set>

namespace {

constexpr const char* kSummaryTitle = "备份全部记录";
constexpr int kLabelColumn = 2;
constexpr int kFirstInfoRow = 4;
constexpr int kKindHeaderRow = 8;

std::string uniqueSheetName(const std::string& wanted, std::set<std::string>& taken)
{
    std::string name = safeSheetName(wanted);
    for (int n = 2; taken.count(name); ++n)
        name = safeSheetName(wanted.substr(0, 24) + " (" + std::to_string(n) + ")");
    taken.insert(name);
    return name;
}

void writeSummarySheet(WorkbookWriter& writer, const ArchiveSummary& summary,
                       const std::vector<ArchiveSheet>& sheets)
{
    const int lastColumn = kLabelColumn + 3;
    writer.setColumnWidth(1, 4);
    writer.setColumnWidth(kLabelColumn, 24);
    for (int column = kLabelColumn + 1; column <= lastColumn; ++column)
        writer.setColumnWidth(column, column == lastColumn ? 30 : 12);
    writer.setCell(2, kLabelColumn, kSummaryTitle);
    const CellRange title{2, kLabelColumn, 2, lastColumn};
    writer.setFontSize(title, 15);
    writer.merge(title);
    writer.setHorizontalAlignment(title, HorizontalAlignment::Centre);

    const std::string typeText = std::to_string(summary.deviceType) + " " + summary.deviceTypeCaption;
    const std::vector<std::pair<std::string, std::string>> info = {
        {"流量计地址", std::to_string(summary.address)},
        {"设备类型", typeText},
        {"读取时间", summary.readAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString()},
    };
    int row = kFirstInfoRow;
    for (const auto& [label, value] : info) {
        writer.setCell(row, kLabelColumn, label);
        writer.setCell(row, kLabelColumn + 1, "'" + value);
        writer.merge({row, kLabelColumn + 1, row, lastColumn});
        ++row;
    }
    writer.setThinBorders({kFirstInfoRow, kLabelColumn, row - 1, lastColumn});

    row = kKindHeaderRow;
    const char* headers[] = {"记录类型", "代码", "记录条数", "结果"};
    for (int c = 0; c < 4; ++c)
        writer.setCell(row, kLabelColumn + c, headers[c]);
    for (const ArchiveSheet& sheet : sheets) {
        ++row;
        // Appended rather than "'" + text: GCC 12 wrongly warns (-Wrestrict) of the latter at -O3.
        writer.setCell(row, kLabelColumn, std::string(1, '\'').append(sheet.caption));
        writer.setCell(row, kLabelColumn + 1, std::to_string(sheet.kindCode));
        writer.setCell(row, kLabelColumn + 2, std::to_string(sheet.table ? sheet.table->rowCount() : 0));
        writer.setCell(row, kLabelColumn + 3, std::string(1, '\'').append(sheet.outcome));
    }
    const CellRange body{kFirstInfoRow, kLabelColumn, row, lastColumn};
    writer.setFontSize(body, 10);
    writer.setThinBorders({kKindHeaderRow, kLabelColumn, row, lastColumn});
    writer.setHorizontalAlignment(body, HorizontalAlignment::Left);
    // Printed as the record sheets are: "结果" stays on the page of its row.
    writer.setPageSetup(kKindHeaderRow);
}

} // namespace

void writeArchiveWorkbook(WorkbookWriter& writer, const ArchiveSummary& summary,
                          const std::vector<ArchiveSheet>& sheets)
{
    std::set<std::string> taken;
    writer.selectSheet(1);
    writer.setSheetName(uniqueSheetName(kArchiveSummarySheetName, taken));
    writeSummarySheet(writer, summary, sheets);
    const QDate today = summary.readAt.date();
    for (const ArchiveSheet& sheet : sheets) {
        writer.selectSheet(writer.addSheet());
        const std::string& caption = sheet.caption;
        writer.setSheetName(uniqueSheetName(caption, taken));
        static const RecordTable kEmpty;
        fillRecordSheet(writer, sheet.table ? *sheet.table : kEmpty, caption, today);
    }
    writer.selectSheet(1);
}

ExportOutcome exportArchiveWorkbook(const ArchiveSummary& summary, const std::vector<ArchiveSheet>& sheets,
                                    const QString& typedName, const OverwriteQuestion& askOverwrite)
{
    WorkbookWriter writer;
    writeArchiveWorkbook(writer, summary, sheets);
    return saveWorkbookAs(writer, typedName, askOverwrite);
}
