// Known-answer tests of the device type 6 / 7 shared block decoders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoding/records_type6.h"
#include "v20_money_reply.h"

using namespace replies;

namespace {

using Cells = std::vector<std::string>;

struct Family {
    const char* name;
    Decoder decode;
    int slotCount;
    int slotSize;
};

const Family kFamilies[] = {
    {"Daily", Decoder{61}, 5, 24},
    {"CurrentHour", Decoder{62}, 5, 16},
    {"PrevHour", Decoder{63}, 5, 36},
    {"ParamChange", Decoder{64}, 5, 22},
    {"SensorAlarm", Decoder{65}, 4, 44},
    {"LimitAlarm", Decoder{66}, 4, 56},
    {"PowerLoss", Decoder{67}, 4, 44},
    {"StartStop", Decoder{68}, 5, 18},
    {"AntiCut", Decoder{69}, 5, 34},
    {"AntiRemoval", Decoder{610}, 5, 34},
    {"Month", Decoder{611}, 5, 16},
    {"Realtime", Decoder{612}, 5, 36},
    {"StdVolumeChange", Decoder{613}, 5, 24},
    {"WorkVolumeChange", Decoder{614}, 5, 24},
    {"MeterFactorChange", Decoder{615}, 5, 17},
    {"BadStdVolumeChange", Decoder{616}, 5, 24},
    {"BadWorkVolumeChange", Decoder{617}, 5, 24},
};

// ---- Reply shapes: length, CRC and blank slots, for every decoder ----

enum class Shape {
    Full,
    OneByteShort,
    OneByteLong,
    Empty,
    BadCrc,
    BlankFirst,
    BlankThird,
    OnlyLastByteSet,
    BlankLast
};

struct ShapeCase {
    const char* name;
    Shape shape;
    int expectedResult;
    int expectedRows; // -1: one row per slot; -2: one row fewer than slots
};

const ShapeCase kShapes[] = {
    {"FullBlockDecodesEverySlot", Shape::Full, 1, -1},
    {"OneByteShortIsBadLength", Shape::OneByteShort, 2, 0},
    {"OneByteLongIsBadLength", Shape::OneByteLong, 2, 0},
    {"EmptyReplyIsBadLength", Shape::Empty, 2, 0},
    {"FlippedCrcByteIsBadCheck", Shape::BadCrc, 3, 0},
    {"BlankFirstSlotAppendsNothing", Shape::BlankFirst, 4, 0},
    {"BlankThirdSlotKeepsFirstTwoRows", Shape::BlankThird, 4, 2},
    {"LastSlotByteOutsideBlankValueIsARecord", Shape::OnlyLastByteSet, 1, -1},
    {"BlankLastSlotKeepsTheOthers", Shape::BlankLast, 4, -2},
};

Bytes shapedReply(const Family& f, Shape shape)
{
    const Bytes values(static_cast<size_t>(f.slotSize), 0x11);
    std::vector<Bytes> slots;
    for (int k = 0; k < f.slotCount; ++k)
        slots.push_back(slot(static_cast<uint16_t>(k), kTime, values, f.slotSize));
    switch (shape) {
    case Shape::Full:
        break;
    case Shape::OneByteShort:
        slots.back().pop_back();
        break;
    case Shape::OneByteLong:
        slots.back().push_back(0x00);
        break;
    case Shape::Empty:
        return {};
    case Shape::BadCrc: {
        Bytes reply = blockReply(slots);
        reply.back() ^= 0x01;
        return reply;
    }
    case Shape::BlankFirst:
        slots[0] = blankSlot(f.slotSize);
        break;
    case Shape::BlankThird:
        slots[2] = blankSlot(f.slotSize);
        break;
    case Shape::BlankLast:
        slots.back() = blankSlot(f.slotSize);
        break;
    case Shape::OnlyLastByteSet:
        for (size_t k = 0; k < slots.size(); ++k) {
            slots[k] = blankSlot(f.slotSize);
            slots[k][1] = static_cast<uint8_t>(k);
            slots[k].back() = 0xFE;
        }
        break;
    }
    return blockReply(slots);
}

class V20ReplyShape : public testing::TestWithParam<std::tuple<Family, ShapeCase>> {};

TEST_P(V20ReplyShape, GivesResultAndRows)
{
    const auto& [family, shape] = GetParam();
    RecordTable table;
    const Bytes reply = shapedReply(family, shape.shape);
    EXPECT_EQ(family.decode(1, reply, table), shape.expectedResult);
    const int rows = shape.expectedRows == -1   ? family.slotCount
                     : shape.expectedRows == -2 ? family.slotCount - 1
                                                : shape.expectedRows;
    ASSERT_EQ(table.rowCount(), rows);
    for (int r = 0; r < rows; ++r)
        EXPECT_EQ(table.rows()[static_cast<size_t>(r)][0], std::to_string(r + 1));
}

INSTANTIATE_TEST_SUITE_P(AllDecoders, V20ReplyShape,
                         testing::Combine(testing::ValuesIn(kFamilies), testing::ValuesIn(kShapes)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// ---- Values of every record kind ----

struct ValueCase {
    const char* name;
    Family family;
    Bytes values;   // from slot offset +8 on
    Cells expected; // sub-items after the time stamp
};

const Family& F(const char* name)
{
    for (const Family& f : kFamilies) {
        if (std::string(f.name) == name)
            return f;
    }
    throw std::logic_error(name);
}

std::vector<ValueCase> valueCases()
{
    const Bytes hexWords = hexBytes("00 12 AB CD");
    return {
        {"DailyTwoDoubles", F("Daily"), cat({dbl(1.5), dbl(12345.6789)}), {"1.5000", "12345.6789"}},
        {"DailyDoublesRoundToFourDecimals",
         F("Daily"),
         cat({dbl(0.00005), dbl(-2.71828)}),
         {"0.0001", "-2.7183"}},
        {"CurrentHourUnsigned", F("CurrentHour"), cat({U32(0xFFFFFFFF), U32(7)}), {"4294967295", "7"}},
        {"PrevHourSinglesWithFourDecimals",
         F("PrevHour"),
         cat({dbl(10.25), dbl(20.5), sgl(0.5f), sgl(1.25f), sgl(-0.75f)}),
         {"10.2500", "20.5000", "0.5000", "1.2500", "-0.7500"}},
        // 101.325 is 101.32499… as a single, so it rounds down.
        {"SensorAlarmWordsAsHex",
         F("SensorAlarm"),
         cat({dbl(1.0), dbl(2.0), sgl(3.126f), sgl(4.5f), sgl(-20.25f), sgl(101.325f), hexWords}),
         {"1.0000", "2.0000", "3.13", "4.50", "-20.25", "101.32", "0012", "ABCD"}},
        {"PowerLossLikeSensorAlarm",
         F("PowerLoss"),
         cat({dbl(5.0), dbl(6.0), sgl(1.0f), sgl(2.0f), sgl(3.0f), sgl(4.0f), hexBytes("FF FF 00 01")}),
         {"5.0000", "6.0000", "1.00", "2.00", "3.00", "4.00", "FFFF", "0001"}},
        {"LimitAlarmThreeDoublesFiveSingles",
         F("LimitAlarm"),
         cat({dbl(1.0), dbl(2.0), dbl(3.0), sgl(4.0f), sgl(5.0f), sgl(6.0f), sgl(7.0f), sgl(8.0f),
              hexBytes("12 34 56 78")}),
         {"1.0000", "2.0000", "3.0000", "4.00", "5.00", "6.00", "7.00", "8.00", "1234", "5678"}},
        {"StartStop55IsStart", F("StartStop"), cat({dbl(99.5), hexBytes("55")}), {"99.5000", "启动"}},
        {"StartStopAAIsStop", F("StartStop"), cat({dbl(99.5), hexBytes("AA")}), {"99.5000", "停止"}},
        {"StartStop00IsStop", F("StartStop"), cat({dbl(99.5), hexBytes("00")}), {"99.5000", "停止"}},
        {"AntiCutNeitherIsNormal",
         F("AntiCut"),
         cat({hexBytes("00 00"), dbl(1.0), dbl(2.0), sgl(3.0f), sgl(4.0f)}),
         {"正常", "1.0000", "2.0000", "3.00", "4.00"}},
        {"AntiCutSecondByteIsCut",
         F("AntiCut"),
         cat({hexBytes("00 FF")}),
         {"剪断", "0.0000", "0.0000", "0.00", "0.00"}},
        {"AntiCutFirstByteIsMagnetic",
         F("AntiCut"),
         cat({hexBytes("FF 00")}),
         {"磁干扰", "0.0000", "0.0000", "0.00", "0.00"}},
        {"AntiCutBothBytes",
         F("AntiCut"),
         cat({hexBytes("FF FF")}),
         {"剪断并磁干扰", "0.0000", "0.0000", "0.00", "0.00"}},
        {"AntiCutOtherFlagValueIsNormal",
         F("AntiCut"),
         cat({hexBytes("55 FE")}),
         {"正常", "0.0000", "0.0000", "0.00", "0.00"}},
        {"AntiRemoval55IsNormal",
         F("AntiRemoval"),
         cat({hexBytes("55 00"), dbl(1.0), dbl(2.0), sgl(3.0f), sgl(4.0f)}),
         {"正常", "1.0000", "2.0000", "3.00", "4.00"}},
        {"AntiRemovalOtherIsRemoved",
         F("AntiRemoval"),
         cat({hexBytes("00 55")}),
         {"拆卸", "0.0000", "0.0000", "0.00", "0.00"}},
        {"MonthOneDouble", F("Month"), dbl(123456789.125), {"123456789.1250"}},
        {"RealtimeSinglesWithTwoDecimals",
         F("Realtime"),
         cat({dbl(1.0), dbl(2.0), sgl(3.5f), sgl(-4.25f), sgl(100.0f)}),
         {"1.0000", "2.0000", "3.50", "-4.25", "100.00"}},
        {"StdVolumeChangeBeforeAfter",
         F("StdVolumeChange"),
         cat({dbl(10.0), dbl(20.0)}),
         {"10.0000", "20.0000"}},
        {"WorkVolumeChangeBeforeAfter",
         F("WorkVolumeChange"),
         cat({dbl(-1.0), dbl(0.0)}),
         {"-1.0000", "0.0000"}},
        {"BadStdVolumeChangeBeforeAfter",
         F("BadStdVolumeChange"),
         cat({dbl(3.0), dbl(4.0)}),
         {"3.0000", "4.0000"}},
        {"BadWorkVolumeChangeBeforeAfter",
         F("BadWorkVolumeChange"),
         cat({dbl(5.0), dbl(6.0)}),
         {"5.0000", "6.0000"}},
        {"MeterFactorChangeIndicatorUnsigned",
         F("MeterFactorChange"),
         cat({sgl(1.005f), sgl(0.5f), hexBytes("FE")}),
         {"1.00", "0.50", "254"}},
        {"NanAndInfinityPrintAsPrintfDoes",
         F("Realtime"),
         cat({hexBytes("7FF8000000000000"), hexBytes("FFF0000000000000"), hexBytes("7F800000"),
              hexBytes("FF800000"), hexBytes("7FC00000")}),
         {"nan", "-inf", "inf", "-inf", "nan"}},
    };
}

class V20Values : public testing::TestWithParam<ValueCase> {};

TEST_P(V20Values, FirstRowShowsValues)
{
    const ValueCase& c = GetParam();
    RecordTable table;
    ASSERT_EQ(c.family.decode(1, fullBlock(c.family.slotCount, c.family.slotSize, c.values), table), 1);
    ASSERT_EQ(table.rowCount(), c.family.slotCount);
    Cells expected{"1", kTimeText};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(table.rows()[0], expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, V20Values, testing::ValuesIn(valueCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Row caption and time stamp ----

struct HeadCase {
    const char* name;
    uint16_t number;
    Bytes time;
    const char* caption;
    const char* timeText;
};

const HeadCase kHeads[] = {
    {"RecordZeroIsRowOne", 0x0000, hexBytes("23 05 17 08 30 00"), "1", "2023-05-17 08:30:00"},
    {"Record012BIsRow300", 0x012B, hexBytes("99 12 31 23 59 59"), "300", "2099-12-31 23:59:59"},
    {"RecordFFFFIsRow65536", 0xFFFF, hexBytes("00 01 01 00 00 00"), "65536", "2000-01-01 00:00:00"},
    {"BcdNibblesAboveNineAsCodec", 0x0001, hexBytes("2A 13 45 99 FF 0B"), "2", "2024-13-45 99:99:05"},
    {"TimeAllFFButValueSetIsNotBlank", 0x0002, hexBytes("FF FF FF FF FF FF"), "3", "2099-99-99 99:99:99"},
};

class V20Head : public testing::TestWithParam<HeadCase> {};

TEST_P(V20Head, CaptionAndTimeStamp)
{
    const HeadCase& c = GetParam();
    std::vector<Bytes> slots{slot(c.number, c.time, dbl(0.0), 16)};
    for (int k = 1; k < 5; ++k)
        slots.push_back(blankSlot(16));
    RecordTable table;
    EXPECT_EQ(Decoder{611}(9, blockReply(slots), table), 4);
    ASSERT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.rows()[0], (Cells{c.caption, c.timeText, "0.0000"}));
}

INSTANTIATE_TEST_SUITE_P(Records, V20Head, testing::ValuesIn(kHeads),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Parameter changes (kind 64) ----

TEST(FindChangedParameter, FirstNonZeroByteWins)
{
    EXPECT_EQ(findChangedParameter(hexBytes("00 00 00 00 00 00")), 0);
    EXPECT_EQ(findChangedParameter(hexBytes("20 00 00 00 00 01")), 0x120);
    EXPECT_EQ(findChangedParameter(hexBytes("00 00 01 00 00 00")), 0x301);
    EXPECT_EQ(findChangedParameter(hexBytes("00 00 00 00 00 80")), 0x680);
    EXPECT_EQ(findChangedParameter(hexBytes("00 FF 01 00 00 00")), 0x2FF);
    EXPECT_EQ(findChangedParameter(hexBytes("00 00 00")), 0); // short mask: scanned as far as it goes
}

// Value samples per format: the same four bytes are used for the old and, reversed
// in meaning, the new value.
enum class Fmt { Single2, Single4, Uint32, Hex32, Int16, BcdPair, DateHour, Hex16 };

struct FmtSample {
    Bytes oldBytes;
    const char* oldText;
    Bytes newBytes;
    const char* newText;
};

FmtSample sample(Fmt fmt)
{
    switch (fmt) {
    case Fmt::Single2:
        return {sgl(1.5f), "1.50", sgl(-0.126f), "-0.13"};
    case Fmt::Single4:
        return {sgl(0.8125f), "0.8125", sgl(101.325f), "101.3250"};
    case Fmt::Uint32:
        return {U32(300), "300", U32(0x80000000u), "2147483648"};
    case Fmt::Hex32:
        return {hexBytes("DE AD BE EF"), "DEADBEEF", hexBytes("00 01 0A FF"), "00010AFF"};
    case Fmt::Int16:
        return {hexBytes("00 00 FF F6"), "-10", hexBytes("12 34 00 2D"), "45"};
    case Fmt::BcdPair:
        return {hexBytes("00 00 08 30"), "08-30", hexBytes("FF FF 23 5A"), "23-54"};
    case Fmt::DateHour:
        return {hexBytes("23 05 17 08"), "2023-05-17 08", hexBytes("24 12 31 23"), "2024-12-31 23"};
    case Fmt::Hex16:
        return {hexBytes("12 34 AB CD"), "ABCD", hexBytes("FF FF 00 0F"), "000F"};
    }
    return {};
}

struct ParamRow {
    uint16_t code;
    const char* name;
    Fmt fmt;
};

// The kind 64 table as the meter documents it.
const ParamRow kParamRowsV20[] = {
    {0x101, "仪表系数", Fmt::Single2},
    {0x120, "压力偏置", Fmt::Single4},
    {0x140, "温度偏置", Fmt::Single4},
    {0x301, "仪表系数3", Fmt::Single2},
    {0x302, "仪表系数4", Fmt::Single2},
    {0x304, "仪表系数5", Fmt::Single2},
    {0x308, "通讯密钥", Fmt::Hex32},
    {0x310, "加密因子", Fmt::Hex32},
    {0x401, "H2摩尔百分含量", Fmt::Single4},
    {0x402, "高位发热量", Fmt::Single4},
    {0x404, "相对密度", Fmt::Single4},
    {0x408, "标准密度", Fmt::Single4},
    {0x410, "当前小时累积量采样周期", Fmt::Uint32},
    {0x420, "日累计量结算时间", Fmt::BcdPair},
    {0x440, "仪表系数1", Fmt::Single2},
    {0x480, "仪表系数2", Fmt::Single2},
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

class V20ParamTable : public testing::TestWithParam<ParamRow> {};

TEST_P(V20ParamTable, NameAndBothValues)
{
    const ParamRow& row = GetParam();
    const FmtSample s = sample(row.fmt);
    RecordTable table;
    ASSERT_EQ(Decoder{64}(1, fullBlock(5, 22, cat({maskOf(row.code), s.oldBytes, s.newBytes})), table), 1);
    EXPECT_EQ(table.rows()[0], (Cells{"1", kTimeText, row.name, s.oldText, s.newText}));
}

TEST(V20ParamTableSize, HasExactlyTheDocumentedCodes)
{
    EXPECT_EQ(paramTableType6().size(), std::size(kParamRowsV20));
}

INSTANTIATE_TEST_SUITE_P(Rows, V20ParamTable, testing::ValuesIn(kParamRowsV20),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code); });

struct MaskCase {
    const char* name;
    Bytes values; // mask, old value, new value
    Cells expected;
};

const MaskCase kMasks[] = {
    {"AllZeroShowsOnlyTimeStamp", cat({hexBytes("00 00 00 00 00 00"), U32(1), U32(2)}), {}},
    {"SixthByteIgnoredAfterFirst",
     cat({hexBytes("20 00 00 00 00 01"), sgl(1.0f), sgl(2.0f)}),
     {"压力偏置", "1.0000", "2.0000"}},
    {"SeveralBitsInOneByteUnknown", cat({hexBytes("03 00 00 00 00 00"), U32(1), U32(2)}), {}},
    {"SeveralBitsThenSingleBitStillUnknown", cat({hexBytes("00 00 11 00 01 00"), U32(1), U32(2)}), {}},
    {"MaskByteTwoHasNoEntry", cat({hexBytes("00 01 00 00 00 00"), U32(1), U32(2)}), {}},
    {"UnknownBitInKnownByte", cat({hexBytes("02 00 00 00 00 00"), U32(1), U32(2)}), {}},
    {"LowerLimitMinusTen",
     cat({hexBytes("00 00 00 00 00 04"), hexBytes("00 00 FF F6"), hexBytes("00 00 00 05")}),
     {"温度报警下限值", "-10", "5"}},
    {"UpperLimitMostNegative",
     cat({hexBytes("00 00 00 00 00 02"), hexBytes("00 00 80 00"), hexBytes("FF FF 7F FF")}),
     {"温度报警上限值", "-32768", "32767"}},
    {"SingleNaNPrintsAsPrintf",
     cat({hexBytes("01 00 00 00 00 00"), hexBytes("7F C0 00 00"), hexBytes("FF 80 00 00")}),
     {"仪表系数", "nan", "-inf"}},
};

class V20Mask : public testing::TestWithParam<MaskCase> {};

TEST_P(V20Mask, RowTexts)
{
    const MaskCase& c = GetParam();
    RecordTable table;
    ASSERT_EQ(Decoder{64}(1, fullBlock(5, 22, c.values), table), 1);
    Cells expected{"1", kTimeText};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(table.rows()[0], expected);
}

INSTANTIATE_TEST_SUITE_P(Masks, V20Mask, testing::ValuesIn(kMasks),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Literal replies as they stand on the wire ----

TEST(V20Literal, MonthBlockWithBlankFourthSlot)
{
    const Bytes reply = hexBytes(
        "17 03 5E 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 23 05 17 08 30 00 3F F8 00 00 00 00 00 00 "
        "00 01 23 05 17 08 30 00 40 6F 48 00 00 00 00 00 00 02 23 05 17 08 30 00 C0 08 00 00 00 00 00 00 00 "
        "03 FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 03 FF FF FF FF FF FF FF FF FF FF FF FF FF FF DD EF");
    ASSERT_EQ(reply.size(), 99u);
    RecordTable table;
    EXPECT_EQ(Decoder{611}(1, reply, table), 4);
    ASSERT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.rows()[0], (Cells{"1", "2023-05-17 08:30:00", "1.5000"}));
    EXPECT_EQ(table.rows()[1], (Cells{"2", "2023-05-17 08:30:00", "250.2500"}));
    EXPECT_EQ(table.rows()[2], (Cells{"3", "2023-05-17 08:30:00", "-3.0000"}));
}

TEST(V20Literal, StartStopFullBlock)
{
    const Bytes reply =
        hexBytes("17 03 68 01 00 00 00 00 00 00 00 00 00 00 00 00 00 01 2B 23 05 17 08 30 00 40 "
                 "24 20 00 00 00 00 00 55 "
                 "00 01 2C 23 05 17 08 30 00 40 24 20 00 00 00 00 00 AA 00 01 2D 23 05 17 08 30 "
                 "00 40 24 20 00 00 00 00 "
                 "00 00 00 01 2E 23 05 17 08 30 00 40 24 20 00 00 00 00 00 55 00 01 2F 23 05 17 "
                 "08 30 00 40 24 20 00 00 "
                 "00 00 00 54 00 C4 C4");
    ASSERT_EQ(reply.size(), 109u);
    RecordTable table;
    EXPECT_EQ(Decoder{68}(1, reply, table), 1);
    ASSERT_EQ(table.rowCount(), 5);
    const char* flags[] = {"启动", "停止", "停止", "启动", "停止"};
    for (size_t r = 0; r < 5; ++r)
        EXPECT_EQ(table.rows()[r],
                  (Cells{std::to_string(300 + r), "2023-05-17 08:30:00", "10.0625", flags[r]}));
}

// A run appends block after block; the decoder never touches earlier rows.
TEST(V20Append, SecondBlockFollowsFirst)
{
    RecordTable table;
    ASSERT_EQ(Decoder{611}(1, fullBlock(5, 16, dbl(1.0), 0), table), 1);
    ASSERT_EQ(Decoder{611}(2, fullBlock(5, 16, dbl(2.0), 5), table), 1);
    ASSERT_EQ(table.rowCount(), 10);
    EXPECT_EQ(table.rows()[4], (Cells{"5", kTimeText, "1.0000"}));
    EXPECT_EQ(table.rows()[5], (Cells{"6", kTimeText, "2.0000"}));
}

} // namespace
