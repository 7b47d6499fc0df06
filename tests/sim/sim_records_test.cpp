// The simulated meter's record answers must be what the program's decoders accept:
// every kind of every device type, full blocks, blank slots after N records, and
// the short "no record" answers.
#include "catalogue/catalogue.h"
#include "protocol/request_frames.h"
#include "sim/sim_encode.h"
#include "sim/sim_meter.h"
#include "support/built_in_registry.h"
#include "support/hex.h"
#include "support/mistyped_cells.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr uint8_t kAddress = 23;

std::vector<int> recordKindsOfBlockTypes()
{
    std::vector<int> codes;
    for (const RecordKind* each : recordKinds(builtIn()))
        if (!each->fieldsFromWorkbook)
            codes.push_back(each->code);
    return codes;
}

Bytes blockFrame(int kindCode, int block, uint8_t address = kAddress)
{
    return blockRequestFrame(kindOf(kindCode), baseRequestOfKind(kindOf(kindCode), address), block);
}

SimMeter meterFor(int kindCode, int records)
{
    SimConfig config;
    config.deviceType = deviceTypeOfKind(kindCode);
    config.records = records;
    return SimMeter(config);
}

bool checkBytesValid(int deviceType, const Bytes& reply)
{
    if (deviceType == 3)
        return reply.size() > 3 && reply[0] == 0x55 && reply[1] == 0x55 &&
               byteSum8(ByteView(reply).subspan(2, reply.size() - 3)) == reply.back();
    return checkCrcFull(reply);
}

class EveryKind : public testing::TestWithParam<int> {};

TEST_P(EveryKind, FirstBlockIsAcceptedWithAllItsRecords)
{
    const int kind = GetParam();
    SimMeter meter = meterFor(kind, 20);
    const std::optional<Bytes> reply = meter.respond(blockFrame(kind, 1));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(checkBytesValid(deviceTypeOfKind(kind), *reply));
    RecordTable table;
    EXPECT_EQ(decodeKindReply(builtIn(), kind, {1}, *reply, table), DecodeResult::Decoded);
    EXPECT_EQ(table.rowCount(), recordsPerBlock(builtIn(), kind));
}

TEST_P(EveryKind, LastBlockOfAFullMeterIsAccepted)
{
    const int kind = GetParam();
    const int blocks = blockCountOf(builtIn(), kind);
    SimMeter meter = meterFor(kind, blocks * recordsPerBlock(builtIn(), kind));
    const std::optional<Bytes> reply = meter.respond(blockFrame(kind, blocks));
    ASSERT_TRUE(reply);
    RecordTable table;
    EXPECT_EQ(decodeKindReply(builtIn(), kind, {blocks}, *reply, table), DecodeResult::Decoded);
    ASSERT_EQ(table.rowCount(), recordsPerBlock(builtIn(), kind));
    // Multi-record blocks caption rows with the stored number: the last one is the
    // kind's record count.
    if (recordsPerBlock(builtIn(), kind) > 1) {
        EXPECT_EQ(table.rows().back()[0], std::to_string(blocks * recordsPerBlock(builtIn(), kind)));
    }
}

TEST_P(EveryKind, SlotsAfterTheStoredRecordsAreBlank)
{
    const int kind = GetParam();
    const int perBlock = recordsPerBlock(builtIn(), kind);
    // The stored records end inside a block when a block holds several.
    const int records = perBlock > 1 ? 2 * perBlock + 1 : 3;
    SimMeter meter = meterFor(kind, records);
    const int block = records / perBlock + 1;
    const std::optional<Bytes> reply = meter.respond(blockFrame(kind, block));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(checkBytesValid(deviceTypeOfKind(kind), *reply));
    RecordTable table;
    EXPECT_EQ(decodeKindReply(builtIn(), kind, {block}, *reply, table), DecodeResult::NoRecord);
    EXPECT_EQ(table.rowCount(), records % perBlock);
}

TEST_P(EveryKind, EmptyMeterAnswersTheFirstBlockAsBlank)
{
    const int kind = GetParam();
    SimMeter meter = meterFor(kind, 0);
    const std::optional<Bytes> reply = meter.respond(blockFrame(kind, 1));
    ASSERT_TRUE(reply);
    RecordTable table;
    EXPECT_EQ(decodeKindReply(builtIn(), kind, {1}, *reply, table), DecodeResult::NoRecord);
    EXPECT_EQ(table.rowCount(), 0);
}

// Rows of several blocks, so one-record kinds give more than one row too.
TEST_P(EveryKind, StoredRecordsFitTheColumnTypes)
{
    const int kind = GetParam();
    SimMeter meter = meterFor(kind, 30);
    RecordTable table;
    setupKindColumns(builtIn(), kind, table);
    for (int block = 1; block <= std::min(3, blockCountOf(builtIn(), kind)); ++block) {
        const std::optional<Bytes> reply = meter.respond(blockFrame(kind, block));
        ASSERT_TRUE(reply);
        ASSERT_EQ(decodeKindReply(builtIn(), kind, {block}, *reply, table), DecodeResult::Decoded);
    }
    ASSERT_GT(table.rowCount(), 0);
    EXPECT_EQ(mistypedCells(table), "");
}

