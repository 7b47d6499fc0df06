#include "decoding/workbook_fields.h"

#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

// A device type 5 reply: address 0x17, function 3, byte count, data, CRC over all of it.
Bytes replyOf(const Bytes& data)
{
    Bytes frame;
    frame.reserve(data.size() + 5);
    frame.push_back(0x17);
    frame.push_back(0x03);
    frame.push_back(static_cast<uint8_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    const uint16_t crc = crc16Full(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    return frame;
}

FieldDigitsArray digitsOf(std::initializer_list<int> values)
{
    FieldDigitsArray digits{};
    size_t i = 0;
    for (int value : values)
        digits[i++] = value;
    return digits;
}

struct FieldCase {
    const char* name;
    bool alarm;
    std::vector<std::string> types;
    std::vector<int> digits;
    const char* data;
    std::vector<std::string> subItems;
};

class TypedFieldsTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TypedFieldsTest, ShowsFields)
{
    const FieldCase& c = GetParam();
    FieldDigitsArray digits{};
    std::copy(c.digits.begin(), c.digits.end(), digits.begin());
    RecordTable table;
    const Bytes reply = replyOf(hexBytes(c.data));
    const DecodeContext context{7, &c.types, &digits};
    const DecodeResult result = c.alarm ? decodeWorkbookAlarmFields(context, reply, table)
                                        : decodeWorkbookFields(context, reply, table);
    ASSERT_EQ(result, DecodeResult::Decoded);
    ASSERT_EQ(table.rowCount(), 1);
    std::vector<std::string> expected{"7"};
    expected.insert(expected.end(), c.subItems.begin(), c.subItems.end());
    EXPECT_EQ(table.rows()[0], expected);
}

const FieldCase kFieldCases[] = {
    {"TimeLongFloat",
     false,
     {"DT2", "LNG", "FLT"},
     {0, 6, 3},
     "25 03 01 12 30 00 00 00 00 7B 41 20 00 00",
     {"2025-03-01 12:30:00", "000123", "10.000"}},
    {"ByteIsSumOfBothBytes", false, {"BYTE"}, {0}, "01 02", {"3"}},
    {"BitAsByte", false, {"BIT"}, {0}, "00 05", {"5"}},
    {"DoubleAlwaysTwoDecimals", false, {"DBL"}, {6}, "3F F8 00 00 00 00 00 00", {"1.50"}},
    {"DoubleWideValueTrimmed", false, {"DBL"}, {0}, "40 C3 88 00 00 00 00 00", {"10000.00"}},
    {"NegativeLongUnpadded", false, {"LNG"}, {0}, "FF FF FF FE", {"-2"}},
    {"NegativeLongSignBeforeZeros", false, {"LNG"}, {6}, "FF FF FF FE", {"-00002"}},
    {"S8FourDigits", false, {"S8"}, {4}, "00 00 1A 2B", {"1A2B"}},
    {"S8EightDigits", false, {"S8"}, {8}, "00 00 1A 2B", {"00001A2B"}},
    {"AlarmSkipsS8WithoutBytes", true, {"S8", "LNG"}, {8, 3}, "00 00 00 09", {"009"}},
    {"UnknownTypeKeepsDigitsIndex", false, {"XYZ", "LNG"}, {9, 5}, "00 00 00 07", {"00007"}},
    {"LowerCaseNameUnknown", false, {"lng", "BYTE"}, {0, 0}, "00 04", {"4"}},
    {"FieldBeyondDataEmpty", false, {"LNG", "DBL", "BYTE"}, {0, 0, 0}, "00 00 00 01 00 02", {"1", "", ""}},
    {"FieldPartlyBeyondDataEmpty", false, {"BYTE", "LNG"}, {0, 0}, "00 01 00 00 00", {"1", ""}},
    {"NegativeDecimalsClampedToZero", false, {"FLT"}, {-4}, "41 20 00 00", {"10"}},
    {"HugeDecimalsClampedTo15", false, {"FLT"}, {1000}, "3F C0 00 00", {"1.500000000000000"}},
    {"HugePadWidthClampedTo32", false, {"LNG"}, {100000}, "00 00 00 01", {std::string(31, '0') + "1"}},
    {"NegativeHexWidthGivesMinimalDigits", false, {"S8"}, {-8}, "00 00 00 0C", {"C"}},
};

INSTANTIATE_TEST_SUITE_P(Fields, TypedFieldsTest, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ResultCase {
    const char* name;
    Bytes reply;
    DecodeResult result;
};

Bytes withBadCrc(Bytes reply)
{
    reply.back() ^= 0x01;
    return reply;
}

class TypedResultTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(TypedResultTest, GivesResultAndTouchesTableOnlyWhenDecoded)
{
    const ResultCase& c = GetParam();
    const std::vector<std::string> types{"BYTE", "BYTE", "BYTE"};
    for (bool alarm : {false, true}) {
        RecordTable table;
        const FieldDigitsArray digits = digitsOf({});
        const DecodeContext context{1, &types, &digits};
        const DecodeResult result = alarm ? decodeWorkbookAlarmFields(context, c.reply, table)
                                          : decodeWorkbookFields(context, c.reply, table);
        EXPECT_EQ(result, c.result) << (alarm ? "alarm" : "typed");
        EXPECT_EQ(table.rowCount(), c.result == DecodeResult::Decoded ? 1 : 0);
    }
}

Bytes longReply()
{
    Bytes data(255, 0x11);
    return replyOf(data);
}

const ResultCase kResultCases[] = {
    {"EmptyReply", {}, DecodeResult::BadLength},
    {"ThreeBytes", hexBytes("17 03 00"), DecodeResult::BadLength},
    {"TenBytesWithCountSix", hexBytes("17 03 06 00 01 00 02 00 AA BB"), DecodeResult::BadLength},
    {"TenBytesWithCountFive", replyOf(hexBytes("00 01 00 02 00")), DecodeResult::Decoded},
    {"CountLargerThanReply", hexBytes("17 03 FF 00 01 00 02"), DecodeResult::BadLength},
    {"AllZeroDataStopsBeforeCrc", withBadCrc(replyOf(hexBytes("00 00 00 00 00 00"))), DecodeResult::Stop},
    {"NoDataBytesStops", replyOf({}), DecodeResult::Stop},
    {"BadCrc", withBadCrc(replyOf(hexBytes("00 01 00 02 00 03"))), DecodeResult::BadCheck},
    {"CrcOverWholeLongReply", longReply(), DecodeResult::Decoded},
};

INSTANTIATE_TEST_SUITE_P(Results, TypedResultTest, ::testing::ValuesIn(kResultCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Zero-padded longs are numbering ("001000"), not quantities; bytes and bits are
// codes and flags.
TEST(TypedFieldsColumns, TypeNameAndPaddingGiveTheColumnType)
{
    const struct {
        const char* type;
        int digits;
        ColumnType expected;
    } cases[] = {{"DT2", 0, ColumnType::Time},    {"DBL", 2, ColumnType::Number},
                 {"FLT", 3, ColumnType::Number},  {"LNG", 0, ColumnType::Number},
                 {"LNG", -3, ColumnType::Number}, {"LNG", 6, ColumnType::Text},
                 {"BYTE", 0, ColumnType::Text},   {"BIT", 0, ColumnType::Text},
                 {"S8", 4, ColumnType::Text},     {"lng", 0, ColumnType::Text}};
    for (const auto& c : cases)
        EXPECT_EQ(fieldColumnType(c.type, c.digits), c.expected) << c.type << " " << c.digits;
}

TEST(TypedFieldsLimits, MoreTypeNamesThanDigitsUseZeroDigits)
{
    std::vector<std::string> types(kFieldDigitsCount, "XYZ");
    types.push_back("LNG");
    RecordTable table;
    const FieldDigitsArray digits = digitsOf({});
    ASSERT_EQ(decodeWorkbookFields({2, &types, &digits}, replyOf(hexBytes("00 00 00 2A")), table),
              DecodeResult::Decoded);
    EXPECT_EQ(table.rows()[0], (std::vector<std::string>{"2", "42"}));
}

TEST(TypedFieldsLimits, LongReplyIsRefusedWhenOnlyTheFirstBytesAreCovered)
{
    // The 8-bit count of the meters' CRC covers 4 of 260 bytes; such a frame is corrupt.
    Bytes reply = longReply();
    reply.resize(reply.size() - 2);
    const uint16_t partial = crc16(reply, static_cast<uint8_t>(reply.size()));
    reply.push_back(static_cast<uint8_t>(partial >> 8));
    reply.push_back(static_cast<uint8_t>(partial & 0xFF));
    RecordTable table;
    const FieldTypeList types{"BYTE"};
    const FieldDigitsArray digits = digitsOf({});
    EXPECT_EQ(decodeWorkbookFields({1, &types, &digits}, reply, table), DecodeResult::BadCheck);
}

} // namespace
