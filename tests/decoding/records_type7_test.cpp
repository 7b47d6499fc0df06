// Known-answer tests of the money-version (device type 7) record decoders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoding/records_type7.h"
#include "v20_money_reply.h"

using namespace replies;

namespace {

using Cells = std::vector<std::string>;

struct Family {
    const char* name;
    Decoder decode;
    int slotCount;
    int slotSize;
    int length; // as the meter's documentation states it
};

const Family kParamChange{"ParamChange", Decoder{74}, 5, 22, 129};
const Family kAntiCut{"AntiCut", Decoder{79}, 4, 46, 203};
const Family kAntiRemoval{"AntiRemoval", Decoder{710}, 5, 10, 69};
const Family kConsumption{"Consumption", Decoder{712}, 2, 68, 155};
const Family kRecharge{"Recharge", Decoder{713}, 5, 37, 204};
const Family kFamilies[] = {kParamChange, kAntiCut, kAntiRemoval, kConsumption, kRecharge};

// ---- Reply shapes ----

struct ShapeCase {
    const char* name;
    int lengthDelta;
    bool badCrc;
    int blankSlot; // -1: none
    int expectedResult;
    int expectedRows; // -1: one row per slot
};

const ShapeCase kShapes[] = {
    {"FullBlockDecodesEverySlot", 0, false, -1, 1, -1},  {"OneByteShortIsBadLength", -1, false, -1, 2, 0},
    {"OneByteLongIsBadLength", 1, false, -1, 2, 0},      {"FlippedCrcByteIsBadCheck", 0, true, -1, 3, 0},
    {"BlankFirstSlotAppendsNothing", 0, false, 0, 4, 0}, {"BlankSecondSlotKeepsFirstRow", 0, false, 1, 4, 1},
};

Bytes shapedReply(const Family& f, const ShapeCase& c)
{
    std::vector<Bytes> slots;
    for (int k = 0; k < f.slotCount; ++k)
        slots.push_back(k == c.blankSlot
                            ? blankSlot(f.slotSize)
                            : slot(static_cast<uint16_t>(k), kTime, Bytes(64, 0x22), f.slotSize));
    if (c.lengthDelta < 0)
        slots.back().pop_back();
    if (c.lengthDelta > 0)
        slots.back().push_back(0x00);
    Bytes reply = blockReply(slots);
    if (c.badCrc)
        reply[reply.size() - 2] ^= 0x80;
    return reply;
}

class MoneyReplyShape : public testing::TestWithParam<std::tuple<Family, ShapeCase>> {};

TEST_P(MoneyReplyShape, GivesResultAndRows)
{
    const auto& [family, shape] = GetParam();
    const Bytes reply = shapedReply(family, shape);
    ASSERT_EQ(static_cast<int>(reply.size()), family.length + shape.lengthDelta);
    RecordTable table;
    EXPECT_EQ(family.decode(1, reply, table), shape.expectedResult);
    EXPECT_EQ(table.rowCount(), shape.expectedRows == -1 ? family.slotCount : shape.expectedRows);
}

INSTANTIATE_TEST_SUITE_P(AllDecoders, MoneyReplyShape,
                         testing::Combine(testing::ValuesIn(kFamilies), testing::ValuesIn(kShapes)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(MoneyReplyShape, EmptyReplyIsBadLengthForEveryDecoder)
{
    for (const Family& f : kFamilies) {
        RecordTable table;
        EXPECT_EQ(f.decode(1, ByteView{}, table), 2) << f.name;
    }
}

// ---- Values ----

struct ValueCase {
    const char* name;
    Family family;
    Bytes values;   // from record offset 8 on
    Cells expected; // sub-items after the time stamp
};

std::vector<ValueCase> valueCases()
{
    const Bytes amounts = cat({I64(123456789012345LL), I64(-1), I64(0), I64(INT64_MIN)});
    return {
        {"AntiCut55IsNormal",
         kAntiCut,
         cat({dbl(1.5), dbl(2.25), sgl(3.0f), sgl(4.0f), sgl(-5.5f), sgl(101.25f),
              hexBytes("00 12 AB CD FF 55")}),
         {"1.5000", "2.2500", "3.00", "4.00", "-5.50", "101.25", "0012", "ABCD", "正常"}},
        {"AntiCutOtherFlagIsCut",
         kAntiCut,
         cat({dbl(0), dbl(0), sgl(0), sgl(0), sgl(0), sgl(0), hexBytes("00 00 00 00 55 AA")}),
         {"0.0000", "0.0000", "0.00", "0.00", "0.00", "0.00", "0000", "0000", "剪断"}},
        {"AntiRemoval55IsNormal", kAntiRemoval, hexBytes("55 00"), {"正常"}},
        {"AntiRemovalOtherIsRemoved", kAntiRemoval, hexBytes("00 55"), {"拆卸"}},
        {"ConsumptionAmountsSigned",
         kConsumption,
         cat({dbl(100.125), dbl(98.5), sgl(1.5f), sgl(20.0f), sgl(101.0f), amounts}),
         {"100.1250", "98.5000", "1.50", "20.00", "101.00", "123456789012345", "-1", "0",
          "-9223372036854775808"}},
        {"ConsumptionNanDouble",
         kConsumption,
         cat({hexBytes("7FF0000000000000"), hexBytes("7FF8000000000001"), hexBytes("FFC00000")}),
         {"inf", "nan", "-nan", "0.00", "0.00", "0", "0", "0", "0"}},
        {"RechargeUserCardMoney",
         kRecharge,
         cat({hexBytes("11"), U32(4294967295u), I64(5000), I64(1234), I64(-7)}),
         {"用户卡金额充值", "4294967295", "5000", "1234", "-7"}},
        {"RechargeEmergencyCardMoney", kRecharge, hexBytes("21"), {"应急卡金额充值", "0", "0", "0", "0"}},
        {"RechargeRemoteMoney", kRecharge, hexBytes("31"), {"远程金额充值", "0", "0", "0", "0"}},
        {"RechargeUserCardGas", kRecharge, hexBytes("12"), {"用户卡气量充值", "0", "0", "0", "0"}},
        {"RechargeEmergencyCardGas", kRecharge, hexBytes("22"), {"应急卡气量充值", "0", "0", "0", "0"}},
        {"RechargeRemoteGas", kRecharge, hexBytes("32"), {"远程气量充值", "0", "0", "0", "0"}},
        {"RechargeUnknownTypeIsEmpty",
         kRecharge,
         cat({hexBytes("41"), U32(100), I64(200), I64(300), I64(400)}),
         {"", "100", "200", "300", "400"}},
    };
}

class MoneyValues : public testing::TestWithParam<ValueCase> {};

TEST_P(MoneyValues, FirstRowShowsValues)
{
    const ValueCase& c = GetParam();
    RecordTable table;
    ASSERT_EQ(c.family.decode(1, fullBlock(c.family.slotCount, c.family.slotSize, c.values), table), 1);
    ASSERT_EQ(table.rowCount(), c.family.slotCount);
    Cells expected{"1", kTimeText};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(table.rows()[0], expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MoneyValues, testing::ValuesIn(valueCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MoneyConsumption, TwoRecordBlockAppendsTwoRows)
{
    const Bytes reply =
        blockReply({slot(0x012B, kTime, cat({dbl(1.0), dbl(2.0)}), 68),
                    slot(0x012C, hexBytes("24 01 02 03 04 05"), cat({dbl(3.0), dbl(4.0)}), 68)});
    ASSERT_EQ(reply.size(), 155u);
    RecordTable table;
    ASSERT_EQ(Decoder{712}(7, reply, table), 1);
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.rows()[0][0], "300");
    EXPECT_EQ(table.rows()[0][2], "1.0000");
    EXPECT_EQ(table.rows()[1], (Cells{"301", "2024-01-02 03:04:05", "3.0000", "4.0000", "0.00", "0.00",
                                      "0.00", "0", "0", "0", "0"}));
}

TEST(MoneyLiteral, AntiRemovalFullBlock)
{
    const Bytes reply =
        hexBytes("17 03 40 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 23 05 17 08 30 00 55 "
                 "00 00 01 23 05 17 08 30 00 "
                 "00 00 00 02 23 05 17 08 30 00 55 00 00 03 23 05 17 08 30 00 AA 00 00 04 23 05 "
                 "17 08 30 00 56 00 C1 30");
    RecordTable table;
    ASSERT_EQ(Decoder{710}(1, reply, table), 1);
    ASSERT_EQ(table.rowCount(), 5);
    const char* flags[] = {"正常", "拆卸", "正常", "拆卸", "拆卸"};
    for (size_t r = 0; r < 5; ++r)
        EXPECT_EQ(table.rows()[r], (Cells{std::to_string(r + 1), "2023-05-17 08:30:00", flags[r]}));
}

// ---- Parameter changes (kind 74) ----

enum class Fmt { Uint32, Single4, DateHour, Hex32, Hex16, Int16, BcdPair };

struct FmtSample {
    Bytes oldBytes;
    const char* oldText;
    Bytes newBytes;
    const char* newText;
};

FmtSample sample(Fmt fmt)
{
    switch (fmt) {
    case Fmt::Uint32:
        return {U32(250), "250", U32(0xFFFFFFFFu), "4294967295"};
    case Fmt::Single4:
        return {sgl(1.5f), "1.5000", sgl(-0.0625f), "-0.0625"};
    case Fmt::DateHour:
        return {hexBytes("23 05 17 08"), "2023-05-17 08", hexBytes("2A 01 01 00"), "2024-01-01 00"};
    case Fmt::Hex32:
        return {hexBytes("DE AD BE EF"), "DEADBEEF", hexBytes("00 00 00 01"), "00000001"};
    case Fmt::Hex16:
        return {hexBytes("12 34 AB CD"), "ABCD", hexBytes("FF FF 00 0F"), "000F"};
    case Fmt::Int16:
        return {hexBytes("00 00 FF F6"), "-10", hexBytes("00 00 00 32"), "50"};
    case Fmt::BcdPair:
        return {hexBytes("00 00 08 30"), "08-30", hexBytes("99 99 23 59"), "23-59"};
    }
    return {};
}

struct ParamRow {
    uint16_t code;
    const char* name;
    Fmt fmt;
};

// The kind 74 table as the meter documents it.
const ParamRow kParamRowsMoney[] = {
    {0x101, "价格1", Fmt::Uint32},
    {0x102, "调价时间2", Fmt::DateHour},
    {0x104, "时长2", Fmt::Uint32},
    {0x108, "价格2", Fmt::Uint32},
    {0x110, "价格体系版本号", Fmt::Uint32},
    {0x120, "仪表系数", Fmt::Single4},
    {0x201, "价格启用时间", Fmt::DateHour},
    {0x202, "阶梯量1", Fmt::Uint32},
    {0x204, "价格1", Fmt::Uint32},
    {0x208, "阶梯量2", Fmt::Uint32},
    {0x210, "价格2", Fmt::Uint32},
    {0x220, "阶梯价周期", Fmt::Uint32},
    {0x240, "调价时间1", Fmt::DateHour},
    {0x280, "时长1", Fmt::Uint32},
    {0x301, "仪表系数3", Fmt::Single4},
    {0x302, "仪表系数4", Fmt::Single4},
    {0x304, "仪表系数5", Fmt::Single4},
    {0x308, "通讯密钥", Fmt::Hex32},
    {0x310, "加密因子", Fmt::Hex32},
    {0x320, "常规燃气价格", Fmt::Uint32},
    {0x340, "价格启动状态码", Fmt::Hex16},
    {0x380, "时间单位状态码", Fmt::Hex16},
    {0x401, "H2摩尔百分含量", Fmt::Single4},
    {0x402, "高位发热量", Fmt::Single4},
    {0x404, "相对密度", Fmt::Single4},
    {0x408, "标准密度", Fmt::Single4},
    {0x410, "当前小时累积量采样周期", Fmt::Uint32},
    {0x420, "日累计量结算时间", Fmt::BcdPair},
    {0x440, "仪表系数1", Fmt::Single4},
    {0x480, "仪表系数2", Fmt::Single4},
    {0x501, "N2摩尔百分含量", Fmt::Single4},
    {0x502, "CO2摩尔百分含量", Fmt::Single4},
    {0x504, "CH4摩尔百分含量", Fmt::Single4},
    {0x508, "C2H6摩尔百分含量", Fmt::Single4},
    {0x510, "C3H8摩尔百分含量", Fmt::Single4},
    {0x520, "C4H10摩尔百分含量", Fmt::Single4},
    {0x540, "C5H12摩尔百分含量", Fmt::Single4},
    {0x580, "C+摩尔百分含量", Fmt::Single4},
    {0x601, "工况流量报警上限", Fmt::Uint32},
    {0x602, "温度报警上限值", Fmt::Int16},
    {0x604, "温度报警下限值", Fmt::Int16},
    {0x608, "替代温度值", Fmt::Int16},
    {0x610, "压力报警上限值", Fmt::Uint32},
    {0x620, "压力报警下限值", Fmt::Uint32},
    {0x640, "替代压力值", Fmt::Uint32},
    {0x680, "脉冲当量", Fmt::Single4},
};

Bytes maskOf(uint16_t code)
{
    Bytes mask(6, 0x00);
    mask[static_cast<size_t>((code >> 8) - 1)] = static_cast<uint8_t>(code & 0xFF);
    return mask;
}

class MoneyParamTable : public testing::TestWithParam<ParamRow> {};

TEST_P(MoneyParamTable, NameAndBothValues)
{
    const ParamRow& row = GetParam();
    const FmtSample s = sample(row.fmt);
    RecordTable table;
    ASSERT_EQ(Decoder{74}(1, fullBlock(5, 22, cat({maskOf(row.code), s.oldBytes, s.newBytes})), table), 1);
    EXPECT_EQ(table.rows()[0], (Cells{"1", kTimeText, row.name, s.oldText, s.newText}));
}

INSTANTIATE_TEST_SUITE_P(Rows, MoneyParamTable, testing::ValuesIn(kParamRowsMoney),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code); });

TEST(MoneyParamTableSize, HasExactlyTheDocumentedCodes)
{
    EXPECT_EQ(paramTableType7().size(), std::size(kParamRowsMoney));
}

struct MaskCase {
    const char* name;
    Bytes values; // mask, old value, new value
    Cells expected;
};

const MaskCase kMasks[] = {
    {"ThirdByteFourIsMeterFactor5",
     cat({hexBytes("00 00 04 00 00 00"), sgl(1.25f), sgl(2.5f)}),
     {"仪表系数5", "1.2500", "2.5000"}},
    {"AllZeroShowsOnlyTimeStamp", cat({hexBytes("00 00 00 00 00 00"), U32(1), U32(2)}), {}},
    {"SeveralBitsGiveUnknownCode", cat({hexBytes("03 00 00 00 00 00"), U32(1), U32(2)}), {}},
    {"LaterBytesIgnored", cat({hexBytes("00 80 FF FF FF FF"), U32(1), U32(2)}), {"时长1", "1", "2"}},
    {"LowerLimitMinusTen",
     cat({hexBytes("00 00 00 00 00 04"), hexBytes("00 00 FF F6"), hexBytes("7F FF 00 00")}),
     {"温度报警下限值", "-10", "0"}},
    {"SettlementTime0830",
     cat({hexBytes("00 00 00 20 00 00"), hexBytes("00 00 08 30"), hexBytes("00 00 3C 00")}),
     {"日累计量结算时间", "08-30", "36-00"}},
};

class MoneyMask : public testing::TestWithParam<MaskCase> {};

TEST_P(MoneyMask, RowTexts)
{
    const MaskCase& c = GetParam();
    RecordTable table;
    ASSERT_EQ(Decoder{74}(1, fullBlock(5, 22, c.values), table), 1);
    Cells expected{"1", kTimeText};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(table.rows()[0], expected);
}

INSTANTIATE_TEST_SUITE_P(Masks, MoneyMask, testing::ValuesIn(kMasks),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