TEST_P(EveryKind, OtherAddressGetsSilence)
{
    const int kind = GetParam();
    SimMeter meter = meterFor(kind, 20);
    EXPECT_FALSE(meter.respond(blockFrame(kind, 1, kAddress + 1)));
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryKind, testing::ValuesIn(recordKindsOfBlockTypes()),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Kind" + std::to_string(info.param);
                         });

// Blank answers of device types 1 and 2: only the real-time table sends a full
// record of zeros; the others send the short "66 80" frame.
struct BlankAnswerCase {
    const char* name;
    int kind;
    const char* reply; // hex, the full blank answer
};

class BlankAnswers : public testing::TestWithParam<BlankAnswerCase> {};

TEST_P(BlankAnswers, HaveTheKindsShape)
{
    SimMeter meter = meterFor(GetParam().kind, 0);
    const std::optional<Bytes> reply = meter.respond(blockFrame(GetParam().kind, 1));
    ASSERT_TRUE(reply);
    EXPECT_EQ(bytesToHexSpaced(*reply), bytesToHexSpaced(sealModbus(hexBytes(GetParam().reply))));
}

INSTANTIATE_TEST_SUITE_P(
    V12, BlankAnswers,
    testing::Values(BlankAnswerCase{"RealtimeIsZeroRecord", 11,
                                    "17 66 22 0000000000000000 0000000000000000 00000000 00000000 00000000 "
                                    "000000000000"},
                    BlankAnswerCase{"MonthIsShort", 22, "17 66 80"},
                    BlankAnswerCase{"StartStopIsShort", 13, "17 66 80"},
                    BlankAnswerCase{"AntiCutIsShort", 24, "17 66 80"}),
    [](const testing::TestParamInfo<BlankAnswerCase>& info) { return info.param.name; });

// Decoded texts of stored records: the values the meter means to send arrive as such.
struct DecodedCase {
    const char* name;
    int kind;
    int block;
    int row;
    std::vector<std::string> cells;
};

class DecodedRecords : public testing::TestWithParam<DecodedCase> {};

TEST_P(DecodedRecords, ShowTheStoredValues)
{
    const DecodedCase& c = GetParam();
    SimMeter meter = meterFor(c.kind, 50);
    const std::optional<Bytes> reply = meter.respond(blockFrame(c.kind, c.block));
    ASSERT_TRUE(reply);
    RecordTable table;
    ASSERT_EQ(decodeKindReply(builtIn(), c.kind, {c.block}, *reply, table), DecodeResult::Decoded);
    ASSERT_GT(table.rowCount(), c.row);
    EXPECT_EQ(table.rows()[static_cast<size_t>(c.row)], c.cells);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecodedRecords,
    testing::Values(
        DecodedCase{"RealtimeV12FirstRecord",
                    11,
                    1,
                    0,
                    {"1", "2024-01-01 00:00:00", "10500.5678", "10000.1234", "30.00", "15.25", "101.25"}},
        // Record 8 (ordinal 7): temperature 15.25 − 7 × 2.5 below zero.
        DecodedCase{"RealtimeV12NegativeTemperature",
                    21,
                    8,
                    0,
                    {"8", "2024-01-01 01:10:00", "10592.0053", "10086.5426", "30.00", "-2.25", "102.75"}},
        DecodedCase{"MonthCustomHasADay", 32, 3, 0, {"3", "2024-03-01", "300744.4375"}},
        DecodedCase{"StartStopV14SecondIsStop", 49, 1, 1, {"2", "2024-01-03 03:17:23", "10012.4690", "停止"}},
        DecodedCase{"AntiCutV20CutOnly",
                    69,
                    1,
                    0,
                    {"1", "2024-01-01 00:00:00", "剪断", "10500.5678", "10000.1234", "30.00", "32.00"}},
        DecodedCase{"AntiCutV20MagneticOnly",
                    69,
                    1,
                    1,
                    {"2", "2024-01-03 03:17:23", "磁干扰", "10513.6303", "10012.4690", "31.25", "33.50"}},
        DecodedCase{
            "AntiCutV20Both",
            69,
            1,
            2,
            {"3", "2024-01-05 06:34:46", "剪断并磁干扰", "10526.6928", "10024.8146", "32.50", "35.00"}},
        // Every sixth parameter change carries an empty mask: time stamp only.
        DecodedCase{"ParamChangeV20EmptyMask", 64, 2, 0, {"6", "2024-01-11 16:26:55"}},
        DecodedCase{"ParamChangeV20TemperatureLimit",
                    64,
                    1,
                    3,
                    {"4", "2024-01-07 09:52:09", "温度报警下限值", "-10", "-20"}},
        DecodedCase{"ParamChangeMoneyPrice", 74, 1, 0, {"1", "2024-01-01 00:00:00", "价格1", "300", "320"}},
        DecodedCase{"ConsumptionMoneyAmounts",
                    712,
                    1,
                    1,
                    {"2", "2024-01-01 01:00:00", "10513.6303", "10012.4690", "31.25", "12.75", "101.75",
                     "49963", "100000", "2000", "52037"}},
        DecodedCase{"RechargeMoneyUnknownTypeIsEmpty",
                    713,
                    2,
                    1,
                    {"7", "2024-01-13 19:44:18", "", "150", "1900", "49778", "52222"}}),
    [](const testing::TestParamInfo<DecodedCase>& info) { return info.param.name; });

