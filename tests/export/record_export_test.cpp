#include "export/record_export.h"

#include "export/archive_workbook.h"
#include "export/workbook_reader.h"
#include "export_test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDate kToday(2025, 3, 7);

RecordTable threeColumnsTwoRows()
{
    RecordTable table;
    table.setColumns({{"序号", 45}, {"时间", 135}, {"编号", 100}});
    table.appendRow({"1", "2025-03-01 12:30:00", "0012"});
    table.appendRow({"2", "2025-03-01 13:30:00", "0100"});
    return table;
}

std::vector<QString> strings(const QJsonValue& array)
{
    std::vector<QString> out;
    for (const QJsonValue& v : array.toArray())
        out.push_back(v.toString());
    return out;
}

// Files store a column width with the cell padding added, as Excel does: a width of 4
// characters is written as 4.7109375.
double shownWidth(const QJsonValue& stored)
{
    return stored.toDouble() - 0.7109375;
}

// fitToHeight 0: as many pages tall as the rows need.
void expectA4LandscapeOnePageWide(const QJsonObject& print)
{
    EXPECT_EQ(print["orientation"].toString(), "landscape");
    EXPECT_EQ(print["paper"].toVariant().toInt(), 9); // A4
    EXPECT_TRUE(print["fitToPage"].toBool());
    EXPECT_EQ(print["fitToWidth"].toVariant().toInt(), 1);
    EXPECT_EQ(print["fitToHeight"].toVariant().toInt(), 0);
}

struct Asked {
    int count = 0;
    QString text;
    QString caption;
    bool answer = true;
    OverwriteQuestion callback()
    {
        return [this](const QString& t, const QString& c) {
            ++count;
            text = t;
            caption = c;
            return answer;
        };
    }
};

class RecordExportTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return m_folder.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_folder;
};

