#include "decoding/protocol_sheet.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

struct Field {
    std::string name;
    std::string caption;
    std::string digits;
    std::string type;
    std::string length;
};

// A protocol sheet in memory, laid out as the workbook holds it.
class Sheet {
public:
    void set(int row, int column, std::string text) { m_cells[{row, column}] = std::move(text); }
    void setField(int row, const Field& f)
    {
        set(row, 1, f.name);
        set(row, 4, f.caption);
        set(row, 8, f.digits);
        set(row, 9, f.type);
        set(row, 10, f.length);
    }
    CellReader reader() const
    {
        return [this](int row, int column) {
            const auto found = m_cells.find({row, column});
            return found == m_cells.end() ? std::string() : found->second;
        };
    }

private:
    std::map<std::pair<int, int>, std::string> m_cells;
};

// Parameter rows 2..4 (marker in row 4), then sections of 3, 2, 1 and 2 fields.
Sheet standardSheet()
{
    Sheet s;
    s.set(1, 1, "Name");
    s.setField(2, {"Serial", "表号", "0", "S16", "8"});
    s.set(2, 11, "4002");
    s.setField(3, {"Spare", "", "junk", "", "2"}); // no caption: digits never read
    s.setField(4, {kProtocolMarker, "", "", "", ""});
    s.setField(5, {"T", "时间", "0", "DT2", "3"});
    s.set(5, 11, "5001");
    s.setField(6, {"V", "累积量", "2", "DBL", "4"});
    s.setField(7, {"F", "流量", "3", "FLT", "2"});
    s.set(9, 1, "Daily -120");
    s.setField(10, {"D", "日期", "0", "DT2", "3"});
    s.set(10, 11, "8001");
    s.setField(11, {"U", "日用量", "2", "DBL", "4"});
    s.set(13, 1, "Monthly");
    s.setField(14, {"M", "月份", "0", "DT2", "3"});
    s.set(14, 11, "11001");
    s.set(16, 1, "Alarm");
    s.setField(17, {"A", "报警时间", "0", "DT2", "3"});
    s.set(17, 11, "12001");
    s.setField(18, {"C", "报警代码", "0", "BYTE", "1"});
    return s;
}

TEST(ProtocolSheet, ThreeFieldSectionGivesFourColumnsTypesAndDigits)
{
    Sheet s = standardSheet();
    s.set(11, 8, "bad"); // digits of another kind are not read
    const ProtocolLoadResult r = loadProtocolSection(0, s.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& columns = r.sheet.columns;
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].caption, "序号");
    EXPECT_EQ(columns[0].width, 45);
    EXPECT_EQ(columns[1].caption, "时间");
    EXPECT_EQ(columns[1].width, 135);
    EXPECT_EQ(columns[2].width, 100);
    EXPECT_EQ(columns[3].caption, "流量");
    EXPECT_EQ(columns[3].width, 100);
    EXPECT_EQ(columns[0].type, ColumnType::Number);
    EXPECT_EQ(columns[1].type, ColumnType::Time);
    EXPECT_EQ(columns[2].type, ColumnType::Number);
    EXPECT_EQ(columns[3].type, ColumnType::Number);
    EXPECT_EQ(r.sheet.fieldTypes, (FieldTypeList{"DT2", "DBL", "FLT"}));
    EXPECT_EQ(r.sheet.fieldDigits[0], 0);
    EXPECT_EQ(r.sheet.fieldDigits[1], 2);
    EXPECT_EQ(r.sheet.fieldDigits[2], 3);
    EXPECT_EQ(r.sheet.recordLength[0], 9);
}

TEST(ProtocolSheet, LoadingOneKindSetsEveryStartButOnlyItsLength)
{
    const Sheet s = standardSheet();
    const ProtocolLoadResult r = loadProtocolSection(1, s.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.recordStart, (std::array<int, 4>{5000, 8000, 11000, 12000}));
    EXPECT_EQ(r.sheet.recordLength, (std::array<int, 4>{0, 7, 0, 0}));
    EXPECT_EQ(r.sheet.fieldTypes, (FieldTypeList{"DT2", "DBL"}));
}

TEST(ProtocolSheet, ParameterBlockIsIndexedBySheetRow)
{
    const ProtocolLoadResult r = loadProtocolSection(0, standardSheet().reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.paramFields, (std::vector<std::string>{"表号", "S16"}));
    EXPECT_EQ(r.sheet.paramLayout[0], 10); // every parameter row's length counts
    EXPECT_EQ(r.sheet.paramLayout[1], 4001);
    EXPECT_EQ(r.sheet.paramLayout[2], 0);
}

TEST(ProtocolSheet, MarkerRowWithCaptionAndTypeIsAParameter)
{
    Sheet s = standardSheet();
    s.setField(4, {kProtocolMarker, "地址", "5", "BYTE", "1"});
    const ProtocolLoadResult r = loadProtocolSection(0, s.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.paramFields, (std::vector<std::string>{"表号", "S16", "地址", "BYTE"}));
    EXPECT_EQ(r.sheet.paramLayout[4], 5);
    EXPECT_EQ(r.sheet.paramLayout[0], 11);
}

// The alarm code is a BYTE field: a code, never a quantity.
TEST(ProtocolSheet, AlarmKindWidensLastColumnAndFirstStays135)
{
    const ProtocolLoadResult r = loadProtocolSection(3, standardSheet().reader());
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.sheet.columns.size(), 3u);
    EXPECT_EQ(r.sheet.columns[1].width, 135);
    EXPECT_EQ(r.sheet.columns[2].width, 120);
    EXPECT_EQ(r.sheet.columns[2].type, ColumnType::Text);
}

