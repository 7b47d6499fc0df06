#include "export/record_export.h"

#include "export/file_name_bytes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>

namespace {

const QString kNoticeCaption = QStringLiteral("信息提示");
const QString kWarningCaption = QStringLiteral("警告信息");
const QString kHintCaption = QStringLiteral("提示信息");
const QString kExistsQuestion = QStringLiteral("文件已经存在，是否覆盖原文件？");
const QString kCannotReplace = QStringLiteral("该文件不能被覆盖，请重新在试一次。");
const QString kSaveFailed = QStringLiteral("保存有误，请重新试一次。");

constexpr const char* kSheetFont = "宋体";
constexpr double kTitleFontSize = 15;
constexpr double kBodyFontSize = 10;
constexpr double kParameterRowHeight = 18;
// Sheet columns: A stays empty, B holds the first table column.
constexpr int kFirstTableColumn = 2;
constexpr int kTitleRow = 2;
constexpr int kDateRow = 4;
constexpr int kCaptionRow = 5;

void WriteTitleAndDate(WorkbookWriter& writer, const std::string& title, int lastColumn, const QDate& today)
{
    writer.SetCell(kTitleRow, kFirstTableColumn, title);
    const CellRange titleRange{kTitleRow, kFirstTableColumn, kTitleRow, lastColumn};
    writer.SetFontSize(titleRange, kTitleFontSize);
    writer.Merge(titleRange);
    writer.SetHorizontalAlignment(titleRange, HorizontalAlignment::Centre);
    writer.SetVerticalAlignment(titleRange, VerticalAlignment::Centre);
    writer.SetCell(kDateRow, kFirstTableColumn, DateLineText(today));
    const CellRange dateRange = *ParseRange("b4:d4");
    writer.SetFontSize(dateRange, kBodyFontSize);
    writer.Merge(dateRange);
    writer.SetHorizontalAlignment(dateRange, HorizontalAlignment::Left);
}

void FormatBody(WorkbookWriter& writer, const CellRange& body)
{
    writer.SetFontSize(body, kBodyFontSize);
    writer.SetThinBorders(body);
    writer.SetHorizontalAlignment(body, HorizontalAlignment::Left);
}

void HideOtherSheets(WorkbookWriter& writer)
{
    for (int sheet = 2; sheet <= writer.SheetCount(); ++sheet)
        writer.HideSheet(sheet);
}

} // namespace

QString XlsxFileName(const QString& typedName)
{
    if (typedName.isEmpty() || typedName.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return typedName;
    if (typedName.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive))
        return typedName + (typedName.back().isUpper() ? QStringLiteral("X") : QStringLiteral("x"));
    return typedName + QStringLiteral(".xlsx");
}