TEST_F(RecordExportTest, RecordSheetLayoutAsSpreadsheetReadsIt)
{
    Asked asked;
    const ExportOutcome outcome =
        exportRecordTable(threeColumnsTwoRows(), "实时记录120组", path("rec1"), kToday, asked.callback());
    ASSERT_TRUE(outcome.saved);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_EQ(outcome.fileName, path("rec1.xlsx"));
    EXPECT_EQ(asked.count, 0);

    const QJsonObject book = inspectXlsx(outcome.fileName);
    const QJsonArray sheets = book["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 1);
    const QJsonObject sheet = sheets[0].toObject();
    EXPECT_EQ(sheet["name"].toString(), QStringLiteral("实时记录120组"));
    EXPECT_EQ(strings(sheet["merged"]), (std::vector<QString>{"B2:D2", "B4:D4"}));
    const QJsonObject widths = sheet["widths"].toObject();
    EXPECT_DOUBLE_EQ(shownWidth(widths["A"]), 4);
    EXPECT_DOUBLE_EQ(shownWidth(widths["B"]), 6);
    EXPECT_DOUBLE_EQ(shownWidth(widths["C"]), 18);
    EXPECT_DOUBLE_EQ(shownWidth(widths["D"]), 12);
    expectA4LandscapeOnePageWide(sheet["print"].toObject());
    EXPECT_EQ(sheet["print"].toObject()["titleRows"].toString(), "$5:$5"); // the captions on every page

    const QJsonObject cells = sheet["cells"].toObject();
    auto cell = [&](const char* ref) { return cells[QString::fromLatin1(ref)].toObject(); };
    EXPECT_EQ(cell("B2")["value"].toString(), QStringLiteral("实时记录120组"));
    EXPECT_EQ(cell("B2")["size"].toDouble(), 15);
    EXPECT_EQ(cell("B2")["horizontal"].toString(), "center");
    EXPECT_EQ(cell("B2")["vertical"].toString(), "center");
    EXPECT_EQ(cell("B4")["value"].toString(), QStringLiteral("日期： 2025-03-07"));
    EXPECT_EQ(cell("B4")["size"].toDouble(), 10);
    EXPECT_EQ(cell("B4")["horizontal"].toString(), "left");
    EXPECT_EQ(cell("B5")["value"].toString(), QStringLiteral("序号"));
    EXPECT_EQ(cell("D5")["value"].toString(), QStringLiteral("编号"));
    EXPECT_EQ(cell("B6")["value"].toDouble(), 1); // the record number goes in as typed
    EXPECT_EQ(cell("B6")["type"].toString(), "n");
    EXPECT_EQ(cell("C7")["value"].toString(), QStringLiteral("2025-03-01 13:30:00"));
    EXPECT_EQ(cell("D6")["value"].toString(), "0012");
    EXPECT_EQ(cell("D6")["type"].toString(), "s");
    EXPECT_EQ(cell("D7")["value"].toString(), "0100");
    for (const char* ref : {"B5", "D5", "B6", "C6", "D7"}) {
        EXPECT_EQ(strings(cell(ref)["borders"]), (std::vector<QString>(4, "thin"))) << ref;
        EXPECT_EQ(cell(ref)["size"].toDouble(), 10) << ref;
        EXPECT_EQ(cell(ref)["horizontal"].toString(), "left") << ref;
        EXPECT_EQ(cell(ref)["font"].toString(), QStringLiteral("宋体")) << ref;
    }
    EXPECT_EQ(cell("B2")["font"].toString(), QStringLiteral("宋体"));
    EXPECT_FALSE(cells.contains("E6") && cell("E6")["borders"].toArray()[0].isString());
    EXPECT_FALSE(cells.contains("B8") && cell("B8")["borders"].toArray()[0].isString());

    // Our own reader sees the same texts.
    const WorkbookReadResult back = readFirstWorksheet(outcome.fileName);
    ASSERT_TRUE(back.ok()) << back.error.toStdString();
    EXPECT_EQ(back.cells.text(6, 4), "0012");
    EXPECT_EQ(back.cells.text(7, 2), "2");
    EXPECT_EQ(back.cells.text(4, 2), "日期： 2025-03-07");
}

TEST_F(RecordExportTest, BackupSummaryPrintsLikeTheRecordSheets)
{
    const RecordTable table = threeColumnsTwoRows();
    Asked asked;
    const ExportOutcome outcome =
        exportArchiveWorkbook({23, 6, "Corvex", QDateTime(kToday, QTime(9, 0))},
                              {{612, "实时记录500组", &table, "完成"}}, path("backup"), asked.callback());
    ASSERT_TRUE(outcome.saved);
    const QJsonArray sheets = inspectXlsx(outcome.fileName)["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 2);
    for (const QJsonValue& sheet : sheets)
        expectA4LandscapeOnePageWide(sheet.toObject()["print"].toObject());
}

TEST_F(RecordExportTest, WideTableGoesPastColumnZ)
{
    RecordTable table;
    std::vector<TableColumn> columns{{"序号", 45}};
    std::vector<std::string> row{"1"};
    for (int i = 1; i < 30; ++i) {
        columns.push_back({"c" + std::to_string(i), 100});
        row.push_back("v" + std::to_string(i));
    }
    table.setColumns(columns);
    table.appendRow(row);
    const ExportOutcome outcome = exportRecordTable(table, "宽表", path("wide"), kToday, {});
    ASSERT_TRUE(outcome.saved);
    const QJsonObject sheet = inspectXlsx(outcome.fileName)["sheets"].toArray()[0].toObject();
    EXPECT_EQ(strings(sheet["merged"]), (std::vector<QString>{"B2:AE2", "B4:D4"}));
    const QJsonObject cells = sheet["cells"].toObject();
    EXPECT_EQ(cells["AE5"].toObject()["value"].toString(), "c29");
    EXPECT_EQ(cells["AE6"].toObject()["value"].toString(), "v29");
    EXPECT_EQ(strings(cells["AE6"].toObject()["borders"]), (std::vector<QString>(4, "thin")));
    EXPECT_DOUBLE_EQ(shownWidth(sheet["widths"].toObject()["AE"]), 12);
}

TEST_F(RecordExportTest, EmptyTableCreatesNothing)
{
    RecordTable table;
    table.setColumns({{"序号", 45}});
    const ExportOutcome outcome = exportRecordTable(table, "x", path("none"), kToday, {});
    EXPECT_FALSE(outcome.saved);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_TRUE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(RecordExportTest, ExistingFileIsKeptWhenTheOperatorSaysNo)
{
    QFile old(path("keep.xlsx"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    Asked asked;
    asked.answer = false;
    const ExportOutcome outcome =
        exportRecordTable(threeColumnsTwoRows(), "日记录120组", path("keep.xls"), kToday, asked.callback());
    EXPECT_FALSE(outcome.saved);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_EQ(asked.count, 1);
    EXPECT_EQ(asked.text, QStringLiteral("文件已经存在，是否覆盖原文件？"));
    EXPECT_EQ(asked.caption, QStringLiteral("信息提示"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(RecordExportTest, ExistingFileIsReplacedWhenTheOperatorSaysYes)
{
    QFile old(path("REC1.XLSX"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    Asked asked;
    const ExportOutcome outcome =
        exportRecordTable(threeColumnsTwoRows(), "月记录25组", path("REC1.XLS"), kToday, asked.callback());
    ASSERT_TRUE(outcome.saved);
    EXPECT_EQ(asked.count, 1);
    EXPECT_EQ(outcome.fileName, path("REC1.XLSX"));
    const WorkbookReadResult back = readFirstWorksheet(outcome.fileName);
    ASSERT_TRUE(back.ok()) << back.error.toStdString();
    EXPECT_EQ(back.cells.text(2, 2), "月记录25组");
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(RecordExportTest, FailedSavesSayWhyAndLeaveNoTemporaryFile)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("taken.xlsx")));
    Asked asked;
    ExportOutcome outcome =
        exportRecordTable(threeColumnsTwoRows(), "x", path("taken.xlsx"), kToday, asked.callback());
    EXPECT_FALSE(outcome.saved);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].text, QStringLiteral("该文件不能被覆盖，请重新在试一次。"));
    EXPECT_EQ(outcome.messages[0].caption, QStringLiteral("提示信息"));
    EXPECT_FALSE(outcome.messages[0].warning);

    outcome = exportRecordTable(threeColumnsTwoRows(), "x", path("no-such-folder/rec"), kToday, {});
    EXPECT_FALSE(outcome.saved);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].text, QStringLiteral("保存有误，请重新试一次。"));
    EXPECT_EQ(outcome.messages[0].caption, QStringLiteral("警告信息"));
    EXPECT_TRUE(outcome.messages[0].warning);
    EXPECT_TRUE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(RecordExportTest, EmptyNameSavesNothing)
{
    const ExportOutcome outcome = exportRecordTable(threeColumnsTwoRows(), "x", QString(), kToday, {});
    EXPECT_FALSE(outcome.saved);
    EXPECT_TRUE(outcome.messages.empty());
}

TEST_F(RecordExportTest, ParameterSheetOfOneRow)
{
    const std::vector<ParameterGridRow> grid{{"表号", "0012", "温度", "20.50"}};
    const ExportOutcome outcome = exportParameterSheet(grid, "Pellin实时数据", "Pellin电子体积修正仪实时数据",
                                                       path("params"), kToday, {});
    ASSERT_TRUE(outcome.saved);
    const QJsonObject sheet = inspectXlsx(outcome.fileName)["sheets"].toArray()[0].toObject();
    EXPECT_EQ(sheet["name"].toString(), QStringLiteral("Pellin实时数据"));
    EXPECT_EQ(strings(sheet["merged"]), (std::vector<QString>{"B2:E2", "B4:D4"}));
    EXPECT_DOUBLE_EQ(sheet["heights"].toObject()["5"].toDouble(), 18);
    expectA4LandscapeOnePageWide(sheet["print"].toObject());
    const QJsonObject widths = sheet["widths"].toObject();
    EXPECT_DOUBLE_EQ(shownWidth(widths["A"]), 4);
    for (const char* column : {"B", "C", "D", "E"})
        EXPECT_DOUBLE_EQ(shownWidth(widths[column]), 18) << column;
    const QJsonObject cells = sheet["cells"].toObject();
    EXPECT_EQ(cells["B2"].toObject()["value"].toString(), QStringLiteral("Pellin电子体积修正仪实时数据"));
    EXPECT_EQ(cells["C5"].toObject()["value"].toString(), "0012");
    EXPECT_EQ(cells["E5"].toObject()["value"].toString(), "20.50");
    for (const char* ref : {"B5", "E5"})
        EXPECT_EQ(strings(cells[ref].toObject()["borders"]), (std::vector<QString>(4, "thin"))) << ref;
    EXPECT_FALSE(cells.contains("B6") && cells["B6"].toObject()["borders"].toArray()[0].isString());
}

struct NameCase {
    const char* typed;
    const char* saved;
};

class XlsxNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(XlsxNameTest, NameEndsInXlsx)
{
    EXPECT_EQ(xlsxFileName(QString::fromUtf8(GetParam().typed)).toStdString(), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Names, XlsxNameTest,
                         ::testing::Values(NameCase{"rec1", "rec1.xlsx"}, NameCase{"REC1.XLS", "REC1.XLSX"},
                                           NameCase{"rec1.xls", "rec1.xlsx"}, NameCase{"a.XlSx", "a.XlSx"},
                                           NameCase{"data.csv", "data.csv.xlsx"},
                                           NameCase{"记录.xls", "记录.xlsx"}, NameCase{"", ""}));

TEST(WorkbookWriterParts, RangesLettersAndSheetNames)
{
    EXPECT_EQ(parseRange("b4:d4"), (CellRange{4, 2, 4, 4}));
    EXPECT_EQ(parseRange("E2:B2"), (CellRange{2, 2, 2, 5}));
    EXPECT_EQ(parseRange("AA10"), (CellRange{10, 27, 10, 27}));
    EXPECT_FALSE(parseRange("b:d4"));
    EXPECT_FALSE(parseRange("4b"));
    EXPECT_FALSE(parseRange("A0"));
    EXPECT_FALSE(parseRange("ZZZZ1"));
    EXPECT_EQ(columnLetters(1), "A");
    EXPECT_EQ(columnLetters(26), "Z");
    EXPECT_EQ(columnLetters(27), "AA");
    EXPECT_EQ(columnLetters(31), "AE");
    EXPECT_EQ(columnLetters(16384), "XFD");
    EXPECT_EQ(safeSheetName("温度/压力[上限]"), "温度_压力_上限_");
    EXPECT_EQ(safeSheetName("'quoted'"), "quoted");
    EXPECT_EQ(safeSheetName(""), "Sheet1");
    EXPECT_EQ(safeSheetName(std::string(20, 'a') + "一二三四五六七八九十壹贰"),
              std::string(20, 'a') + "一二三四五六七八九十壹");
}

} // namespace
