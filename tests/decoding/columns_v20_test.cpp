// Column layouts of device types 6 and 7, and their agreement with the decoders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoding/records_money.h"
#include "decoding/records_v20.h"
#include "v20_money_reply.h"

using namespace replies;

namespace {

using Captions = std::vector<std::string>;

struct LayoutCase {
    int kind;
    Captions captions;
    std::vector<int> widths;
};

const Captions k65{"序号",           "报警时间",           "标况累积量(m3)",
                   "工况累积量(m3)", "标况瞬时流量(m3/h)", "工况瞬时流量(m3/h)",
                   "燃气温度(℃)",    "燃气绝对压力(KPa)",  "状态字",
                   "报警字"};
const std::vector<int> k65Widths{45, 135, 102, 102, 125, 125, 88, 117, 70, 70};
const Captions k613{"序号", "时间", "原参数", "修改后参数"};
const std::vector<int> k613Widths{45, 145, 80, 80};

const LayoutCase kLayouts[] = {
    {61, {"序号", "时间", "日标况累积量(m3)", "日工况累积量(m3)"}, {45, 145, 120, 120}},
    {62, {"序号", "记录时间", "当前小时标况累积量(m3)", "当前小时工况累积量(m3)"}, {45, 145, 150, 150}},
    {63,
     {"序号", "记录时间", "前1小时标况累积量(m3)", "前1小时工况累积量(m3)", "压缩系数", "标况压缩因子",
      "工况压缩因子"},
     {45, 145, 146, 146, 80, 90, 90}},
    {64, {"序号", "参数修改起始时间", "参数修改状态字", "原参数", "修改后参数"}, {45, 145, 145, 100, 100}},
    {65, k65, k65Widths},
    {66,
     {"序号", "报警时间", "替代标况累积量(m3)", "标况累积量(m3)", "工况累积量(m3)", "替代标况瞬时流量(m3/h)",
      "标况瞬时流量(m3/h)", "工况瞬时流量(m3/h)", "温度(℃)", "绝对压力(KPa)", "状态字", "报警字"},
     {45, 135, 125, 102, 102, 150, 125, 125, 70, 95, 60, 60}},
    {67, k65, k65Widths},
    {68, {"序号", "报警时间", "标况累积量(m3)", "启停标志"}, {45, 145, 102, 80}},
    {69,
     {"序号", "报警时间", "剪断标志", "工况累积量(m3)", "标况累积量(m3)", "标况瞬时流量(m3/h)",
      "工况瞬时流量(m3/h)"},
     {45, 145, 80, 102, 102, 125, 125}},
    {610,
     {"序号", "报警时间", "拆卸标志", "工况累积量(m3)", "标况累积量(m3)", "标况瞬时流量(m3/h)",
      "工况瞬时流量(m3/h)"},
     {45, 145, 80, 102, 102, 125, 125}},
    {611, {"序号", "报警时间", "标况累积量(m3)"}, {45, 145, 102}},
    {612,
     {"序号", "报警时间", "工况累积量(m3)", "标况累积量(m3)", "标况瞬时流量(m3/h)", "温度(℃)", "压力(KPa)"},
     {45, 145, 102, 102, 125, 70, 70}},
    {613, k613, k613Widths},
    {614, k613, k613Widths},
    {615, {"序号", "时间", "原参数", "修改后参数", "参数指示"}, {45, 145, 80, 80, 80}},
    {616, k613, k613Widths},
    {617, k613, k613Widths},
    {79,
     {"序号", "报警时间", "标况累积量(m3)", "工况累积量(m3)", "标况瞬时流量(m3/h)", "工况瞬时流量(m3/h)",
      "温度(℃)", "压力(KPa)", "状态字", "报警字", "剪断标志"},
     {45, 145, 102, 102, 125, 125, 70, 70, 60, 60, 70}},
    {710, {"序号", "报警时间", "拆卸标志"}, {45, 145, 70}},
    {712,
     {"序号", "报警时间", "工况累积量(m3)", "标况累积量(m3)", "标况瞬时流量(m3/h)", "温度(℃)", "压力(KPa)",
      "剩余量(元)", "用户卡累计输入量(元)", "应急卡累计输入量(元)", "累积用量(元)"},
     {45, 145, 102, 102, 125, 70, 70, 90, 135, 135, 90}},
    {713,
     {"序号", "报警时间", "应用类型标识", "本次输入量", "累计输入量", "剩余量", "累积用量"},
     {45, 145, 105, 102, 102, 90, 90}},
};

RecordTable ColumnsOf(int kind)
{
    RecordTable table;
    SetupKindColumns(kind, table);
    return table;
}

class Layouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, CaptionsAndWidths)
{
    const LayoutCase& c = GetParam();
    const RecordTable table = ColumnsOf(c.kind);
    Captions captions;
    std::vector<int> widths;
    for (const TableColumn& column : table.Columns()) {
        captions.push_back(column.caption);
        widths.push_back(column.width);
    }
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(widths, c.widths);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Layouts, testing::ValuesIn(kLayouts),
                         [](const auto& info) { return "Kind" + std::to_string(info.param.kind); });

