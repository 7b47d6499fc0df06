// Dispatch of replies to the record decoders, by record kind code.
#include "decoding/dispatch.h"
#include "decoding/records_money.h"
#include "decoding/records_v12.h"
#include "decoding/records_v14.h"
#include "decoding/records_v20.h"
#include "decoding/typed_fields.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

struct Route {
    int kindCode;
    RecordDecoder decoder;
    const char* decoderName;
};

std::ostream& operator<<(std::ostream& out, const Route& r)
{
    return out << r.kindCode;
}

#define ROUTE(code, decoder)                                                                                 \
    Route                                                                                                    \
    {                                                                                                        \
        code, decoder, #decoder                                                                              \
    }

const std::vector<Route> kRoutes = {
    ROUTE(11, DecodeRealtimeV12),
    ROUTE(21, DecodeRealtimeV12),
    ROUTE(12, DecodeMonthV12),
    ROUTE(22, DecodeMonthV12),
    ROUTE(13, DecodeStartStopV12),
    ROUTE(23, DecodeStartStopV12),
    ROUTE(14, DecodeAntiCutV12),
    ROUTE(24, DecodeAntiCutV12),
    ROUTE(31, DecodeRealtimeCustom),
    ROUTE(32, DecodeMonthCustom),
    ROUTE(33, DecodeStartStopCustom),
    ROUTE(41, DecodeDailyV14),
    ROUTE(42, DecodeCurrentHourV14),
    ROUTE(43, DecodePrevHourV14),
    ROUTE(44, DecodeParamChangeV14),
    ROUTE(45, DecodeAlarmEventV14),
    ROUTE(47, DecodeAlarmEventV14),
    ROUTE(48, DecodeAlarmEventV14),
    ROUTE(46, DecodeAlarmEvent2V14),
    ROUTE(49, DecodeStartStopV14),
    ROUTE(410, DecodeTamperV14),
    ROUTE(411, DecodeTamperV14),
    ROUTE(61, DecodeDailyV20),
    ROUTE(71, DecodeDailyV20),
    ROUTE(62, DecodeCurrentHourV20),
    ROUTE(72, DecodeCurrentHourV20),
    ROUTE(63, DecodePrevHourV20),
    ROUTE(73, DecodePrevHourV20),
    ROUTE(64, DecodeParamChangeV20),
    ROUTE(65, DecodeSensorAlarmV20),
    ROUTE(75, DecodeSensorAlarmV20),
    ROUTE(66, DecodeLimitAlarmV20),
    ROUTE(76, DecodeLimitAlarmV20),
    ROUTE(67, DecodePowerLossV20),
    ROUTE(77, DecodePowerLossV20),
    ROUTE(68, DecodeStartStopV20),
    ROUTE(78, DecodeStartStopV20),
    ROUTE(69, DecodeAntiCutV20),
    ROUTE(610, DecodeAntiRemovalV20),
    ROUTE(611, DecodeMonthV20),
    ROUTE(711, DecodeMonthV20),
    ROUTE(612, DecodeRealtimeV20),
    ROUTE(613, DecodeStdVolumeChangeV20),
    ROUTE(614, DecodeWorkVolumeChangeV20),
    ROUTE(615, DecodeMeterFactorChangeV20),
    ROUTE(616, DecodeBadStdVolumeChangeV20),
    ROUTE(617, DecodeBadWorkVolumeChangeV20),
    ROUTE(74, DecodeParamChangeMoney),
    ROUTE(79, DecodeAntiCutMoney),
    ROUTE(710, DecodeAntiRemovalMoney),
    ROUTE(712, DecodeConsumptionMoney),
    ROUTE(713, DecodeRechargeMoney),
};

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

// The shortest crafted reply that the decoder decodes into rows (result 1).
std::optional<Bytes> AcceptedReply(RecordDecoder decoder)
{
    for (size_t length = 6; length <= 255; ++length) {
        for (const Bytes& reply : {ModbusOfLength(length), CustomOfLength(length)}) {
            RecordTable table;
            if (decoder(1, reply, table) == DecodeResult::Decoded)
                return reply;
        }
    }
    return std::nullopt;
}

struct Outcome {
    int result;
    std::vector<std::vector<std::string>> rows;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out)
{
    *out << "result " << outcome.result;
    for (const auto& row : outcome.rows) {
        *out << "\n  row";
        for (const std::string& cell : row)
            *out << " [" << cell << "]";
    }
}

Outcome RunDecoder(RecordDecoder decoder, ByteView reply)
{
    RecordTable table;
    const int result = decoder(3, reply, table);
    return {result, table.Rows()};
}

int DeviceType(int kindCode)
{
    while (kindCode > 10)
        kindCode /= 10;
    return kindCode;
}

void SetupColumns(int kindCode, RecordTable& table)
{
    const int deviceType = DeviceType(kindCode);
    if (deviceType <= 3)
        SetupColumnsV12(kindCode, table);
    else if (deviceType == 4)
        SetupColumnsV14(kindCode, table);
    else if (deviceType == 6)
        SetupColumnsV20(kindCode, table);
    else if (deviceType == 7)
        SetupColumnsMoney(kindCode, table);
}

class DispatchRoute : public testing::TestWithParam<Route> {};

TEST_P(DispatchRoute, ChoosesTheKindsDecoder)
{
    EXPECT_EQ(FindRecordDecoder(GetParam().kindCode), GetParam().decoder)
        << "expected " << GetParam().decoderName;
}

