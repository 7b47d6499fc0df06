// Known-answer tests of the record decoders of device types 1, 2 and 3.
#include "decoding/records_types_1_2_3.h"
#include "kind_decoder.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Cells = std::vector<std::string>;

// Address 0x17, function 0x03, byte count, data, CRC-16 as the meters send it.
Bytes modbus(std::string_view dataHex, uint8_t function = 0x03)
{
    const Bytes data = hexBytes(dataHex);
    Bytes frame{0x17, function, static_cast<uint8_t>(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    return appendCrc(frame);
}

// 0x55 0x55, the body (offsets 2 onwards), then the 8-bit sum of the body.
Bytes custom(std::string_view bodyHex)
{
    const Bytes body = hexBytes(bodyHex);
    Bytes frame{0x55, 0x55};
    frame.insert(frame.end(), body.begin(), body.end());
    frame.push_back(byteSum8(body));
    return frame;
}

Bytes flip(Bytes bytes, size_t at, uint8_t mask = 0x01)
{
    bytes[at] ^= mask;
    return bytes;
}

Bytes drop(Bytes bytes)
{
    bytes.pop_back();
    return bytes;
}

Bytes extend(Bytes bytes)
{
    bytes.push_back(0x00);
    return bytes;
}

// Real-time data of types 1/2: working 12345.5, standard 65536.25, flow 123.5,
// temperature −20.25, pressure 101.1015625, 2023-05-17 08:30:00.
const char kRealtimeData[] = "00000000 30398000 00000001 00004000 00007B80 80001440 0000651A 230517083000";
const Cells kRealtimeCells = {"7",     "2023-05-17 08:30:00", "12345.5000", "65536.2500", "123.50", "-20.25",
                              "101.10"};

// Custom-frame bodies: offsets 2..6 address and frame header, data from offset 7.
const char kCustomRealtimeBody[] = "1701160000 0E607300 02500000 05D10000 07658000 230517083000";
const char kCustomMonthBody[] = "1702080000 0E607300 240315";
const char kCustomStartStopBody[] = "17030C0000 0E607300 240101120000 55";

struct DecodeCase {
    const char* name;
    Decoder decoder;
    Bytes reply;
    int result;
    Cells cells; // expected row (caption first); empty when no row may be appended
};

std::ostream& operator<<(std::ostream& out, const DecodeCase& c)
{
    return out << c.name;
}

class RecordsV12Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(RecordsV12Decode, GivesResultAndRow)
{
    const DecodeCase& c = GetParam();
    RecordTable table;
    EXPECT_EQ(c.decoder(7, c.reply, table), c.result);
    if (c.cells.empty()) {
        EXPECT_EQ(table.rowCount(), 0);
    } else {
        ASSERT_EQ(table.rowCount(), 1);
        EXPECT_EQ(table.rows()[0], c.cells);
    }
}

const std::vector<DecodeCase> kDecodeCases = {
    // ---- kinds 11/21
    {"RealtimeLiteralVector", Decoder{11},
     hexBytes("17 03 22 00 00 00 00 30 39 80 00 00 00 00 01 00 00 40 00 00 00 7B 80 80 00 14 40 00 00 65 1A "
              "23 05 17 08 30 00 5F EA"),
     1, kRealtimeCells},
    {"RealtimeBuilt", Decoder{11}, modbus(kRealtimeData), 1, kRealtimeCells},
    {"RealtimeAllZeroIsBlank", Decoder{11}, modbus(std::string(68, '0')), 4, {}},
    {"RealtimeAllFfIsARecord",
     Decoder{11},
     modbus(std::string(68, 'F')),
     1,
     {"7", "2099-99-99 99:99:99", "281474976710656.0000", "281474976710656.0000", "-8388608.00",
      "-8388608.00", "-8388608.00"}},
    {"RealtimeBcdNibblesAboveNine",
     Decoder{11},
     modbus("00000000 30398000 00000001 00004000 00007B80 80001440 0000651A 2A1B3C4D5E6F"),
     1,
     {"7", "2024-15-36 47:58:69", "12345.5000", "65536.2500", "123.50", "-20.25", "101.10"}},
    {"RealtimeOneByteShort", Decoder{11}, drop(modbus(kRealtimeData)), 2, {}},
    {"RealtimeOneByteLong", Decoder{11}, extend(modbus(kRealtimeData)), 2, {}},
    {"RealtimeBadCrc", Decoder{11}, flip(modbus(kRealtimeData), 38), 3, {}},
    {"RealtimeBadDataByte", Decoder{11}, flip(modbus(kRealtimeData), 10), 3, {}},
    {"RealtimeEmpty", Decoder{11}, {}, 2, {}},
    {"RealtimeShortAnswerIsBadLength", Decoder{11}, modbus(""), 2, {}},

    // ---- kinds 12/22
    {"MonthLiteralVector",
     Decoder{12},
     hexBytes("17 03 0A 00 00 00 00 00 01 80 00 24 03 5C E1"),
     1,
     {"7", "2024-03", "1.5000"}},
    {"MonthBcdNibbleAboveNine", Decoder{12}, modbus("0000000000018000 241A"), 1, {"7", "2024-14", "1.5000"}},
    {"MonthAllZeroIsBlank", Decoder{12}, modbus("0000000000000000 0000"), 4, {}},
    {"MonthZeroVolumeWithDateIsARecord",
     Decoder{12},
     modbus("0000000000000000 2401"),
     1,
     {"7", "2024-01", "0.0000"}},
    {"MonthShortAnswerIsBlank", Decoder{12}, hexBytes("17 03 00 C1 34"), 4, {}},
    {"MonthShortAnswerBadCrc", Decoder{12}, hexBytes("17 03 00 C1 35"), 3, {}},
    {"MonthFourBytes", Decoder{12}, hexBytes("17 03 C1 34"), 2, {}},
    {"MonthSixBytes", Decoder{12}, extend(modbus("")), 2, {}},
    {"MonthOneByteShort", Decoder{12}, drop(modbus("0000000000018000 2403")), 2, {}},
    {"MonthOneByteLong", Decoder{12}, extend(modbus("0000000000018000 2403")), 2, {}},
    {"MonthBadCrc", Decoder{12}, flip(modbus("0000000000018000 2403"), 13), 3, {}},
    {"MonthEmpty", Decoder{12}, {}, 2, {}},

    // ---- kinds 13/23
    {"StartStopLiteralVector",
     Decoder{13},
     hexBytes("17 03 10 00 00 00 00 00 01 80 00 24 01 01 12 00 00 55 00 3E AF"),
     1,
     {"7", "2024-01-01 12:00:00", "1.5000", "启动"}},
    {"StartStopFlagZeroIsStop",
     Decoder{13},
     modbus("0000000000018000 240101120000 00 00"),
     1,
     {"7", "2024-01-01 12:00:00", "1.5000", "停止"}},
    {"StartStopFlagAaIsStop",
     Decoder{13},
     modbus("0000000000018000 240101120000 AA 00"),
     1,
     {"7", "2024-01-01 12:00:00", "1.5000", "停止"}},
    {"StartStopFlagFfIsStop",
     Decoder{13},
     modbus("0000000000018000 240101120000 FF 00"),
     1,
     {"7", "2024-01-01 12:00:00", "1.5000", "停止"}},
    // The blank test covers every data byte, the one after the flag included.
    {"StartStopOnlyLastDataByteSetIsARecord",
     Decoder{13},
     modbus("0000000000000000 000000000000 00 55"),
     1,
     {"7", "2000-00-00 00:00:00", "0.0000", "停止"}},
    {"StartStopShortAnswerIsBlank", Decoder{13}, modbus(""), 4, {}},
    {"StartStopShortAnswerBadCrc", Decoder{13}, flip(modbus(""), 4), 3, {}},
    {"StartStopOneByteShort", Decoder{13}, drop(modbus("0000000000018000 240101120000 55 00")), 2, {}},
    {"StartStopOneByteLong", Decoder{13}, extend(modbus("0000000000018000 240101120000 55 00")), 2, {}},
    {"StartStopBadCrc", Decoder{13}, flip(modbus("0000000000018000 240101120000 55 00"), 19), 3, {}},
    {"StartStopEmpty", Decoder{13}, {}, 2, {}},

    // ---- kinds 14/24
    {"AntiCutLiteralVector",
     Decoder{14},
     hexBytes("17 03 08 24 02 29 23 59 59 55 00 C0 55"),
     1,
     {"7", "2024-02-29 23:59:59", "正常"}},
    {"AntiCutFlagAaIsCut",
     Decoder{14},
     modbus("240229235959 AA 00"),
     1,
     {"7", "2024-02-29 23:59:59", "剪断"}},
    {"AntiCutFlagFfIsCut",
     Decoder{14},
     modbus("240229235959 FF 00"),
     1,
     {"7", "2024-02-29 23:59:59", "剪断"}},
    // The anti-cut kinds have no blank-value test: a record of zeros is shown.
    {"AntiCutAllZeroIsARecord",
     Decoder{14},
     modbus("000000000000 00 00"),
     1,
     {"7", "2000-00-00 00:00:00", "剪断"}},
    {"AntiCutNoRecordFunction66Count80",
     Decoder{14},
     appendCrc(hexBytes("17 66 80 24 02 29 23 59 59 55 00")),
     4,
     {}},
    {"AntiCutNoRecord6680BadCrc",
     Decoder{14},
     flip(appendCrc(hexBytes("17 66 80 24 02 29 23 59 59 55 00")), 12),
     3,
     {}},
    {"AntiCutFunction66AloneIsARecord",
     Decoder{14},
     modbus("240229235959 55 00", 0x66),
     1,
     {"7", "2024-02-29 23:59:59", "正常"}},
    {"AntiCutShortAnswerIsBlank", Decoder{14}, hexBytes("17 03 00 C1 34"), 4, {}},
    {"AntiCutShortAnswerBadCrc", Decoder{14}, hexBytes("17 03 00 C0 34"), 3, {}},
    {"AntiCutOneByteShort", Decoder{14}, drop(modbus("240229235959 55 00")), 2, {}},
    {"AntiCutOneByteLong", Decoder{14}, extend(modbus("240229235959 55 00")), 2, {}},
    {"AntiCutBadCrc", Decoder{14}, flip(modbus("240229235959 55 00"), 11), 3, {}},
    {"AntiCutEmpty", Decoder{14}, {}, 2, {}},

    // ---- kind 31
    {"CustomRealtimeLiteralVector",
     Decoder{31},
     hexBytes("55 55 17 01 16 00 00 0E 60 73 00 02 50 00 00 05 D1 00 00 07 65 80 00 23 05 17 08 30 00 9A"),
     1,
     {"7", "2023-05-17 08:30:00", "12345.5000", "2.50", "-20.25", "101.50"}},
    // Exponent 0xFF is −1, 0x80 is −128; a set sign bit with a zero mantissa prints as −0.
    {"CustomRealtimeNegativeExponents",
     Decoder{31},
     custom("1701160000 FF400000 80000001 80800000 00000000 230517083000"),
     1,
     {"7", "2023-05-17 08:30:00", "0.2500", "0.00", "-0.00", "0.00"}},
    {"CustomRealtimeAllFfIsBlank", Decoder{31}, custom("1701160000" + std::string(44, 'F')), 4, {}},
    {"CustomRealtimeAllZeroIsARecord",
     Decoder{31},
     custom("1701160000" + std::string(44, '0')),
     1,
     {"7", "2000-00-00 00:00:00", "0.0000", "0.00", "0.00", "0.00"}},
    {"CustomRealtimeFirstHeaderByteWrong", Decoder{31}, flip(custom(kCustomRealtimeBody), 0), 3, {}},
    {"CustomRealtimeSecondHeaderByteWrong", Decoder{31}, flip(custom(kCustomRealtimeBody), 1), 3, {}},
    {"CustomRealtimeBadSum", Decoder{31}, flip(custom(kCustomRealtimeBody), 29), 3, {}},
    {"CustomRealtimeBadDataByte", Decoder{31}, flip(custom(kCustomRealtimeBody), 8), 3, {}},
    {"CustomRealtimeOneByteShort", Decoder{31}, drop(custom(kCustomRealtimeBody)), 2, {}},
    {"CustomRealtimeOneByteLong", Decoder{31}, extend(custom(kCustomRealtimeBody)), 2, {}},
    {"CustomRealtimeModbusFrameRejected", Decoder{31}, modbus(std::string(50, '0')), 3, {}},
    {"CustomRealtimeEmpty", Decoder{31}, {}, 2, {}},

    // ---- kind 32
    {"CustomMonthLiteralVector",
     Decoder{32},
     hexBytes("55 55 17 02 08 00 00 0E 60 73 00 24 03 15 3E"),
     1,
     {"7", "2024-03-15", "12345.5000"}},
    {"CustomMonthAllFfIsBlank", Decoder{32}, custom("1702080000 FFFFFFFF FFFFFF"), 4, {}},
    {"CustomMonthFfVolumeWithDateIsARecord",
     Decoder{32},
     custom("1702080000 FFFFFFFF 2403FF"),
     1,
     {"7", "2024-03-99", "-0.5000"}},
    {"CustomMonthHeaderWrong", Decoder{32}, flip(custom(kCustomMonthBody), 0, 0xFF), 3, {}},
    {"CustomMonthBadSum", Decoder{32}, flip(custom(kCustomMonthBody), 14), 3, {}},
    {"CustomMonthOneByteShort", Decoder{32}, drop(custom(kCustomMonthBody)), 2, {}},
    {"CustomMonthOneByteLong", Decoder{32}, extend(custom(kCustomMonthBody)), 2, {}},
    {"CustomMonthEmpty", Decoder{32}, {}, 2, {}},

    // ---- kind 33
    {"CustomStartStopLiteralVector",
     Decoder{33},
     hexBytes("55 55 17 03 0C 00 00 0E 60 73 00 24 01 01 12 00 00 55 94"),
     1,
     {"7", "2024-01-01 12:00:00", "12345.5000", "启动"}},
    {"CustomStartStopFlagAaIsStop",
     Decoder{33},
     custom("17030C0000 0E607300 240101120000 AA"),
     1,
     {"7", "2024-01-01 12:00:00", "12345.5000", "停止"}},
    {"CustomStartStopFlagZeroIsStop",
     Decoder{33},
     custom("17030C0000 0E607300 240101120000 00"),
     1,
     {"7", "2024-01-01 12:00:00", "12345.5000", "停止"}},
    {"CustomStartStopAllFfIsBlank", Decoder{33}, custom("17030C0000" + std::string(22, 'F')), 4, {}},
    {"CustomStartStopHeaderWrong", Decoder{33}, flip(custom(kCustomStartStopBody), 1, 0x80), 3, {}},
    {"CustomStartStopBadSum", Decoder{33}, flip(custom(kCustomStartStopBody), 18), 3, {}},
    {"CustomStartStopOneByteShort", Decoder{33}, drop(custom(kCustomStartStopBody)), 2, {}},
    {"CustomStartStopOneByteLong", Decoder{33}, extend(custom(kCustomStartStopBody)), 2, {}},
    {"CustomStartStopEmpty", Decoder{33}, {}, 2, {}},
};

INSTANTIATE_TEST_SUITE_P(Vectors, RecordsV12Decode, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase>& info) {
                             return std::string(info.param.name);
                         });

struct LayoutCase {
    const char* name;
    int kindCode;
    std::vector<TableColumn> columns;
};

std::ostream& operator<<(std::ostream& out, const LayoutCase& c)
{
    return out << c.name;
}

class RecordsV12Columns : public testing::TestWithParam<LayoutCase> {};

TEST_P(RecordsV12Columns, AddsCaptionsAndWidths)
{
    const LayoutCase& c = GetParam();
    RecordTable table;
    setupKindColumns(builtIn(), c.kindCode, table);
    ASSERT_EQ(table.columnCount(), static_cast<int>(c.columns.size()));
    for (size_t i = 0; i < c.columns.size(); ++i) {
        EXPECT_EQ(table.columns()[i].caption, c.columns[i].caption) << "column " << i;
        EXPECT_EQ(table.columns()[i].width, c.columns[i].width) << "column " << i;
    }
}

const std::vector<TableColumn> kRealtimeColumns = {{"序号", 45},
                                                   {"时间", 145},
                                                   {"工况累积量(m3)", 103},
                                                   {"标况累积量(m3)", 103},
                                                   {"标况瞬时流量(m3/h)", 123},
                                                   {"温度(℃)", 65},
                                                   {"压力(KPa)", 70}};
const std::vector<TableColumn> kMonthColumns = {{"序号", 45}, {"日期", 100}, {"标况累积量(m3)", 120}};
const std::vector<TableColumn> kStartStopColumns = {
    {"序号", 45}, {"记录时间", 135}, {"标况累积量(m3)", 100}, {"标记", 55}};
const std::vector<TableColumn> kAntiCutColumns = {{"序号", 45}, {"记录时间", 135}, {"标记", 55}};

INSTANTIATE_TEST_SUITE_P(
    Kinds, RecordsV12Columns,
    testing::Values(
        LayoutCase{"Realtime11", 11, kRealtimeColumns}, LayoutCase{"Realtime21", 21, kRealtimeColumns},
        LayoutCase{"Realtime31",
                   31,
                   {{"序号", 45},
                    {"时间", 140},
                    {"标况累积量(m3)", 100},
                    {"标况流量(m3/h)", 100},
                    {"温度(℃)", 75},
                    {"压力(KPa)", 75}}},
        LayoutCase{"Month12", 12, kMonthColumns}, LayoutCase{"Month22", 22, kMonthColumns},
        LayoutCase{"Month32", 32, kMonthColumns}, LayoutCase{"StartStop13", 13, kStartStopColumns},
        LayoutCase{"StartStop23", 23, kStartStopColumns}, LayoutCase{"StartStop33", 33, kStartStopColumns},
        LayoutCase{"AntiCut14", 14, kAntiCutColumns}, LayoutCase{"AntiCut24", 24, kAntiCutColumns},
        LayoutCase{"NoAntiCutForType3", 34, {}}, LayoutCase{"UnknownKindAddsNothing", 15, {}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// Any length and any bytes give a defined result, and only result 1 appends a row.
// Run under AddressSanitizer this also proves no read outside the reply.
TEST(RecordsV12Robustness, AnyReplyGivesAResultCode)
{
    const Decoder decoders[] = {Decoder{11}, Decoder{12}, Decoder{13}, Decoder{14},
                                Decoder{31}, Decoder{32}, Decoder{33}};
    std::mt19937 random(14);
    for (Decoder decoder : decoders) {
        for (size_t length = 0; length <= 64; ++length) {
            for (int trial = 0; trial < 20; ++trial) {
                Bytes reply(length);
                for (uint8_t& b : reply)
                    b = static_cast<uint8_t>(random());
                RecordTable table;
                const int result = decoder(1, reply, table);
                ASSERT_GE(result, 1);
                ASSERT_LE(result, 4);
                ASSERT_EQ(table.rowCount(), result == 1 ? 1 : 0) << "length " << length;
            }
        }
    }
}

} // namespace