std::string DateLineText(const QDate& date)
{
    return "日期： " + date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

void WriteRecordSheet(WorkbookWriter& writer, const RecordTable& table, const std::string& kindCaption,
                      const QDate& today)
{
    HideOtherSheets(writer);
    FillRecordSheet(writer, table, kindCaption, today);
}

void FillRecordSheet(WorkbookWriter& writer, const RecordTable& table, const std::string& kindCaption,
                     const QDate& today)
{
    const int columnCount = std::max(1, table.ColumnCount());
    const int lastColumn = kFirstTableColumn + columnCount - 1;
    writer.SetSheetFont(kSheetFont);
    writer.SetColumnWidth(1, 4);
    writer.SetColumnWidth(2, 6);
    writer.SetColumnWidth(3, 18);
    for (int column = 4; column <= lastColumn; ++column)
        writer.SetColumnWidth(column, 12);
    WriteTitleAndDate(writer, kindCaption, lastColumn, today);
    for (int c = 0; c < table.ColumnCount(); ++c)
        writer.SetCell(kCaptionRow, kFirstTableColumn + c, table.Columns()[static_cast<size_t>(c)].caption);
    int row = kCaptionRow + 1;
    for (const auto& cells : table.Rows()) {
        const size_t shown = std::min(cells.size(), static_cast<size_t>(columnCount));
        for (size_t c = 0; c < shown; ++c) {
            // The record number goes in as typed; every sub-item keeps its exact text
            // ("0012" must not become 12).
            const std::string& text = cells[c];
            writer.SetCell(row, kFirstTableColumn + static_cast<int>(c), c == 0 ? text : "'" + text);
        }
        ++row;
    }
    FormatBody(writer, {kCaptionRow, kFirstTableColumn, kCaptionRow + table.RowCount(), lastColumn});
    writer.SetPageSetup(kCaptionRow);
}

void WriteParameterSheet(WorkbookWriter& writer, const std::vector<ParameterGridRow>& grid,
                         const QDate& today)
{
    const int lastColumn = kFirstTableColumn + 3;
    HideOtherSheets(writer);
    writer.SetSheetFont(kSheetFont);
    writer.SetColumnWidth(1, 4);
    for (int column = 2; column <= lastColumn; ++column)
        writer.SetColumnWidth(column, 18);
    WriteTitleAndDate(writer, kParameterSheetTitle, lastColumn, today);
    int row = kCaptionRow;
    for (const ParameterGridRow& gridRow : grid) {
        writer.SetRowHeight(row, kParameterRowHeight);
        for (int c = 0; c < 4; ++c)
            writer.SetCell(row, kFirstTableColumn + c, "'" + gridRow[static_cast<size_t>(c)]);
        ++row;
    }
    if (!grid.empty())
        FormatBody(writer, {kCaptionRow, kFirstTableColumn, row - 1, lastColumn});
    writer.SetPageSetup();
}

ExportOutcome SaveWorkbookAs(const WorkbookWriter& writer, const QString& typedName,
                             const OverwriteQuestion& askOverwrite)
{
    ExportOutcome outcome;
    const QString target = XlsxFileName(typedName);
    if (target.isEmpty())
        return outcome;
    const QFileInfo targetInfo(target);
    const bool exists = targetInfo.exists();
    if (exists && !(askOverwrite && askOverwrite(kExistsQuestion, kNoticeCaption)))
        return outcome;
    if (exists && targetInfo.isDir()) {
        outcome.messages.push_back({kCannotReplace, kHintCaption, false});
        return outcome;
    }

    // The new workbook is written completely beside the target first, so a failed save
    // never costs the file that was there.
    QString temporaryName;
    {
        // Gone before the rename: Windows refuses to move a file a QTemporaryFile still holds.
        QTemporaryFile temporary(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                                 QStringLiteral(".XXXXXX"));
        temporary.setAutoRemove(false);
        if (!temporary.open()) {
            outcome.messages.push_back({kSaveFailed, kWarningCaption, true});
            return outcome;
        }
        temporaryName = temporary.fileName();
    }
    QString error;
    if (!writer.Write(temporaryName, error)) {
        QFile::remove(temporaryName);
        outcome.messages.push_back({kSaveFailed, kWarningCaption, true});
        return outcome;
    }
    const QFileDevice::Permissions permissions =
        exists ? QFile::permissions(target)
               : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    std::error_code failure;
    std::filesystem::rename(FileSystemPath(FileNameBytes(temporaryName)),
                            FileSystemPath(FileNameBytes(targetInfo.absoluteFilePath())), failure);
    if (failure) {
        QFile::remove(temporaryName);
        outcome.messages.push_back(exists ? ExportMessage{kCannotReplace, kHintCaption, false}
                                          : ExportMessage{kSaveFailed, kWarningCaption, true});
        return outcome;
    }
    // QTemporaryFile creates owner-only files; keep what the replaced file allowed.
    QFile::setPermissions(target, permissions);
    outcome.saved = true;
    outcome.fileName = target;
    return outcome;
}

ExportOutcome ExportRecordTable(const RecordTable& table, const std::string& kindCaption,
                                const QString& typedName, const QDate& today,
                                const OverwriteQuestion& askOverwrite)
{
    if (table.RowCount() == 0)
        return {};
    WorkbookWriter writer;
    writer.SetSheetName(kindCaption);
    WriteRecordSheet(writer, table, kindCaption, today);
    return SaveWorkbookAs(writer, typedName, askOverwrite);
}

ExportOutcome ExportParameterSheet(const std::vector<ParameterGridRow>& grid, const QString& typedName,
                                   const QDate& today, const OverwriteQuestion& askOverwrite)
{
    WorkbookWriter writer;
    writer.SetSheetName(kParameterSheetName);
    WriteParameterSheet(writer, grid, today);
    return SaveWorkbookAs(writer, typedName, askOverwrite);
}
