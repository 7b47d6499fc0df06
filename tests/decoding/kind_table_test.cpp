// The kind table: every kind of the catalogue has its row, and each row's decoder,
// columns and reply lengths agree with one another.
#include "decoding/kind_table.h"
#include "decoding/records_money.h"
#include "decoding/records_v12.h"
#include "decoding/records_v14.h"
#include "decoding/records_v20.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Non-blank, non-constant data so that every decoder sees a real record.
uint8_t Pattern(size_t i)
{
    return static_cast<uint8_t>((i * 29 + 7) % 251 + 1);
}

Bytes ModbusOfLength(size_t length)
{
    Bytes frame{0x17, 0x03, static_cast<uint8_t>(length - 5)};
    for (size_t i = 3; i + 2 < length; ++i)
        frame.push_back(Pattern(i));
    return AppendCrc(frame);
}

Bytes CustomOfLength(size_t length)
{
    Bytes frame{0x55, 0x55};
    for (size_t i = 2; i + 1 < length; ++i)
        frame.push_back(Pattern(i));
    frame.push_back(ByteSum8(ByteView(frame).subspan(2)));
    return frame;
}

// The shortest crafted reply that the kind decodes into rows.
std::optional<Bytes> AcceptedReply(const KindRow& kind)
{
    for (size_t length = 6; length <= 255; ++length) {
        for (const Bytes& reply : {ModbusOfLength(length), CustomOfLength(length)}) {
            RecordTable table;
            if (kind.Decode({}, reply, table) == DecodeResult::Decoded)
                return reply;
        }
    }
    return std::nullopt;
}

TEST(KindTable, HoldsEveryCatalogueKindInOrder)
{
    const auto kinds = RecordKinds();
    const auto rows = KindRows();
    ASSERT_EQ(rows.size(), kinds.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].code, kinds[i].code);
        EXPECT_EQ(rows[i].blockCount, kinds[i].blockCount) << rows[i].code;
        const int slots = rows[i].block ? rows[i].block->slotCount : 1;
        EXPECT_EQ(slots, kinds[i].recordsPerBlock) << rows[i].code;
        EXPECT_EQ(rows[i].request.recordsPerBlock, kinds[i].recordsPerBlock) << rows[i].code;
        EXPECT_EQ(FindKindRow(kinds[i].code), &rows[i]);
    }
}

class KindRowTest : public testing::TestWithParam<int> {};

// Decoded rows fill at most the kind's columns; exactly them for device types 1 to 4
// (parameter-change rows of types 6 and 7 stop after the time stamp when the
// parameter is unknown).
TEST_P(KindRowTest, RowsFitTheColumns)
{
    const KindRow& kind = *FindKindRow(GetParam());
    const std::optional<Bytes> reply = AcceptedReply(kind);
    ASSERT_TRUE(reply) << "no crafted reply accepted";
    RecordTable table;
    SetupKindColumns(kind.code, table);
    ASSERT_GT(table.ColumnCount(), 1);
    EXPECT_EQ(table.Columns()[0].caption, "序号");
    ASSERT_EQ(DecodeKindReply(kind.code, {}, *reply, table), DecodeResult::Decoded);
    for (const auto& row : table.Rows()) {
        if (kind.deviceType <= 4)
            EXPECT_EQ(static_cast<int>(row.size()), table.ColumnCount());
        else
            EXPECT_LE(static_cast<int>(row.size()), table.ColumnCount());
    }
}

// The lengths the fast reply collection is told are exactly those the decoder does
// not reject as a bad length.
TEST_P(KindRowTest, ReplyLengthsAreThoseTheDecoderTakes)
{
    const KindRow& kind = *FindKindRow(GetParam());
    std::vector<size_t> taken;
    for (size_t length = 0; length <= 500; ++length) {
        RecordTable table;
        if (kind.Decode({}, Bytes(length, 0), table) != DecodeResult::BadLength)
            taken.push_back(length);
    }
    EXPECT_EQ(taken, kind.request.reply.accepted);
    EXPECT_EQ(kind.request.reply.hasByteCount, kind.request.dialect != RequestDialect::CustomSum8);
}

INSTANTIATE_TEST_SUITE_P(DecodedKinds, KindRowTest, testing::ValuesIn([] {
                             std::vector<int> codes;
                             for (const KindRow& row : KindRows())
                                 if (!row.fieldsFromWorkbook)
                                     codes.push_back(row.code);
                             return codes;
                         }()),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Kind" + std::to_string(info.param);
                         });

TEST(KindTable, WorkbookKindsTakeColumnsAndLengthFromTheWorkbook)
{
    for (const KindRow& row : KindRows()) {
        EXPECT_EQ(row.fieldsFromWorkbook, row.request.dialect == RequestDialect::ModbusRegisters) << row.code;
        if (!row.fieldsFromWorkbook)
            continue;
        EXPECT_TRUE(row.columns.empty());
        EXPECT_TRUE(row.request.reply.lengthInByteCount);
    }
}