// The encoders are the inverse of the codec's readers, on the codec's own vectors.
struct EncoderCase {
    const char* name;
    void (*put)(Bytes&, double);
    double (*read)(ByteView);
    double value;
    const char* bytes;
};

class Encoders : public testing::TestWithParam<EncoderCase> {};

TEST_P(Encoders, WriteWhatTheCodecReads)
{
    Bytes out;
    GetParam().put(out, GetParam().value);
    EXPECT_EQ(bytesToHexSpaced(out), bytesToHexSpaced(hexBytes(GetParam().bytes)));
    EXPECT_DOUBLE_EQ(GetParam().read(out), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, Encoders,
    testing::Values(EncoderCase{"Fixed23_8Negative", putFixed23_8, readFixed23_8, -1.5, "80 00 01 80"},
                    EncoderCase{"Fixed7_24", putFixed7_24, readFixed7_24, 1.5, "01 80 00 00"},
                    EncoderCase{"Float32ExpOne", putFloat32Exp, readFloat32Exp, 1.0, "01 40 00 00"},
                    EncoderCase{"Float32ExpMinusOne", putFloat32Exp, readFloat32Exp, -1.0, "01 C0 00 00"},
                    EncoderCase{"Float32ExpSmall", putFloat32Exp, readFloat32Exp, 0.375, "FF 60 00 00"},
                    EncoderCase{"Float48ExpTwo", putFloat48Exp, readFloat48Exp, 2.0, "01 80 00 00 00 00"},
                    EncoderCase{"Fixed48_16", putFixed48_16, readFixed48_16, 258.5,
                                "00 00 00 00 01 02 80 00"}),
    [](const testing::TestParamInfo<EncoderCase>& info) { return info.param.name; });

// Device type 5 serves record sections only once a register map is configured.
class TypedRecords : public testing::Test {
protected:
    SimConfig config(int records)
    {
        SimConfig config;
        config.deviceType = 5;
        config.records = records;
        config.typedSections.push_back({51, 100, 12, 120, {"DT2", "DBL", "FLT", "LNG", "BYTE"}, {}});
        return config;
    }
    Bytes frame(int block)
    {
        return blockRequestFrame(kindOf(51), baseRequestOfKind(kindOf(51), kAddress, {100, 12}), block);
    }
    FieldDigitsArray sampleDigits()
    {
        FieldDigitsArray digits{};
        digits[2] = 3;
        digits[3] = 6;
        return digits;
    }
};

TEST_F(TypedRecords, StoredRecordDecodesFieldByField)
{
    SimMeter meter(config(50));
    const std::optional<Bytes> reply = meter.respond(frame(3));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 2u * 12 + 5);
    RecordTable table;
    const FieldTypeList types = {"DT2", "DBL", "FLT", "LNG", "BYTE"};
    const FieldDigitsArray digits = sampleDigits();
    ASSERT_EQ(decodeKindReply(builtIn(), 51, {3, &types, &digits}, *reply, table), DecodeResult::Decoded);
    ASSERT_EQ(table.rowCount(), 1);
    const std::vector<std::string> expected = {"3", "2024-01-01 00:20:00", "10526.69", "10.250", "001014",
                                               "0"};
    EXPECT_EQ(table.rows()[0], expected);
}

TEST_F(TypedRecords, RecordAfterTheStoredOnesIsAllZeroAndStopsTheRun)
{
    SimMeter meter(config(4));
    const std::optional<Bytes> reply = meter.respond(frame(5));
    ASSERT_TRUE(reply);
    RecordTable table;
    const FieldTypeList types = {"DT2", "DBL", "FLT", "LNG", "BYTE"};
    const FieldDigitsArray digits = sampleDigits();
    EXPECT_EQ(decodeKindReply(builtIn(), 51, {5, &types, &digits}, *reply, table), DecodeResult::Stop);
    EXPECT_EQ(table.rowCount(), 0);
}

TEST_F(TypedRecords, UnmappedRegistersGetSilence)
{
    SimMeter meter(config(50));
    // Not on a record boundary, another length, and without any map at all.
    EXPECT_FALSE(meter.respond(appendCrc(hexBytes("17 03 00 65 00 0C"))));
    EXPECT_FALSE(meter.respond(appendCrc(hexBytes("17 03 00 64 00 0B"))));
    SimConfig bare;
    bare.deviceType = 5;
    EXPECT_FALSE(SimMeter(bare).respond(frame(1)));
}

} // namespace
