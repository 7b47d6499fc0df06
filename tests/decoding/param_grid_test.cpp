// The parameter grid of device type 5: rows from the parameter list, the reset,
// the request of the parameter block and the typed decoding into the grid.
#include "decoding/param_grid.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> fieldsOf(std::initializer_list<const char*> captionsAndTypes)
{
    return {captionsAndTypes.begin(), captionsAndTypes.end()};
}

TEST(ParamGridFill, FiveParametersGiveThreeRowsOf126Pixels)
{
    const ParamGrid grid =
        fillParamGrid(fieldsOf({"a", "FLT", "b", "LNG", "c", "DBL", "d", "BYTE", "e", "DT2"}));
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_EQ(grid[0], (ParamGridRow{"a", "0", "b", "0"}));
    EXPECT_EQ(grid[1], (ParamGridRow{"c", "0", "d", "0"}));
    EXPECT_EQ(grid[2], (ParamGridRow{"e", "0", "", ""}));
    EXPECT_EQ(paramGridRowHeight(grid), 126);
}

TEST(ParamGridFill, NoParametersGiveOneEmptyRowOfTheWholeHeight)
{
    const ParamGrid grid = fillParamGrid({});
    ASSERT_EQ(grid.size(), 1u);
    EXPECT_EQ(grid[0], (ParamGridRow{"", "", "", ""}));
    EXPECT_EQ(paramGridRowHeight(grid), 380);
}

TEST(ParamGridFill, ResetPutsZerosBesideCaptionsOnly)
{
    ParamGrid grid = {{"a", "1.5", "b", "7"}, {"e", "x", "", "stale"}};
    resetParamGrid(grid);
    EXPECT_EQ(grid[0], (ParamGridRow{"a", "0", "b", "0"}));
    EXPECT_EQ(grid[1], (ParamGridRow{"e", "0", "", ""}));
}

TEST(ParamGridRequest, ReadsTheBlockOfTheLayoutAsLow16Bits)
{
    ParamLayoutArray layout{};
    layout[0] = 38;
    layout[1] = 0x0FA1;
    EXPECT_EQ(typedParamsRequest(0x17, layout), appendCrc(hexBytes("17 03 0F A1 00 26")));
    EXPECT_EQ(typedParamsReplyLength(layout), 81);
    layout[1] = -1;
    layout[0] = 0x10002;
    EXPECT_EQ(typedParamsRequest(0x17, layout), appendCrc(hexBytes("17 03 FF FF 00 02")));
    layout[0] = -3;
    EXPECT_EQ(typedParamsReplyLength(layout), 0);
}

struct GridCase {
    const char* name;
    std::vector<std::string> fields;
    std::vector<int> digits; // layout from index 2
    const char* data;        // the data bytes; the byte count and CRC are added
    int result;
    ParamGrid expected;
};

class GridParams : public testing::TestWithParam<GridCase> {};

TEST_P(GridParams, FillTheValueColumns)
{
    const GridCase& c = GetParam();
    ParamLayoutArray layout{};
    for (size_t i = 0; i < c.digits.size(); ++i)
        layout[i + 2] = c.digits[i];
    const Bytes data = hexBytes(c.data);
    Bytes reply = {0x17, 0x03, static_cast<uint8_t>(data.size())};
    reply.insert(reply.end(), data.begin(), data.end());
    reply = appendCrc(reply);
    ParamGrid grid = fillParamGrid(c.fields);
    EXPECT_EQ(decodeParamsGrid(reply, c.fields, layout, grid), c.result);
    EXPECT_EQ(grid, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridParams,
    testing::Values(GridCase{"FltDigits3AndByte",
                             fieldsOf({"温度", "FLT", "地址", "BYTE"}),
                             {3, 0},
                             "41 20 00 00 00 07",
                             1,
                             {{"温度", "10.000", "地址", "7"}}},
                    GridCase{
                        "ClockDoubleAndPaddedLong",
                        fieldsOf({"时间", "DT2", "累积", "DBL", "天数", "LNG"}),
                        {0, 2, 6},
                        "24 03 15 10 30 00 40 C8 1C D6 E6 31 F8 A1 00 00 00 7B",
                        1,
                        {{"时间", "2024-03-15 10:30:00", "累积", "12345.68"}, {"天数", "000123", "", ""}}},
                    GridCase{"S8AlwaysEightDigitsAndNegativeLongSignFirst",
                             fieldsOf({"字", "S8", "负", "LNG"}),
                             {2, 6},
                             "00 00 1A 2B FF FF FF FE",
                             1,
                             {{"字", "00001A2B", "负", "-00002"}}},
                    GridCase{"S16IsTextUpToNul",
                             fieldsOf({"表号", "S16", "位", "BIT"}),
                             {0, 0},
                             "51 4C 30 31 00 00 00 00 00 00 00 00 00 00 00 00 01 02",
                             1,
                             {{"表号", "QL01", "位", "3"}}},
                    // An unknown type takes no bytes: the next parameter reads from the same place.
                    GridCase{"UnknownTypeTakesNoBytes",
                             fieldsOf({"x", "WORD", "y", "BYTE"}),
                             {0, 0},
                             "00 09",
                             1,
                             {{"x", "0", "y", "9"}}},
                    // A parameter beyond the data keeps its "0" instead of reading past the reply.
                    GridCase{"ParameterBeyondTheDataStays",
                             fieldsOf({"a", "BYTE", "b", "DBL"}),
                             {0, 2},
                             "00 05 00 00",
                             1,
                             {{"a", "5", "b", "0"}}},
                    GridCase{"FltDigitsOutOfRangeAreClamped",
                             fieldsOf({"f", "FLT"}),
                             {99},
                             "41 20 00 00",
                             1,
                             {{"f", "10.000000000000000", "", ""}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridParamsRejects, WrongLengthAndCrc)
{
    const std::vector<std::string> fields = fieldsOf({"a", "BYTE"});
    ParamLayoutArray layout{};
    ParamGrid grid = fillParamGrid(fields);
    EXPECT_EQ(decodeParamsGrid(hexBytes("17 03"), fields, layout, grid), 2);
    EXPECT_EQ(decodeParamsGrid({}, fields, layout, grid), 2);
    // Byte count 2 but three data bytes.
    EXPECT_EQ(decodeParamsGrid(appendCrc(hexBytes("17 03 02 00 05 00")), fields, layout, grid), 2);
    Bytes bad = appendCrc(hexBytes("17 03 02 00 05"));
    bad.back() ^= 0x01;
    EXPECT_EQ(decodeParamsGrid(bad, fields, layout, grid), 3);
    EXPECT_EQ(grid[0][1], "0");
}

} // namespace