TEST(ProtocolSheet, NonNumericLengthAndStartCountAsZero)
{
    Sheet s = standardSheet();
    s.set(5, 11, "abc");
    s.set(6, 10, "four");
    s.set(2, 11, "");
    const ProtocolLoadResult r = loadProtocolSection(0, s.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.recordStart[0], -1);
    EXPECT_EQ(r.sheet.recordLength[0], 5);
    EXPECT_EQ(r.sheet.paramLayout[1], -1);
}

TEST(ProtocolSheet, MarkerInFirstRowLeavesParameterBlockEmpty)
{
    Sheet s;
    s.set(1, 1, kProtocolMarker);
    s.setField(2, {"T", "时间", "0", "DT2", "3"});
    s.set(2, 11, "100");
    const ProtocolLoadResult r = loadProtocolSection(0, s.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.sheet.paramFields.empty());
    EXPECT_EQ(r.sheet.paramLayout[0], 0);
    EXPECT_EQ(r.sheet.recordStart[0], 99);
    EXPECT_EQ(r.sheet.fieldTypes, (FieldTypeList{"DT2"}));
}

struct BrokenSheetCase {
    const char* name;
    void (*change)(Sheet&);
    int section;
    const char* messagePart;
};

class BrokenSheetTest : public ::testing::TestWithParam<BrokenSheetCase> {};

TEST_P(BrokenSheetTest, EndsWithMessageNamingTheRow)
{
    Sheet s = standardSheet();
    GetParam().change(s);
    const ProtocolLoadResult r = loadProtocolSection(GetParam().section, s.reader());
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find(GetParam().messagePart), std::string::npos) << r.error;
}

const BrokenSheetCase kBrokenSheets[] = {
    {"MissingMarker", [](Sheet& s) { s.set(4, 1, "Hourly-120"); }, 0, "Hourly -120"},
    {"MarkerBelowRow102",
     [](Sheet& s) {
         s.set(4, 1, "P");
         for (int row = 5; row <= 102; ++row)
             s.set(row, 1, "P");
         s.set(103, 1, kProtocolMarker);
     },
     0, "102"},
    {"DecimalDigitsInLoadedSection", [](Sheet& s) { s.set(6, 8, "1.5"); }, 0, "第6行"},
    {"EmptyDigitsInLoadedSection", [](Sheet& s) { s.set(7, 8, ""); }, 0, "第7行"},
    {"BadDigitsInSecondSection", [](Sheet& s) { s.set(11, 8, "bad"); }, 1, "第11行"},
    {"BadDigitsInParameterRow", [](Sheet& s) { s.set(2, 8, "x"); }, 0, "第2行"},
    {"DigitsBeyond32Bits", [](Sheet& s) { s.set(5, 8, "4294967296"); }, 0, "第5行"},
    {"SectionOf102Rows",
     [](Sheet& s) {
         for (int row = 17; row < 17 + 102; ++row)
             s.setField(row, {"A", "x", "0", "BYTE", "1"});
     },
     3, "第118行"},
};

INSTANTIATE_TEST_SUITE_P(Sheets, BrokenSheetTest, ::testing::ValuesIn(kBrokenSheets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProtocolSheet, MarkerOnRow102AndSectionOf101RowsAreAccepted)
{
    Sheet s;
    s.set(2, 11, "1");
    for (int row = 2; row < 102; ++row)
        s.setField(row, {"P", "参数", std::to_string(row), "BYTE", "1"});
    s.set(102, 1, kProtocolMarker);
    for (int row = 103; row < 103 + 101; ++row)
        s.setField(row, {"F", "字段", std::to_string(row - 103), "BYTE", "1"});
    const ProtocolLoadResult r = loadProtocolSection(0, s.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.paramLayout[101], 101);
    EXPECT_EQ(r.sheet.paramLayout[0], 100);
    EXPECT_EQ(r.sheet.fieldTypes.size(), 101u);
    EXPECT_EQ(r.sheet.fieldDigits[100], 100);
    EXPECT_EQ(r.sheet.recordLength[0], 101);
}

TEST(ProtocolSheet, EndlessOrRandomSheetsEndWithinLimits)
{
    const ProtocolLoadResult full = loadProtocolSection(0, [](int, int) { return std::string("7"); });
    EXPECT_FALSE(full.ok());
    std::mt19937 random(12345);
    const char* texts[] = {"", "", "1", "-5", "x", kProtocolMarker, "FLT", "2147483647", "-2147483648"};
    for (int round = 0; round < 300; ++round) {
        std::map<std::pair<int, int>, std::string> cells;
        const int section = static_cast<int>(random() % 6) - 1;
        const ProtocolLoadResult r = loadProtocolSection(section, [&](int row, int column) {
            auto& text = cells[{row, column}];
            if (text.empty())
                text = texts[random() % std::size(texts)];
            return text;
        });
        EXPECT_LE(r.sheet.fieldTypes.size(), static_cast<size_t>(kMaxSectionRows));
        EXPECT_EQ(r.sheet.columns.size(), r.sheet.fieldTypes.size() + 1);
    }
}

TEST(ProtocolSheet, CellIntegers)
{
    int value = 0;
    EXPECT_TRUE(parseCellInteger(" 12 ", value));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(parseCellInteger("-3", value));
    EXPECT_EQ(value, -3);
    EXPECT_TRUE(parseCellInteger("+4", value));
    EXPECT_EQ(value, 4);
    EXPECT_FALSE(parseCellInteger("1.5", value));
    EXPECT_FALSE(parseCellInteger("-", value));
    EXPECT_FALSE(parseCellInteger("", value));
    EXPECT_FALSE(parseCellInteger("2147483648", value));
    EXPECT_EQ(cellIntegerOrZero("12a"), 0);
}

} // namespace
