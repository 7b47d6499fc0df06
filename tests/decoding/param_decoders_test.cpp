// Known-answer tables of the parameter decoders: reply bytes in, label texts and
// states out, with the length, check-byte and start-byte rejections.
#include "catalogue/device_registry.h"
#include "decoding/param_decoders.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace {

Bytes sealed(std::string_view hex)
{
    return appendCrc(hexBytes(hex));
}

// Device type 3 frames: the 8-bit sum of every byte after the two start bytes.
Bytes summedType3(std::string_view hex)
{
    Bytes frame = hexBytes(hex);
    frame.push_back(byteSum8(ByteView(frame).subspan(2)));
    return frame;
}

using Expected = std::vector<std::pair<const char*, LabelValue>>;

LabelValue N(const char* text)
{
    return {text, LabelState::Normal};
}
LabelValue A(const char* text)
{
    return {text, LabelState::Alarm};
}

using Decoder = ParamDecoder;

// The panel of the device type whose parameter read uses `decode`.
const ParamPanelSpec& panelDecodedBy(Decoder decode)
{
    for (const DeviceTypeDescription* type : builtIn().deviceTypes())
        for (const ParamStep& step : type->params.steps)
            if (step.decode == decode)
                return *type->params.panel;
    throw std::logic_error("no device type reads with this decoder");
}

const ParamPanelSpec& panelOfType(int deviceType)
{
    return *builtIn().deviceType(deviceType)->params.panel;
}

struct DecodeCase {
    const char* name;
    Decoder decode;
    Bytes reply;
    int result;
    Expected expected; // labels that must show these values (nothing is written unless result 1)
};

class ParamDecoders : public testing::TestWithParam<DecodeCase> {};

TEST_P(ParamDecoders, GiveResultAndLabelTexts)
{
    const DecodeCase& c = GetParam();
    LabelValues values;
    EXPECT_EQ(c.decode(panelDecodedBy(c.decode), c.reply, values), c.result);
    if (c.result != 1) {
        EXPECT_TRUE(values.empty()) << "a rejected reply wrote labels";
        return;
    }
    for (const auto& [name, value] : c.expected) {
        ASSERT_TRUE(values.count(name)) << name;
        EXPECT_EQ(values[name].text, value.text) << name;
        EXPECT_EQ(values[name].state, value.state) << name;
    }
}

// Offsets 3.. : psum 12345.5, sum 100.25, Vm 35.25, V0 1.5, T -5.5, P 101.5 (fixed
// point 23.8 with a sign bit), compression factor 0.75 (7.24), then 00 and the
// status byte.
const char* const kLiveData = "00 00 00 00 30 39 80 00  00 00 00 00 00 64 40 00  00 00 23 40  00 00 01 80"
                              "  80 00 05 80  00 00 65 80";

std::string type1Reply(const char* status)
{
    return std::string("17 03 26 ") + kLiveData + " 00 C0 00 00 00 " + status;
}

Bytes withoutLastByte(Bytes bytes)
{
    bytes.pop_back();
    return bytes;
}

// User number, 00, meter type, 00, state 00 05, remaining -100, buys 65534, totals,
// emergency, alarm gas 10.5, limit 999.5, overdraft, zero gas, removals, valve
// switches, low-voltage count 01 0C.
const char* const kType2Card =
    "17 03 36 20 24 00 12 34 00 25 00 00 05 FF FF FF 9C FF FE 00 00 05 78 00 00 00 C8"
    " 00 00 00 14 00 00 00 0A 00 02 00 00 0A 80 00 03 E7 80 00 05 00 00 00 00 00 01"
    " 00 0C 01 0C";

// Clock, sum 11876.5432 and psum 12345.6789 (doubles), v0 33.5, vm 35.25, t -5.5,
// p 101.32 (singles), 00 00, alarm bytes, error sum 0.5.
std::string type6Reply(const char* alarms)
{
    return std::string("17 03 32 24 03 15 10 30 00 40 C7 32 45 87 93 DD 98 40 C8 1C D6 E6 31 F8 A1"
                       " 42 06 00 00 42 0D 00 00 C0 B0 00 00 42 CA A3 D7 00 00 ") +
           alarms + " 3F E0 00 00 00 00 00 00";
}

