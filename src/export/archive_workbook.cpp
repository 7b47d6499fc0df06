#include "export/archive_workbook.h"

#include "catalogue/catalogue.h"

#include <set>

namespace {

constexpr const char* kSummaryTitle = "备份全部记录";
constexpr int kLabelColumn = 2;
constexpr int kFirstInfoRow = 4;
constexpr int kKindHeaderRow = 8;

std::string UniqueSheetName(const std::string& wanted, std::set<std::string>& taken)
{
    std::string name = SafeSheetName(wanted);
    for (int n = 2; taken.count(name); ++n)
        name = SafeSheetName(wanted.substr(0, 24) + " (" + std::to_string(n) + ")");
    taken.insert(name);
    return name;
}

void WriteSummarySheet(WorkbookWriter& writer, const ArchiveSummary& summary,
                       const std::vector<ArchiveSheet>& sheets)
{
    const int lastColumn = kLabelColumn + 3;
    writer.SetColumnWidth(1, 4);
    writer.SetColumnWidth(kLabelColumn, 24);
    for (int column = kLabelColumn + 1; column <= lastColumn; ++column)
        writer.SetColumnWidth(column, column == lastColumn ? 30 : 12);
    writer.SetCell(2, kLabelColumn, kSummaryTitle);
    const CellRange title{2, kLabelColumn, 2, lastColumn};
    writer.SetFontSize(title, 15);
    writer.Merge(title);
    writer.SetHorizontalAlignment(title, HorizontalAlignment::Centre);

    const std::string typeText =
        std::to_string(summary.deviceType) + " " + std::string(DeviceTypeCaption(summary.deviceType));
    const std::vector<std::pair<std::string, std::string>> info = {
        {"流量计地址", std::to_string(summary.address)},
        {"设备类型", typeText},
        {"读取时间", summary.readAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString()},
    };
    int row = kFirstInfoRow;
    for (const auto& [label, value] : info) {
        writer.SetCell(row, kLabelColumn, label);
        writer.SetCell(row, kLabelColumn + 1, "'" + value);
        writer.Merge({row, kLabelColumn + 1, row, lastColumn});
        ++row;
    }
    writer.SetThinBorders({kFirstInfoRow, kLabelColumn, row - 1, lastColumn});

    row = kKindHeaderRow;
    const char* headers[] = {"记录类型", "代码", "记录条数", "结果"};
    for (int c = 0; c < 4; ++c)
        writer.SetCell(row, kLabelColumn + c, headers[c]);
    for (const ArchiveSheet& sheet : sheets) {
        ++row;
        // Appended rather than "'" + text: GCC 12 wrongly warns (-Wrestrict) of the latter at -O3.
        writer.SetCell(row, kLabelColumn, std::string(1, '\'').append(RecordKindCaption(sheet.kindCode)));
        writer.SetCell(row, kLabelColumn + 1, std::to_string(sheet.kindCode));
        writer.SetCell(row, kLabelColumn + 2, std::to_string(sheet.table ? sheet.table->RowCount() : 0));
        writer.SetCell(row, kLabelColumn + 3, std::string(1, '\'').append(sheet.outcome));
    }
    const CellRange body{kFirstInfoRow, kLabelColumn, row, lastColumn};
    writer.SetFontSize(body, 10);
    writer.SetThinBorders({kKindHeaderRow, kLabelColumn, row, lastColumn});
    writer.SetHorizontalAlignment(body, HorizontalAlignment::Left);
    // Printed as the record sheets are: "结果" stays on the page of its row.
    writer.SetPageSetup(kKindHeaderRow);
}

} // namespace

void WriteArchiveWorkbook(WorkbookWriter& writer, const ArchiveSummary& summary,
                          const std::vector<ArchiveSheet>& sheets)
{
    std::set<std::string> taken;
    writer.SelectSheet(1);
    writer.SetSheetName(UniqueSheetName(kArchiveSummarySheetName, taken));
    WriteSummarySheet(writer, summary, sheets);
    const QDate today = summary.readAt.date();
    for (const ArchiveSheet& sheet : sheets) {
        writer.SelectSheet(writer.AddSheet());
        const std::string caption(RecordKindCaption(sheet.kindCode));
        writer.SetSheetName(UniqueSheetName(caption, taken));
        static const RecordTable kEmpty;
        FillRecordSheet(writer, sheet.table ? *sheet.table : kEmpty, caption, today);
    }
    writer.SelectSheet(1);
}

ExportOutcome ExportArchiveWorkbook(const ArchiveSummary& summary, const std::vector<ArchiveSheet>& sheets,
                                    const QString& typedName, const OverwriteQuestion& askOverwrite)
{
    WorkbookWriter writer;
    WriteArchiveWorkbook(writer, summary, sheets);
    return SaveWorkbookAs(writer, typedName, askOverwrite);
}