// The reply that the kind's decoder accepts gives through DecodeRecord exactly the
// rows that decoder gives. For device types 1 to 4 every decoder lays its records out
// differently, so no other decoder of those types gives the same rows; several device
// type 6 decoders share one record layout and differ only in their columns.
TEST_P(DispatchRoute, RowsAreThoseOfTheKindsDecoder)
{
    const Route& route = GetParam();
    const std::optional<Bytes> reply = AcceptedReply(route.decoder);
    ASSERT_TRUE(reply) << route.decoderName << " accepted no crafted reply";

    RecordTable table;
    const int result = DecodeRecord(3, route.kindCode, *reply, table);
    const Outcome outcome{result, table.Rows()};
    EXPECT_EQ(outcome, RunDecoder(route.decoder, *reply));
    ASSERT_EQ(result, DecodeResult::Decoded);
    ASSERT_FALSE(outcome.rows.empty());

    if (DeviceType(route.kindCode) > 4)
        return;
    std::set<RecordDecoder> others;
    for (const Route& other : kRoutes)
        if (DeviceType(other.kindCode) <= 4 && other.decoder != route.decoder)
            others.insert(other.decoder);
    for (RecordDecoder other : others)
        EXPECT_NE(RunDecoder(other, *reply), outcome)
            << "another decoder gives the same rows as " << route.decoderName;
}

// Each decoded row fills at most the columns that the kind's layout sets up; for
// device types 1 to 4 exactly those (parameter-change rows of types 6 and 7 stop after
// the time stamp when the parameter is unknown).
TEST_P(DispatchRoute, RowWidthMatchesColumnLayout)
{
    const Route& route = GetParam();
    const std::optional<Bytes> reply = AcceptedReply(route.decoder);
    ASSERT_TRUE(reply);
    RecordTable table;
    SetupColumns(route.kindCode, table);
    ASSERT_GT(table.ColumnCount(), 1);
    EXPECT_EQ(table.Columns()[0].caption, "序号");
    ASSERT_EQ(DecodeRecord(1, route.kindCode, *reply, table), DecodeResult::Decoded);
    for (const auto& row : table.Rows()) {
        if (DeviceType(route.kindCode) <= 4)
            EXPECT_EQ(static_cast<int>(row.size()), table.ColumnCount());
        else
            EXPECT_LE(static_cast<int>(row.size()), table.ColumnCount());
    }
}

TEST_P(DispatchRoute, EmptyReplyIsBadLength)
{
    RecordTable table;
    EXPECT_EQ(DecodeRecord(1, GetParam().kindCode, {}, table), DecodeResult::BadLength);
    EXPECT_EQ(table.RowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, DispatchRoute, testing::ValuesIn(kRoutes),
                         [](const testing::TestParamInfo<Route>& info) {
                             return "Kind" + std::to_string(info.param.kindCode);
                         });

// Codes without a decoder, device type 5 kinds included: Stop, table untouched, for
// a reply that some decoder would accept and for an empty one.
class DispatchNoDecoder : public testing::TestWithParam<int> {};

TEST_P(DispatchNoDecoder, StopsWithoutTouchingTheTable)
{
    const int kindCode = GetParam();
    EXPECT_EQ(FindRecordDecoder(kindCode), nullptr);
    const Bytes replies[] = {{},
                             ModbusOfLength(39),
                             ModbusOfLength(15),
                             CustomOfLength(30),
                             AppendCrc(HexBytes("17 03 08 00 00 00 01 41 20 00 00"))};
    for (const Bytes& reply : replies) {
        RecordTable table;
        table.AddColumn("序号", 45);
        table.AppendRow({"1"});
        EXPECT_EQ(DecodeRecord(1, kindCode, reply, table), DecodeResult::Stop);
        EXPECT_EQ(table.RowCount(), 1);
        EXPECT_EQ(table.ColumnCount(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, DispatchNoDecoder,
                         testing::Values(15, 618, 51, 52, 53, 54, 0, -1, 10, 25, 34, 40, 412, 50, 55, 60, 70,
                                         80, 714, 4100, 2147483647),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param < 0 ? "Minus" + std::to_string(-info.param)
                                                   : "Kind" + std::to_string(info.param);
                         });

TEST(DispatchSiblings, KindsWithSimilarRecordsKeepTheirOwnDecoders)
{
    EXPECT_NE(FindRecordDecoder(64), FindRecordDecoder(74));
    EXPECT_NE(FindRecordDecoder(69), FindRecordDecoder(79));
    EXPECT_NE(FindRecordDecoder(610), FindRecordDecoder(710));
    EXPECT_EQ(FindRecordDecoder(611), FindRecordDecoder(711));
    EXPECT_EQ(FindRecordDecoder(45), FindRecordDecoder(47));
    EXPECT_EQ(FindRecordDecoder(45), FindRecordDecoder(48));
    EXPECT_NE(FindRecordDecoder(45), FindRecordDecoder(46));
}

// Device type 5: a description whose first field is "S8" tells the typed-field
// decoder (which shows it) from the alarm one (which skips it without taking bytes).
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
    EXPECT_EQ(DecodeTypedRecord(5, c.kindCode, c.reply, table, types, digits), c.result);
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
        TypedCase{"EmptyReply", 53, {}, 2, {}}, TypedCase{"Type1KindStops", 11, kTypedReply, 0, {}},
        TypedCase{"Kind50Stops", 50, kTypedReply, 0, {}}, TypedCase{"Kind55Stops", 55, kTypedReply, 0, {}}),
    [](const testing::TestParamInfo<TypedCase>& info) { return std::string(info.param.name); });

} // namespace