// As type 6 up to the pressure, then status word and alarm word.
std::string type7Reply(const char* words)
{
    return std::string("17 03 2A 24 03 15 10 30 00 40 C7 32 45 87 93 DD 98 40 C8 1C D6 E6 31 F8 A1"
                       " 42 06 00 00 42 0D 00 00 C0 B0 00 00 42 CA A3 D7 ") +
           words;
}

// "UU", address, 02 00, status bytes, then Vm 35.25, V0 33.5, T -12.5, P 101.5 as
// exponent-and-mantissa floats, then the standard volume 1000.5.
std::string type3Reply(const char* status, const char* volume)
{
    return std::string("55 55 17 02 00 ") + status + " 06 46 80 00 06 43 00 00 04 E4 00 00 07 65 80 00 " +
           volume;
}
const char* const kVolume48 = "0A 7D 10 00 00 00";
const char* const kVolume32 = "0A 7D 10 00";

Bytes replace(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Type1, ParamDecoders,
    testing::Values(
        DecodeCase{"LiveValuesAndFaultByte81",
                   decodeParamsType1,
                   sealed(type1Reply("81")),
                   1,
                   {{"lblV18_psum", N("12345.5000")},
                    {"lblV18_sum", N("100.2500")},
                    {"lblV18_Vm", N("35.25")},
                    {"lblV18_V0", N("1.50")},
                    {"lblV18_T", N("-5.5")},
                    {"lblV18_P", N("101.5")},
                    {"lblV18_SFC", N("0.7500")},
                    {"lblV18_GZ", A("异常")},
                    {"lblV18_VmAL", N("正常")},
                    {"lblV18_VmALH", N("正常")},
                    {"lblV18_LowBat1", N("正常")},
                    {"lblV18_LowBat2", N("正常")},
                    {"lblV18_V", N("正常")},
                    {"lblV18_Key", N("无")},
                    {"lblV18_Bat", A("有")}}},
        DecodeCase{"KeyBitSetShowsYou",
                   decodeParamsType1,
                   sealed(type1Reply("02")),
                   1,
                   {{"lblV18_Key", A("有")}, {"lblV18_GZ", N("正常")}, {"lblV18_Bat", N("无")}}},
        DecodeCase{"Length42", decodeParamsType1, withoutLastByte(sealed(type1Reply("81"))), 2, {}},
        DecodeCase{"Length44WithGoodCrc", decodeParamsType1, sealed(type1Reply("81 00")), 2, {}},
        DecodeCase{"BadCrc", decodeParamsType1, replace(sealed(type1Reply("81")), 42, 0x00), 3, {}},
        DecodeCase{"Empty", decodeParamsType1, Bytes{}, 2, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Type2, ParamDecoders,
    testing::Values(DecodeCase{"LiveValues",
                               decodeLiveType2,
                               sealed(std::string("17 03 20 ") + kLiveData),
                               1,
                               {{"lblCPU_psum", N("12345.5000")},
                                {"lblCPU_sum", N("100.2500")},
                                {"lblCPU_vm", N("35.25")},
                                {"lblCPU_v0", N("1.50")},
                                {"lblCPU_t", N("-5.5")},
                                {"lblCPU_p", N("101.5")}}},
                    DecodeCase{"LiveOfType1Length", decodeLiveType2, sealed(type1Reply("81")), 2, {}},
                    DecodeCase{"CardParameters",
                               decodeCardParamsType2,
                               sealed(kType2Card),
                               1,
                               {{"lblCPU_UserNo", N("2024001234")},
                                {"lblCPU_MeterType", N("25")},
                                {"lblCPU_MeterState", N("50")},
                                {"lblCPU_Remain", N("-100")},
                                {"lblCPU_BuyTime", N("65534")},
                                {"lblCPU_TotalBuy", N("1400")},
                                {"lblCPU_ThisBuy", N("200")},
                                {"lblCPU_YingjiBuy", N("20")},
                                {"lblCPU_YingjiThisBuy", N("10")},
                                {"lblCPU_YingjiTime", N("2")},
                                {"lblCPU_AL", N("10.50")},
                                {"lblCPU_BuyLimit", N("999.50")},
                                {"lblCPU_TouZhi", N("5")},
                                {"lblCPU_zero", N("0")},
                                {"lblCPU_ProTime", N("1")},
                                {"lblCPU_ValTime", N("12")},
                                {"lblCPU_LowBat", N("0112")}}},
                    DecodeCase{
                        "CardBadCrc", decodeCardParamsType2, replace(sealed(kType2Card), 57, 0x00), 3, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Type6, ParamDecoders,
    testing::Values(DecodeCase{"LiveValuesAndAlarms",
                               decodeParamsType6,
                               sealed(type6Reply("94 41")),
                               1,
                               {{"lblCorvex_time", N("2024-03-15 10:30:00")},
                                {"lblCorvex_Sum", N("11876.5432")},
                                {"lblCorvex_psum", N("12345.6789")},
                                {"lblCorvex_v0", N("33.50")},
                                {"lblCorvex_vm", N("35.25")},
                                {"lblCorvex_t", N("-5.5")},
                                {"lblCorvex_p", N("101.3")},
                                {"lblCorvex_SumErr", N("0.5000")},
                                {"lblCorvex_Pl", A("超限")},
                                {"lblCorvex_Tl", N("正常")},
                                {"lblCorvex_Pro", A("剪断")},
                                {"lblCorvex_Mag", N("正常")},
                                {"lblCorvex_BatEx", A("失电")},
                                {"lblCorvex_ChgBat", N("正常")},
                                {"lblCorvex_TErr", N("正常")},
                                {"lblCorvex_PErr", A("故障")},
                                {"lblCorvex_BatLow", N("正常")},
                                {"lblCorvex_Vmh", A("超限")}}},
                    // Bits 5 and 0 of offset 43 and bits 5 and 4 of offset 44 belong to no label.
                    DecodeCase{"UnshownBitsChangeNothing",
                               decodeParamsType6,
                               sealed(type6Reply("21 30")),
                               1,
                               {{"lblCorvex_Pl", N("正常")},
                                {"lblCorvex_ChgBat", N("正常")},
                                {"lblCorvex_BatLow", N("正常")},
                                {"lblCorvex_Ph", N("正常")}}},
                    DecodeCase{
                        "Type7LengthIsWrong", decodeParamsType6, sealed(type7Reply("00 01 00 00")), 2, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Type3, ParamDecoders,
    testing::Values(
        DecodeCase{"Long30TakesSixByteVolume",
                   decodeParamsType3,
                   summedType3(type3Reply("81 41", kVolume48)),
                   1,
                   {{"lbl55Vm", N("35.25")},
                    {"lbl55V0", N("33.50")},
                    {"lbl55_T", N("-12.50")},
                    {"lbl55_P", N("101.50")},
                    {"lbl55_sum", N("1000.5000")},
                    {"lbl55_cmd", A("无响应")},
                    {"lbl55_alarm", N("正常")},
                    {"lbl55_sleep", N("无")},
                    {"lbl55_vm", A("偏小")},
                    {"lbl55_TSensor", A("异常")},
                    {"lbl55_clock", A("异常")},
                    {"lbl55_f", N("正常")}}},
        DecodeCase{"Short28TakesFourByteVolume",
                   decodeParamsType3,
                   summedType3(type3Reply("10 00", kVolume32)),
                   1,
                   {{"lbl55_sum", N("1000.5000")}, {"lbl55_ExV", A("有")}, {"lbl55_cmd", N("响应")}}},
        DecodeCase{"Length29", decodeParamsType3, summedType3(type3Reply("00 00", "0A 7D 10 00 00")), 2, {}},
        DecodeCase{"WrongSum",
                   decodeParamsType3,
                   replace(summedType3(type3Reply("00 00", kVolume48)), 29, 0x00),
                   3,
                   {}},
        // The sum leaves out the start bytes, so it still matches.
        DecodeCase{"StartByteAA",
                   decodeParamsType3,
                   replace(summedType3(type3Reply("00 00", kVolume48)), 0, 0xAA),
                   4,
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Type7, ParamDecoders,
    testing::Values(
        DecodeCase{"ValveFault02AndAlarmWord",
                   decodeParamsType7,
                   sealed(type7Reply("00 02 04 41")),
                   1,
                   {{"lblICMoney_time", N("2024-03-15 10:30:00")},
                    {"lblICMoney_sum", N("11876.5432")},
                    {"lblICMoney_psum", N("12345.6789")},
                    {"lblICMoney_v0", N("33.50")},
                    {"lblICMoney_vm", N("35.25")},
                    {"lblICMoney_t", N("-5.5")},
                    {"lblICMoney_p", N("101.3")},
                    {"lblICMoney_st", N("0002")},
                    {"lblICMoney_alarm", N("0441")},
                    {"lblICMoney_ValveSt", A("异常")},
                    {"lblICMoney_vmh", A("超上限")},
                    {"lblICMoney_PErr", A("异常")},
                    {"lblICMoney_BatEx", A("失电")},
                    {"lblICMoney_TErr", N("无")},
                    {"lblICMoney_LJSBat", N("充足")},
                    {"lblICMoney_ChgCardBat", N("无")}}},
        DecodeCase{"ValveOpen01",
                   decodeParamsType7,
                   sealed(type7Reply("00 01 00 00")),
                   1,
                   {{"lblICMoney_ValveSt", N("开阀")}, {"lblICMoney_st", N("0001")}}},
        DecodeCase{"ValveClosedWithPurchaseAndOverdraftBits",
                   decodeParamsType7,
                   sealed(type7Reply("AB 14 80 88")),
                   1,
                   {{"lblICMoney_ValveSt", N("关阀")},
                    {"lblICMoney_BuySt", A("购气异常")},
                    {"lblICMoney_Tz", A("有透支")},
                    {"lblICMoney_st", N("AB14")},
                    {"lblICMoney_alarm", N("8088")},
                    {"lblICMoney_TErr", A("有")},
                    {"lblICMoney_LJSBat", A("不足")},
                    {"lblICMoney_ChgLJSBat", N("无")}}},
        DecodeCase{"ValveState03IsAFault",
                   decodeParamsType7,
                   sealed(type7Reply("00 03 00 00")),
                   1,
                   {{"lblICMoney_ValveSt", A("异常")}}},
        DecodeCase{"BadCrc", decodeParamsType7, replace(sealed(type7Reply("00 01 00 00")), 46, 0x12), 3, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct DigitsCase {
    const char* name;
    int width;
    const char* hex;
    const char* text;
};

class DecimalDigits : public testing::TestWithParam<DigitsCase> {};

TEST_P(DecimalDigits, WritesByteValuesAndPadsToWidth)
{
    const DigitsCase& c = GetParam();
    EXPECT_EQ(bytesToDecimalDigits(c.width, hexBytes(c.hex)), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecimalDigits,
                         testing::Values(DigitsCase{"ZeroFive", 4, "00 05", "0005"},
                                         DigitsCase{"OneTwelve", 4, "01 0C", "0112"},
                                         DigitsCase{"LongerThanWidthStays", 2, "FF 01", "2551"},
                                         DigitsCase{"NoBytes", 3, "", "000"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParamReset, GivesResetTextsAndKeepsTheStatusAndAlarmWordsOfType7)
{
    LabelValues values;
    resetParamLabels(panelOfType(7), values);
    EXPECT_EQ(values["lblICMoney_time"], N("2000-01-01 00:00:00"));
    EXPECT_EQ(values["lblICMoney_TErr"], N("正常"));
    EXPECT_EQ(values["lblICMoney_ValveSt"], N("正常"));
    EXPECT_EQ(values["lblICMoney_LJSBat"], N("充足"));
    ASSERT_EQ(decodeParamsType7(panelOfType(7), sealed(type7Reply("00 02 04 41")), values), 1);
    resetParamLabels(panelOfType(7), values);
    EXPECT_EQ(values["lblICMoney_sum"], N("0"));
    EXPECT_EQ(values["lblICMoney_ValveSt"], N("正常"));
    EXPECT_EQ(values["lblICMoney_st"], N("0002"));
    EXPECT_EQ(values["lblICMoney_alarm"], N("0441"));

    resetParamLabels(panelOfType(6), values);
    EXPECT_EQ(values["lblCorvex_time"], N("2000-00-00 00:00:00"));
    resetParamLabels(panelOfType(3), values);
    EXPECT_EQ(values["lbl55_cmd"], N("响应"));
}

} // namespace