TEST(Layouts, Kind66HasTwelveAndKind611Three)
{
    EXPECT_EQ(ColumnsOf(66).ColumnCount(), 12);
    EXPECT_EQ(ColumnsOf(611).ColumnCount(), 3);
}

// Device type 7 reuses the device type 6 layouts for its shared kinds.
class SharedLayouts : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(SharedLayouts, MoneyKindEqualsCorvexKind)
{
    const auto [moneyKind, corvexKind] = GetParam();
    const RecordTable money = ColumnsOf(moneyKind);
    const RecordTable corvex = ColumnsOf(corvexKind);
    ASSERT_GT(corvex.ColumnCount(), 0);
    ASSERT_EQ(money.ColumnCount(), corvex.ColumnCount());
    for (int i = 0; i < money.ColumnCount(); ++i) {
        EXPECT_EQ(money.Columns()[static_cast<size_t>(i)].caption,
                  corvex.Columns()[static_cast<size_t>(i)].caption);
        EXPECT_EQ(money.Columns()[static_cast<size_t>(i)].width,
                  corvex.Columns()[static_cast<size_t>(i)].width);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SharedLayouts,
                         testing::Values(std::pair{71, 61}, std::pair{72, 62}, std::pair{73, 63},
                                         std::pair{74, 64}, std::pair{75, 65}, std::pair{76, 66},
                                         std::pair{77, 67}, std::pair{78, 68}, std::pair{711, 611}),
                         [](const auto& info) { return "Kind" + std::to_string(info.param.first); });

// Every decoded row fills exactly the columns of its kind.
struct RowFit {
    int kind;
    Decoder decode;
    int slotCount;
    int slotSize;
};

const RowFit kFits[] = {
    {61, Decoder{61}, 5, 24},   {62, Decoder{62}, 5, 16},   {63, Decoder{63}, 5, 36},
    {64, Decoder{64}, 5, 22},   {65, Decoder{65}, 4, 44},   {66, Decoder{66}, 4, 56},
    {67, Decoder{67}, 4, 44},   {68, Decoder{68}, 5, 18},   {69, Decoder{69}, 5, 34},
    {610, Decoder{610}, 5, 34}, {611, Decoder{611}, 5, 16}, {612, Decoder{612}, 5, 36},
    {613, Decoder{613}, 5, 24}, {614, Decoder{614}, 5, 24}, {615, Decoder{615}, 5, 17},
    {616, Decoder{616}, 5, 24}, {617, Decoder{617}, 5, 24}, {74, Decoder{74}, 5, 22},
    {79, Decoder{79}, 4, 46},   {710, Decoder{710}, 5, 10}, {712, Decoder{712}, 2, 68},
    {713, Decoder{713}, 5, 37},
};

class RowsFitColumns : public testing::TestWithParam<RowFit> {};

TEST_P(RowsFitColumns, CellCountEqualsColumnCount)
{
    const RowFit& f = GetParam();
    RecordTable table = ColumnsOf(f.kind);
    // A known parameter code (0x101 is in both change tables) so change rows are complete.
    const Bytes values = Cat({HexBytes("01 00 00 00 00 00"), Bytes(60, 0x00)});
    ASSERT_EQ(f.decode(1, FullBlock(f.slotCount, f.slotSize, values), table), 1);
    for (const auto& row : table.Rows())
        EXPECT_EQ(static_cast<int>(row.size()), table.ColumnCount());
}

INSTANTIATE_TEST_SUITE_P(Kinds, RowsFitColumns, testing::ValuesIn(kFits),
                         [](const auto& info) { return "Kind" + std::to_string(info.param.kind); });

} // namespace
