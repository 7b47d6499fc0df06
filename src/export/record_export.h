// Export of the record table and of the parameter grid into a new .xlsx workbook. The
// functions never show anything: the overwrite question goes through a callback and
// every message comes back in the outcome for the window to show.
#pragma once

#include "decoding/record_table.h"
#include "export/workbook_writer.h"

#include <QDate>
#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

struct ExportMessage {
    QString text;
    QString caption;
    bool warning = false; // warning icon; otherwise the information icon
};

struct ExportOutcome {
    bool saved = false;
    QString fileName; // the file written (with its .xlsx name), empty when nothing was
    std::vector<ExportMessage> messages;
};

// Yes/No question about replacing an existing file (text, caption); true for Yes.
using OverwriteQuestion = std::function<bool(const QString& text, const QString& caption)>;

// Four texts per row (caption, value, caption, value), as the parameter grid holds them.
using ParameterGridRow = std::array<std::string, 4>;

// The workbook is Office Open XML, so its name ends in ".xlsx": a name ending in
// ".xls" (any case) gets "x" added (in the case of its last letter), a name ending in ".xlsx" stays, any
// other gets
// ".xlsx" appended. Empty stays empty.
QString xlsxFileName(const QString& typedName);

// "日期： " and the date as yyyy-mm-dd.
std::string dateLineText(const QDate& date);

// The record sheet: title over B2 to the last table column, date line, captions in
// row 5, one row per record from row 6 (sub-items stored as text), bordered from B5.
// Tables wider than 25 columns simply go on past column Z. Printed on A4 landscape,
// fitted to the page width, with the caption row on every page.
void writeRecordSheet(WorkbookWriter& writer, const RecordTable& table, const std::string& kindCaption,
                      const QDate& today);
// The same content on the writer's current sheet, leaving the other sheets as they are
// (a workbook of several record sheets).
void fillRecordSheet(WorkbookWriter& writer, const RecordTable& table, const std::string& kindCaption,
                     const QDate& today);

// The parameter sheet: `title` over B2:E2, date line, grid row r in sheet row r + 5
// (height 18, four texts), bordered B5:E(G + 4). Printed on A4 landscape, fitted
// to the page width.
void writeParameterSheet(WorkbookWriter& writer, const std::vector<ParameterGridRow>& grid,
                         const std::string& title, const QDate& today);

// Saves under the .xlsx form of `typedName`. When that file exists, `askOverwrite`
// decides; the existing file is replaced only after the new one has been written
// completely beside it. An empty name saves nothing and says nothing.
ExportOutcome saveWorkbookAs(const WorkbookWriter& writer, const QString& typedName,
                             const OverwriteQuestion& askOverwrite);

// An empty table saves nothing and says nothing.
ExportOutcome exportRecordTable(const RecordTable& table, const std::string& kindCaption,
                                const QString& typedName, const QDate& today,
                                const OverwriteQuestion& askOverwrite);

// The sheet is named `sheetName` and titled `title`.
ExportOutcome exportParameterSheet(const std::vector<ParameterGridRow>& grid, const std::string& sheetName,
                                   const std::string& title, const QString& typedName, const QDate& today,
                                   const OverwriteQuestion& askOverwrite);
