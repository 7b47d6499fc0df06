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

void writeTitleAndDate(WorkbookWriter& writer, const std::string& title, int lastColumn, const QDate& today)
{
    writer.setCell(kTitleRow, kFirstTableColumn, title);
    const CellRange titleRange{kTitleRow, kFirstTableColumn, kTitleRow, lastColumn};
    writer.setFontSize(titleRange, kTitleFontSize);
    writer.merge(titleRange);
    writer.setHorizontalAlignment(titleRange, HorizontalAlignment::Centre);
    writer.setVerticalAlignment(titleRange, VerticalAlignment::Centre);
    writer.setCell(kDateRow, kFirstTableColumn, dateLineText(today));
    const CellRange dateRange = *parseRange("b4:d4");
    writer.setFontSize(dateRange, kBodyFontSize);
    writer.merge(dateRange);
    writer.setHorizontalAlignment(dateRange, HorizontalAlignment::Left);
}

void formatBody(WorkbookWriter& writer, const CellRange& body)
{
    writer.setFontSize(body, kBodyFontSize);
    writer.setThinBorders(body);
    writer.setHorizontalAlignment(body, HorizontalAlignment::Left);
}

void hideOtherSheets(WorkbookWriter& writer)
{
    for (int sheet = 2; sheet <= writer.sheetCount(); ++sheet)
        writer.hideSheet(sheet);
}

} // namespace

QString xlsxFileName(const QString& typedName)
{
    if (typedName.isEmpty() || typedName.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return typedName;
    if (typedName.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive))
        return typedName + (typedName.back().isUpper() ? QStringLiteral("X") : QStringLiteral("x"));
    return typedName + QStringLiteral(".xlsx");
}

std::string dateLineText(const QDate& date)
{
    return "日期： " + date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

void writeRecordSheet(WorkbookWriter& writer, const RecordTable& table, const std::string& kindCaption,
                      const QDate& today)
{
    hideOtherSheets(writer);
    fillRecordSheet(writer, table, kindCaption, today);
}

void fillRecordSheet(WorkbookWriter& writer, const RecordTable& table, const std::string& kindCaption,
                     const QDate& today)
{
    const int columnCount = std::max(1, table.columnCount());
    const int lastColumn = kFirstTableColumn + columnCount - 1;
    writer.setSheetFont(kSheetFont);
    writer.setColumnWidth(1, 4);
    writer.setColumnWidth(2, 6);
    writer.setColumnWidth(3, 18);
    for (int column = 4; column <= lastColumn; ++column)
        writer.setColumnWidth(column, 12);
    writeTitleAndDate(writer, kindCaption, lastColumn, today);
    for (int c = 0; c < table.columnCount(); ++c)
        writer.setCell(kCaptionRow, kFirstTableColumn + c, table.columns()[static_cast<size_t>(c)].caption);
    int row = kCaptionRow + 1;
    for (const auto& cells : table.rows()) {
        const size_t shown = std::min(cells.size(), static_cast<size_t>(columnCount));
        for (size_t c = 0; c < shown; ++c) {
            // The record number goes in as typed; every sub-item keeps its exact text
            // ("0012" must not become 12).
            const std::string& text = cells[c];
            writer.setCell(row, kFirstTableColumn + static_cast<int>(c), c == 0 ? text : "'" + text);
        }
        ++row;
    }
    formatBody(writer, {kCaptionRow, kFirstTableColumn, kCaptionRow + table.rowCount(), lastColumn});
    writer.setPageSetup(kCaptionRow);
}

void writeParameterSheet(WorkbookWriter& writer, const std::vector<ParameterGridRow>& grid,
                         const std::string& title, const QDate& today)
{
    const int lastColumn = kFirstTableColumn + 3;
    hideOtherSheets(writer);
    writer.setSheetFont(kSheetFont);
    writer.setColumnWidth(1, 4);
    for (int column = 2; column <= lastColumn; ++column)
        writer.setColumnWidth(column, 18);
    writeTitleAndDate(writer, title, lastColumn, today);
    int row = kCaptionRow;
    for (const ParameterGridRow& gridRow : grid) {
        writer.setRowHeight(row, kParameterRowHeight);
        for (int c = 0; c < 4; ++c)
            writer.setCell(row, kFirstTableColumn + c, "'" + gridRow[static_cast<size_t>(c)]);
        ++row;
    }
    if (!grid.empty())
        formatBody(writer, {kCaptionRow, kFirstTableColumn, row - 1, lastColumn});
    writer.setPageSetup();
}

ExportOutcome saveWorkbookAs(const WorkbookWriter& writer, const QString& typedName,
                             const OverwriteQuestion& askOverwrite)
{
    ExportOutcome outcome;
    const QString target = xlsxFileName(typedName);
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
    if (!writer.write(temporaryName, error)) {
        QFile::remove(temporaryName);
        outcome.messages.push_back({kSaveFailed, kWarningCaption, true});
        return outcome;
    }
    const QFileDevice::Permissions permissions =
        exists ? QFile::permissions(target)
               : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    std::error_code failure;
    std::filesystem::rename(fileSystemPath(fileNameBytes(temporaryName)),
                            fileSystemPath(fileNameBytes(targetInfo.absoluteFilePath())), failure);
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

ExportOutcome exportRecordTable(const RecordTable& table, const std::string& kindCaption,
                                const QString& typedName, const QDate& today,
                                const OverwriteQuestion& askOverwrite)
{
    if (table.rowCount() == 0)
        return {};
    WorkbookWriter writer;
    writer.setSheetName(kindCaption);
    writeRecordSheet(writer, table, kindCaption, today);
    return saveWorkbookAs(writer, typedName, askOverwrite);
}

ExportOutcome exportParameterSheet(const std::vector<ParameterGridRow>& grid, const std::string& sheetName,
                                   const std::string& title, const QString& typedName, const QDate& today,
                                   const OverwriteQuestion& askOverwrite)
{
    WorkbookWriter writer;
    writer.setSheetName(sheetName);
    writeParameterSheet(writer, grid, title, today);
    return saveWorkbookAs(writer, typedName, askOverwrite);
}