// Codes no device type knows: Stop, table untouched, for a reply that some decoder
// would accept and for an empty one; no columns.
TEST(KindTable, UnknownCodesStopWithoutTouchingTheTable)
{
    for (int kindCode : {15, 618, 0, -1, 10, 25, 34, 40, 412, 50, 55, 60, 70, 80, 714, 4100, 2147483647}) {
        EXPECT_EQ(FindKindRow(kindCode), nullptr);
        for (const Bytes& reply : {Bytes{}, ModbusOfLength(39), CustomOfLength(30)}) {
            RecordTable table;
            table.AddColumn("序号", 45);
            table.AppendRow({"1"});
            EXPECT_EQ(DecodeKindReply(kindCode, {}, reply, table), DecodeResult::Stop) << kindCode;
            EXPECT_EQ(table.RowCount(), 1);
        }
        RecordTable table;
        table.AddColumn("序号", 45);
        SetupKindColumns(kindCode, table);
        EXPECT_EQ(table.ColumnCount(), 0);
    }
}

TEST(KindTable, KindsWithSimilarRecordsKeepTheirOwnLayouts)
{
    const auto layout = [](int code) { return FindKindRow(code)->block; };
    EXPECT_EQ(layout(64), &kParamChangeV20);
    EXPECT_EQ(layout(74), &kParamChangeMoney);
    EXPECT_EQ(layout(69), &kAntiCutV20);
    EXPECT_EQ(layout(79), &kAntiCutMoney);
    EXPECT_EQ(layout(610), &kAntiRemovalV20);
    EXPECT_EQ(layout(710), &kAntiRemovalMoney);
    EXPECT_EQ(layout(611), layout(711));
    EXPECT_EQ(layout(45), layout(47));
    EXPECT_EQ(layout(45), layout(48));
    EXPECT_EQ(layout(46), &kAlarmEvent2V14);
    EXPECT_EQ(FindKindRow(21)->decode, &DecodeRealtimeV12);
    EXPECT_EQ(FindKindRow(31)->decode, &DecodeRealtimeCustom);
}

// Workbook-described kinds: a description whose first field is "S8" tells the
// typed-field decoder (which shows it) from the alarm one (which skips it without
// taking bytes); the description comes with the context.
struct TypedCase {
    const char* name;
    int kindCode;
    Bytes reply;
    int result;
    std::vector<std::vector<std::string>> rows;
};

std::ostream& operator<<(std::ostream& out, const TypedCase& c)
{
    return out << c.name;
}

const Bytes kTypedReply = AppendCrc(HexBytes("17 03 08 00 00 1A 2B 00 00 00 7B"));
const std::vector<std::vector<std::string>> kTypedRows = {{"5", "1A2B", "000123"}};
const std::vector<std::vector<std::string>> kAlarmRows = {{"5", "006699"}};

class DispatchTyped : public testing::TestWithParam<TypedCase> {};

TEST_P(DispatchTyped, RoutesDeviceType5Kinds)
{
    const TypedCase& c = GetParam();
    const FieldTypeList types = {"S8", "LNG"};
    FieldDigitsArray digits{};
    digits[0] = 4;
    digits[1] = 6;
    RecordTable table;
    EXPECT_EQ(static_cast<int>(DecodeKindReply(c.kindCode, {5, &types, &digits}, c.reply, table)), c.result);
    EXPECT_EQ(table.Rows(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, DispatchTyped,
    testing::Values(
        TypedCase{"RealtimeShowsS8", 51, kTypedReply, 1, kTypedRows},
        TypedCase{"DayShowsS8", 52, kTypedReply, 1, kTypedRows},
        TypedCase{"MonthShowsS8", 53, kTypedReply, 1, kTypedRows},
        TypedCase{"AlarmSkipsS8", 54, kTypedReply, 1, kAlarmRows},
        TypedCase{"AllZeroDataBadCrcStops51", 51, HexBytes("17 03 08 00 00 00 00 00 00 00 00 12 34"), 0, {}},
        TypedCase{"AllZeroDataBadCrcStops54", 54, HexBytes("17 03 08 00 00 00 00 00 00 00 00 12 34"), 0, {}},
        TypedCase{"BadCrc", 52, HexBytes("17 03 08 00 00 1A 2B 00 00 00 7B 00 00"), 3, {}},
        TypedCase{"EmptyReply", 53, {}, 2, {}}, TypedCase{"Kind50Stops", 50, kTypedReply, 0, {}},
        TypedCase{"Kind55Stops", 55, kTypedReply, 0, {}}),
    [](const testing::TestParamInfo<TypedCase>& info) { return std::string(info.param.name); });

} // namespace
