// Chart lines from the record table: the x column, the quantity columns and
// the cells that give no point.
#include "decoding/record_series.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ExpectedSeries {
    int column;
    std::vector<SeriesPoint> points;
};

struct ExtractCase {
    const char* name;
    std::vector<TableColumn> columns;
    std::vector<std::vector<std::string>> rows;
    int timeColumn;
    std::string xCaption;
    std::vector<ExpectedSeries> series;
};

std::ostream& operator<<(std::ostream& out, const ExtractCase& c)
{
    return out << c.name;
}

// 2024-01-01 00:00:00 on the meter's clock.
constexpr double kNewYear2024 = 1704067200;
constexpr double kDay = 86400;

constexpr ColumnType kNumber = ColumnType::Number;
constexpr ColumnType kTime = ColumnType::Time;
constexpr ColumnType kText = ColumnType::Text;

// The types decide, whatever the cells look like: a Text column of numbers or of
// times is neither a series nor x.
const std::vector<ExtractCase> kExtractCases = {
    {"TimeColumnIsXAndOnlyNumberColumnsAreSeries",
     {{"序号", 45, kNumber},
      {"记录时间", 80, kTime},
      {"标况累积量(m3)", 80, kNumber},
      {"燃气温度(℃)", 80, kNumber},
      {"状态字", 80, kText},
      {"参数指示", 80, kText}},
     {{"1", "2024-01-01 00:00:00", "10500.5678", "15.25", "0012", "5"},
      {"2", "2024-01-01 00:10:00", "10513.6303", "-2.5", "0000", "6"}},
     1,
     "记录时间",
     {{2, {{kNewYear2024, 10500.5678}, {kNewYear2024 + 600, 10513.6303}}},
      {3, {{kNewYear2024, 15.25}, {kNewYear2024 + 600, -2.5}}}}},
    {"WithoutTimeColumnXIsTheRecordNumber",
     {{"序号", 45, kNumber},
      {"说明", 80, kText},
      {"原参数", 80, kNumber},
      {"修改后参数", 80, kNumber},
      {"标志", 80, kText}},
     {{"1", "2024-01-01", "100", "120", "启动"},
      {"2", "2024-01-02", "120", "0.5", "停止"},
      {"", "", "7", "8", "启动"}},
     -1,
     "序号",
     {{2, {{1, 100}, {2, 120}, {3, 7}}}, {3, {{1, 120}, {2, 0.5}, {3, 8}}}}},
    {"BlankAndTextCellsAndUntimedRowsGiveNoPoint",
     {{"序号", 45, kNumber}, {"报警时间", 80, kTime}, {"标况累积量(m3)", 80, kNumber}},
     {{"1", "2024-01-01 02:00:00", "30"},
      {"2", "2024-01-01 01:00:00", ""},
      {"3", "2024-01-01 00:00:00", "--"},
      {"4", "", "40"},
      {"5", "2024-01-01 00:30", "1,5"},
      {"6", "2024-01-01 00:30", "10"},
      {"7", "2024-01-01 01:30:00", "20"}},
     1,
     "报警时间",
     // In time order although the meter listed them otherwise.
     {{2, {{kNewYear2024 + 1800, 10}, {kNewYear2024 + 5400, 20}, {kNewYear2024 + 7200, 30}}}}},
    {"MonthsAreTimesAndAMostlyTextNumberColumnKeepsWhatParses",
     {{"序号", 45, kNumber}, {"日期", 80, kTime}, {"参数", 80, kNumber}},
     {{"1", "2024-01", "温度"}, {"2", "2024-02", "压力"}, {"3", "2024-03", "5"}},
     1,
     "日期",
     {{2, {{kNewYear2024 + 60 * kDay, 5}}}}},
};

class ExtractRecordSeriesTest : public testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractRecordSeriesTest, GivesXAndPointsOfEveryQuantityColumn)
{
    const ExtractCase& c = GetParam();
    RecordTable table;
    table.setColumns(c.columns);
    for (const auto& row : c.rows)
        table.appendRow(row);

    const RecordChartData data = extractRecordSeries(table);
    EXPECT_EQ(data.timeColumn, c.timeColumn);
    EXPECT_EQ(data.xCaption, c.xCaption);
    ASSERT_EQ(data.series.size(), c.series.size());
    for (size_t s = 0; s < c.series.size(); ++s) {
        const RecordSeries& got = data.series[s];
        EXPECT_EQ(got.column, c.series[s].column);
        EXPECT_EQ(got.caption, c.columns[static_cast<size_t>(c.series[s].column)].caption);
        ASSERT_EQ(got.points.size(), c.series[s].points.size()) << got.caption;
        for (size_t p = 0; p < got.points.size(); ++p) {
            EXPECT_DOUBLE_EQ(got.points[p].x, c.series[s].points[p].x) << got.caption << " point " << p;
            EXPECT_DOUBLE_EQ(got.points[p].y, c.series[s].points[p].y) << got.caption << " point " << p;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, ExtractRecordSeriesTest, testing::ValuesIn(kExtractCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordSeriesCells, NumbersAndTimesParseAlikeInEveryLocaleAndRejectLookAlikes)
{
    EXPECT_EQ(parseChartNumber(" 101.25 "), 101.25);
    EXPECT_EQ(parseChartNumber("-0.5"), -0.5);
    EXPECT_EQ(parseChartNumber("0"), 0.0);
    for (const char* notANumber : {"", "-", "0012", "1,5", "12a", "+3", "inf", "nan", "0x1F", "1e999"})
        EXPECT_FALSE(parseChartNumber(notANumber)) << notANumber;

    EXPECT_EQ(parseRecordTime("2024-02-29 23:59:59"), int64_t{1704067200} + 60 * 86400 - 1);
    EXPECT_EQ(parseRecordTime("1970-01-01 00"), int64_t{0});
    EXPECT_EQ(parseRecordTime("1970-02"), int64_t{31 * 86400});
    for (const char* notATime :
         {"2023-02-29", "2024-13", "2024-1", "2024-01-", "2024-01-01 24:00:00", "2024-13-01",
          "2024-01-01T00:00:00", "2024-1-01 00:00", "2024-01-01 00:00:0"})
        EXPECT_FALSE(parseRecordTime(notATime)) << notATime;
}

} // namespace
