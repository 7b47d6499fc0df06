#include "codec/codec.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

// Bit-by-bit CRC-16/MODBUS (reflected 0xA001), the reference the tables must match.
uint16_t referenceCrc(ByteView bytes, uint16_t start)
{
    uint16_t crc = start;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

uint16_t swapBytes(uint16_t v)
{
    return static_cast<uint16_t>(v << 8 | v >> 8);
}

Bytes ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// ---------------------------------------------------------------------------------
// CRC tables and Crc16

TEST(CrcTables, EveryEntryIsTheCrcOfItsSingleByte)
{
    for (int i = 0; i < 256; ++i) {
        const uint8_t byte = static_cast<uint8_t>(i);
        const uint16_t crc = referenceCrc(ByteView(&byte, 1), 0);
        EXPECT_EQ(kCrcTableHi[i], crc & 0xFF) << "entry " << i;
        EXPECT_EQ(kCrcTableLo[i], crc >> 8) << "entry " << i;
    }
}

struct CrcCase {
    const char* name;
    Bytes bytes;
    int count;
    uint16_t expected;
};

class Crc16Vectors : public testing::TestWithParam<CrcCase> {};

TEST_P(Crc16Vectors, GivesWireOrderedCrc)
{
    const CrcCase& c = GetParam();
    EXPECT_EQ(crc16(c.bytes, static_cast<uint8_t>(c.count)), c.expected);
}

Bytes counting(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, Crc16Vectors,
    testing::Values(CrcCase{"ReadHoldingRegisterRequest", hexBytes("01 03 00 00 00 01"), 6, 0x840A},
                    CrcCase{"AsciiDigits1To9", ascii("123456789"), 9, 0x374B},
                    CrcCase{"ZeroBytesGivesStartValue", hexBytes("01 02 03"), 0, 0xFFFF},
                    CrcCase{"CountShorterThanData", hexBytes("01 03 00 00 00 01 77 88"), 6, 0x840A},
                    // The count is 8 bits wide: 300 covers 300 mod 256 = 44 bytes.
                    CrcCase{"CountWrapsModulo256", counting(300), 300,
                            swapBytes(referenceCrc(ByteView(counting(300)).first(44), 0xFFFF))},
                    CrcCase{"Count256CoversNothing", counting(256), 256, 0xFFFF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Crc16Full, CoversFramesLongerThan256Bytes)
{
    const Bytes bytes = counting(300);
    EXPECT_EQ(crc16Full(bytes), swapBytes(referenceCrc(bytes, 0xFFFF)));
}

// ---------------------------------------------------------------------------------
// appendCrc and checkCrc

TEST(CrcSeal, SealsModbusRequestHighHalfFirst)
{
    EXPECT_EQ(appendCrc(hexBytes("01 03 00 00 00 01")), hexBytes("01 03 00 00 00 01 84 0A"));
}

TEST(CrcCheck, AcceptsSealedFrameAndRejectsEverySingleBitError)
{
    const Bytes sealed = appendCrc(hexBytes("17 66 00 64 02 00 01"));
    ASSERT_TRUE(checkCrc(sealed));
    for (size_t i = 0; i < sealed.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes damaged = sealed;
            damaged[i] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_FALSE(checkCrc(damaged)) << "byte " << i << " bit " << bit;
        }
    }
}

struct CheckCase {
    const char* name;
    Bytes frame;
    bool expected;
};

class CheckCrcEdges : public testing::TestWithParam<CheckCase> {};

TEST_P(CheckCrcEdges, Verdict)
{
    EXPECT_EQ(checkCrc(GetParam().frame), GetParam().expected);
}

Bytes longFrameWithFullCrc(size_t bodyLength)
{
    Bytes frame = counting(bodyLength);
    const uint16_t crc = crc16Full(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    return frame;
}

Bytes bodyThenFFFF(size_t bodyLength)
{
    Bytes frame = counting(bodyLength);
    frame.insert(frame.end(), {0xFF, 0xFF});
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, CheckCrcEdges,
    testing::Values(CheckCase{"TwoByteFrameFFFFPasses", hexBytes("FF FF"), true},
                    CheckCase{"TwoByteFrameOtherwiseFails", hexBytes("FF FE"), false},
                    CheckCase{"SwappedCrcBytesFail", hexBytes("01 03 00 00 00 01 0A 84"), false},
                    CheckCase{"SingleByteIsRejectedNotRead", hexBytes("FF"), false},
                    CheckCase{"EmptyIsRejectedNotRead", Bytes{}, false},
                    // 8-bit count: a 300-byte body is checked over 44 bytes only.
                    CheckCase{"LongFrameWithTrueCrcFails", longFrameWithFullCrc(300), false},
                    // 256-byte body: count 0, so FF FF is what the check expects.
                    CheckCase{"Body256ThenFFFFPasses", bodyThenFFFF(256), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckCrcFull, VerifiesWholeLongFrame)
{
    Bytes frame = longFrameWithFullCrc(300);
    EXPECT_TRUE(checkCrcFull(frame));
    frame[299] ^= 0x01;
    EXPECT_FALSE(checkCrcFull(frame));
    EXPECT_FALSE(checkCrcFull(hexBytes("FF")));
}

// ---------------------------------------------------------------------------------
// Sum, hex text, blank slots, no-record answers

TEST(ByteSum8, SumsModulo256)
{
    EXPECT_EQ(byteSum8(ascii("abc")), 0x26);
    EXPECT_EQ(byteSum8(hexBytes("FF 01")), 0x00);
    EXPECT_EQ(byteSum8(hexBytes("80 80 80")), 0x80);
    EXPECT_EQ(byteSum8(Bytes{}), 0x00);
}

TEST(HexText, SpacedAndPlainUpperCase)
{
    EXPECT_EQ(bytesToHexSpaced(hexBytes("01 03 0A")), "01 03 0A");
    EXPECT_EQ(bytesToHexSpaced(hexBytes("ab cd ef 00")), "AB CD EF 00");
    EXPECT_EQ(bytesToHexSpaced(Bytes{}), "");
    EXPECT_EQ(bytesToHexSpaced(hexBytes("7F")), "7F");
    EXPECT_EQ(bytesToHex(hexBytes("01 03 0A")), "01030A");
    EXPECT_EQ(bytesToHex(hexBytes("fe dc")), "FEDC");
    EXPECT_EQ(bytesToHex(Bytes{}), "");
}

TEST(AllBytesEqual, BlankSlotRecognition)
{
    EXPECT_TRUE(allBytesEqual(hexBytes("FF FF FF"), 0xFF));
    EXPECT_FALSE(allBytesEqual(hexBytes("FF FE FF"), 0xFF));
    EXPECT_TRUE(allBytesEqual(hexBytes("00 00"), 0x00));
    EXPECT_FALSE(allBytesEqual(hexBytes("00 00"), 0xFF));
    EXPECT_TRUE(allBytesEqual(Bytes{}, 0xFF));
}

struct NoRecordCase {
    const char* name;
    Bytes reply;
    bool expected;
};

class NoRecordAnswers : public testing::TestWithParam<NoRecordCase> {};

TEST_P(NoRecordAnswers, Verdict)
{
    EXPECT_EQ(isNoRecordAnswer(GetParam().reply), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codec, NoRecordAnswers,
                         testing::Values(NoRecordCase{"Function66Code80", hexBytes("17 66 80 01 02 03 04"),
                                                      true},
                                         NoRecordCase{"ThreeBytes6680", hexBytes("17 66 80"), true},
                                         NoRecordCase{"AnyFiveByteReply", hexBytes("12 34 56 78 9A"), true},
                                         NoRecordCase{"FiveZeroBytes", hexBytes("00 00 00 00 00"), true},
                                         NoRecordCase{"OtherCode", hexBytes("17 66 81 00"), false},
                                         NoRecordCase{"OtherFunction", hexBytes("17 65 80 00"), false},
                                         NoRecordCase{"FourBytes", hexBytes("17 03 02 00"), false},
                                         NoRecordCase{"TwoBytesNotRead", hexBytes("66 80"), false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// Numbers

TEST(BytesToInt16, TwosComplement)
{
    EXPECT_EQ(bytesToInt16(0x00, 0x05), 5);
    EXPECT_EQ(bytesToInt16(0xFF, 0xFE), -2);
    EXPECT_EQ(bytesToInt16(0x80, 0x00), -32768);
    EXPECT_EQ(bytesToInt16(0xFF, 0xFF), -1);
    EXPECT_EQ(bytesToInt16(0x7F, 0xFF), 32767);
}

TEST(ReadIntegers, BigEndian)
{
    EXPECT_EQ(readUInt32(hexBytes("12 34 56 78")), 0x12345678u);
    EXPECT_EQ(readUInt32(hexBytes("FF FF FF FF")), 4294967295u);
    EXPECT_EQ(formatText("%u", readUInt32(hexBytes("80 00 00 00"))), "2147483648");
    EXPECT_EQ(readUInt32(hexBytes("00 00 01 00 FF")), 256u);
    EXPECT_EQ(readInt64(hexBytes("FF FF FF FF FF FF FF FF")), -1);
    EXPECT_EQ(readInt64(hexBytes("80 00 00 00 00 00 00 00")), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(readInt64(hexBytes("00 00 00 00 00 01 00 00")), 65536);
    EXPECT_EQ(readInt64(hexBytes("01 02 03 04 05 06 07 08")), 0x0102030405060708LL);
}

TEST(ReadIntegers, ShortPieceIsPaddedWithZerosNotReadPast)
{
    EXPECT_EQ(readUInt32(hexBytes("12 34")), 0x12340000u);
    EXPECT_EQ(readInt64(Bytes{}), 0);
    EXPECT_EQ(readFixed48_16(hexBytes("00 00 00 00 00 01")), 1.0);
}

struct RealCase {
    const char* name;
    double (*read)(ByteView);
    Bytes bytes;
    double expected;
};

class RealVectors : public testing::TestWithParam<RealCase> {};

TEST_P(RealVectors, ExactValue)
{
    const RealCase& c = GetParam();
    EXPECT_EQ(c.read(c.bytes), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, RealVectors,
    testing::Values(
        RealCase{"SingleOneAndHalf", readSingle, hexBytes("3F C0 00 00"), 1.5},
        RealCase{"SingleNegativeTwo", readSingle, hexBytes("C0 00 00 00"), -2.0},
        RealCase{"DoubleOneAndHalf", readDouble, hexBytes("3F F8 00 00 00 00 00 00"), 1.5},
        RealCase{"DoubleMinusHundred", readDouble, hexBytes("C0 59 00 00 00 00 00 00"), -100.0},
        RealCase{"Fixed48_16OneAndHalf", readFixed48_16, hexBytes("00 00 00 00 00 01 80 00"), 1.5},
        RealCase{"Fixed48_16LargeInteger", readFixed48_16, hexBytes("01 00 00 00 00 00 40 00"),
                 1099511627776.25},
        RealCase{"Fixed23_8MinusOneAndHalf", readFixed23_8, hexBytes("80 00 01 80"), -1.5},
        RealCase{"Fixed23_8Positive", readFixed23_8, hexBytes("01 00 00 40"), 65536.25},
        RealCase{"Fixed7_24OneAndHalf", readFixed7_24, hexBytes("01 80 00 00"), 1.5},
        RealCase{"Fixed7_24Negative", readFixed7_24, hexBytes("82 40 00 00"), -2.25},
        RealCase{"Float32ExpOne", readFloat32Exp, hexBytes("01 40 00 00"), 1.0},
        RealCase{"Float32ExpMinusOne", readFloat32Exp, hexBytes("01 C0 00 00"), -1.0},
        RealCase{"Float32ExpZero", readFloat32Exp, hexBytes("00 00 00 00"), 0.0},
        // Exponent byte 0x80 is E = −128, not +128.
        RealCase{"Float32ExpMostNegativeExponent", readFloat32Exp, hexBytes("80 40 00 00"),
                 std::ldexp(1.0, -129)},
        RealCase{"Float32ExpNegativeExponent", readFloat32Exp, hexBytes("FF 40 00 00"), 0.25},
        RealCase{"Float32ExpLargestExponent", readFloat32Exp, hexBytes("7F 00 00 01"), std::ldexp(1.0, 104)},
        RealCase{"Float48ExpTwo", readFloat48Exp, hexBytes("01 80 00 00 00 00"), 2.0},
        RealCase{"Float48ExpNegativeExponent", readFloat48Exp, hexBytes("FE 80 00 00 00 00"), 0.25},
        RealCase{"Float48ExpMostNegativeExponent", readFloat48Exp, hexBytes("80 00 00 00 00 01"),
                 std::ldexp(1.0, -167)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IeeePatterns, PassedOnUnchanged)
{
    EXPECT_EQ(bytesToSingle(0x3F, 0xC0, 0x00, 0x00), 1.5);
    EXPECT_EQ(bytesToDouble(0x3F, 0xF8, 0, 0, 0, 0, 0, 0), 1.5);
    EXPECT_TRUE(std::isinf(readSingle(hexBytes("7F 80 00 00"))));
    EXPECT_LT(readSingle(hexBytes("FF 80 00 00")), 0.0);
    EXPECT_TRUE(std::isnan(readSingle(hexBytes("7F C0 00 00"))));
    EXPECT_TRUE(std::isnan(readDouble(hexBytes("7F F8 00 00 00 00 00 01"))));
    EXPECT_TRUE(std::signbit(readSingle(hexBytes("80 00 00 00"))));
}

// ---------------------------------------------------------------------------------
// BCD and texts

struct TextCase {
    const char* name;
    std::string actual;
    std::string expected;
};

class TextVectors : public testing::TestWithParam<TextCase> {};

TEST_P(TextVectors, ExactText)
{
    EXPECT_EQ(GetParam().actual, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, TextVectors,
    testing::Values(
        TextCase{"BcdPlainDigits", bcdToDigits(hexBytes("12")), "12"},
        TextCase{"BcdLowNibbleAboveNine", bcdToDigits(hexBytes("3A")), "34"},
        TextCase{"BcdBothNibblesAboveNine", bcdToDigits(hexBytes("AB")), "45"},
        TextCase{"BcdFFIs99", bcdToDigits(hexBytes("FF")), "99"},
        TextCase{"BcdSeveralBytes", bcdToDigits(hexBytes("20 23 05 C0")), "20230560"},
        TextCase{"BcdEmpty", bcdToDigits(Bytes{}), ""},
        TextCase{"DateTime", bcdToDateTime(hexBytes("23 05 17 08 30 00")), "2023-05-17 08:30:00"},
        TextCase{"DateTimeEndOfCentury", bcdToDateTime(hexBytes("99 12 31 23 59 59")), "2099-12-31 23:59:59"},
        TextCase{"DateTimeMonthNotRangeChecked", bcdToDateTime(hexBytes("23 13 40 25 61 99")),
                 "2023-13-40 25:61:99"},
        TextCase{"DateTimeBlankSlot", bcdToDateTime(hexBytes("FF FF FF FF FF FF")), "2099-99-99 99:99:99"},
        TextCase{"DateTimeOnlySixBytesUsed", bcdToDateTime(hexBytes("23 05 17 08 30 00 11")),
                 "2023-05-17 08:30:00"},
        TextCase{"DateTimeShortPieceAppendsSeparators", bcdToDateTime(hexBytes("23")), "2023-- ::"},
        TextCase{"PadToWidth", padLeftZeros("5", 3), "005"},
        TextCase{"PadAlreadyWide", padLeftZeros("1234", 3), "1234"},
        TextCase{"PadEmpty", padLeftZeros("", 2), "00"}, TextCase{"PadWidthZero", padLeftZeros("7", 0), "7"},
        TextCase{"PadNegativeWidth", padLeftZeros("7", -4), "7"},
        TextCase{"FormatFixedPoint", formatText("%.2f", 1.5), "1.50"},
        TextCase{"FormatLongerThanAnyBuffer", formatText("%s|%d", std::string(300, 'x').c_str(), -7),
                 std::string(300, 'x') + "|-7"},
        // Every platform writes these as glibc does, so output is the same bytes everywhere.
        TextCase{"FormatNegativeNanKeepsSign", formatText("%6.2f", std::copysign(NAN, -1.0)), "  -nan"},
        TextCase{"FormatNonFiniteFlags",
                 formatText("%-6f|%+f|% f|%06.1f|%E", INFINITY, INFINITY, NAN, -INFINITY, NAN),
                 "inf   |+inf| nan|  -inf|NAN"},
        TextCase{"FormatArgumentsTakenInOrder",
                 formatText("%*.*f|%0*X|%.*f|%*d|100%% %lld %zu %hhu", 7, 2, 1.5, 4, 0xABu, -1, 0.25, -4, 7,
                            -5LL, size_t{42}, 300),
                 "   1.50|00AB|0.250000|7   |100% -5 42 44"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
