// Known-answer tests of the block decoders of device type 4.
#include "decoding/records_type4.h"
#include "kind_decoder.h"
#include "support/built_in_registry.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Cells = std::vector<std::string>;
using Rows = std::vector<Cells>;

const char kTimeHex[] = "230517083000";
const char kTimeText[] = "2023-05-17 08:30:00";

// One record kind: records of `size` bytes, `count` per block, and a sample record
// body (after number and time stamp) with the sub-items it must give.
struct Kind {
    Decoder decoder;
    size_t count;
    size_t size;
    std::string fieldsHex;
    Cells fields;
};

const Kind kDaily{Decoder{41}, 5, 16, "00003039 FFFFFFFF", {"12345", "4294967295"}};
const Kind kCurrentHour{Decoder{42}, 10, 16, "00000000 0000007B", {"0", "123"}};
const Kind kPrevHour{Decoder{43},
                     5,
                     28,
                     "00000001 00000002 3F7FBE77 3FC00000 C2A10000",
                     {"1", "2", "0.9990", "1.5000", "-80.5000"}};
const Kind kParamChange{
    Decoder{44}, 5, 22, "00000000ABCD 00000001 0000FF00", {"00000000ABCD", "00000001", "0000FF00"}};
// Not-a-number and infinity print as the C library prints them.
const Kind kAlarmEvent{Decoder{45},
                       5,
                       44,
                       "40C81CC000000000 3FF8000000000000 3FC00000 C2A10000 7FC00000 7F800000 0012 ABCD",
                       {"12345.5000", "1.5000", "1.50", "-80.50", "nan", "inf", "0012", "ABCD"}};
const Kind kAlarmEvent2{Decoder{46},
                        4,
                        56,
                        "3FF8000000000000 BFF0000000000000 4415AF1D78B58C40 "
                        "3FC00000 3F800000 FF800000 C2A10000 3F7FBE77 0000 FFFF",
                        {"1.5000", "-1.0000", "100000000000000000000.0000", "1.50", "1.00", "-inf", "-80.50",
                         "1.00", "0000", "FFFF"}};
const Kind kStartStop{Decoder{49}, 10, 18, "40C81CC000000000 55 AA", {"12345.5000", "启动"}};
const Kind kTamper{Decoder{410}, 10, 10, "55 00", {"正常"}};

std::string numberHex(unsigned number)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4)
        text += digits[(number >> shift) & 0xF];
    return text;
}

std::string recordHex(unsigned number, const std::string& fieldsHex)
{
    return numberHex(number) + kTimeHex + fieldsHex;
}

Cells recordCells(unsigned number, const Cells& fields)
{
    Cells cells{std::to_string(number), kTimeText};
    cells.insert(cells.end(), fields.begin(), fields.end());
    return cells;
}

// Address, function, byte count, a 14-byte block header, the given records, blank
// (all 0xFF) records up to the block size, and the CRC.
Bytes blockReply(const Kind& kind, const std::vector<std::string>& recordsHex)
{
    Bytes data = hexBytes("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D");
    for (const std::string& hex : recordsHex) {
        const Bytes record = hexBytes(hex);
        EXPECT_EQ(record.size(), kind.size) << hex;
        data.insert(data.end(), record.begin(), record.end());
    }
    data.resize(14 + kind.count * kind.size, 0xFF);
    Bytes frame{0x17, 0x03, static_cast<uint8_t>(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    return appendCrc(frame);
}

// The first `filled` records numbered 101, 102, … with the kind's sample body.
Bytes sampleReply(const Kind& kind, size_t filled)
{
    std::vector<std::string> records;
    for (size_t j = 0; j < filled; ++j)
        records.push_back(recordHex(static_cast<unsigned>(101 + j), kind.fieldsHex));
    return blockReply(kind, records);
}

Rows sampleRows(const Kind& kind, size_t filled)
{
    Rows rows;
    for (size_t j = 0; j < filled; ++j)
        rows.push_back(recordCells(static_cast<unsigned>(101 + j), kind.fields));
    return rows;
}

Bytes flip(Bytes bytes, size_t at)
{
    bytes[at] ^= 0x01;
    return bytes;
}

Bytes drop(Bytes bytes)
{
    bytes.pop_back();
    return bytes;
}

Bytes extend(Bytes bytes)
{
    bytes.push_back(0xFF);
    return bytes;
}

struct BlockCase {
    std::string name;
    Decoder decoder;
    Bytes reply;
    int result;
    Rows rows;
};

std::ostream& operator<<(std::ostream& out, const BlockCase& c)
{
    return out << c.name;
}

class RecordsV14Decode : public testing::TestWithParam<BlockCase> {};

TEST_P(RecordsV14Decode, GivesResultAndRows)
{
    const BlockCase& c = GetParam();
    RecordTable table;
    EXPECT_EQ(c.decoder(9, c.reply, table), c.result);
    EXPECT_EQ(table.rows(), c.rows);
}

// Cases every kind must pass: full block, partly filled block, leading blank,
// length ±1, bad CRC, empty reply.
std::vector<BlockCase> commonCases()
{
    const std::pair<const char*, const Kind*> kinds[] = {
        {"Daily", &kDaily},           {"CurrentHour", &kCurrentHour},
        {"PrevHour", &kPrevHour},     {"ParamChange", &kParamChange},
        {"AlarmEvent", &kAlarmEvent}, {"AlarmEvent2", &kAlarmEvent2},
        {"StartStop", &kStartStop},   {"Tamper", &kTamper}};
    std::vector<BlockCase> cases;
    for (const auto& [name, kind] : kinds) {
        const std::string n = name;
        const Bytes full = sampleReply(*kind, kind->count);
        const size_t length = 17 + kind->count * kind->size + 2;
        EXPECT_EQ(full.size(), length);
        cases.push_back({n + "FullBlock", kind->decoder, full, 1, sampleRows(*kind, kind->count)});
        cases.push_back(
            {n + "SecondRecordBlank", kind->decoder, sampleReply(*kind, 1), 4, sampleRows(*kind, 1)});
        // A blank slot keeps its record number: only the bytes after it are tested.
        cases.push_back({n + "FirstRecordBlankWithNumber",
                         kind->decoder,
                         blockReply(*kind, {"0005" + std::string(2 * (kind->size - 2), 'F')}),
                         4,
                         {}});
        cases.push_back({n + "OneByteShort", kind->decoder, drop(full), 2, {}});
        cases.push_back({n + "OneByteLong", kind->decoder, extend(full), 2, {}});
        cases.push_back({n + "BadCrc", kind->decoder, flip(full, length - 1), 3, {}});
        cases.push_back({n + "BadRecordByte", kind->decoder, flip(full, 20), 3, {}});
        cases.push_back({n + "Empty", kind->decoder, {}, 2, {}});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, RecordsV14Decode, testing::ValuesIn(commonCases()),
                         [](const testing::TestParamInfo<BlockCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Vectors, RecordsV14Decode,
    testing::Values(
        BlockCase{
            "DailyLiteralVector",
            Decoder{41},
            hexBytes("17 03 5E 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 24 01 01 00 00 00 00 00 30 39 "
                     "FF FF FF FF" +
                     std::string(64 * 2, 'F') + "E3 92"),
            4,
            {{"1", "2024-01-01 00:00:00", "12345", "4294967295"}}},
        BlockCase{"AlarmEventThirdRecordBlankKeepsTwoRows", Decoder{45}, sampleReply(kAlarmEvent, 2), 4,
                  sampleRows(kAlarmEvent, 2)},
        BlockCase{"AlarmEventRecordAfterBlankIgnored",
                  Decoder{45},
                  blockReply(kAlarmEvent, {recordHex(1, kAlarmEvent.fieldsHex), "0002" + std::string(84, 'F'),
                                           recordHex(3, kAlarmEvent.fieldsHex)}),
                  4,
                  {recordCells(1, kAlarmEvent.fields)}},
        BlockCase{"TamperNumberFfffWithSpareByteSetIsARecord",
                  Decoder{410},
                  blockReply(kTamper, {"FFFF FFFFFFFFFFFF FF 00"}),
                  4,
                  {{"65535", "2099-99-99 99:99:99", "剪断"}}},
        BlockCase{"TamperFlagAaIsCut",
                  Decoder{410},
                  blockReply(kTamper, {recordHex(7, "AA 55")}),
                  4,
                  {recordCells(7, {"剪断"})}},
        BlockCase{"StartStopNumberFfffIsCaption65535",
                  Decoder{49},
                  blockReply(kStartStop, {recordHex(0xFFFF, kStartStop.fieldsHex)}),
                  4,
                  {recordCells(65535, kStartStop.fields)}},
        BlockCase{"StartStopFlagZeroIsStop",
                  Decoder{49},
                  blockReply(kStartStop, {recordHex(3, "40C81CC000000000 00 55")}),
                  4,
                  {recordCells(3, {"12345.5000", "停止"})}},
        BlockCase{"StartStopFlagFfIsStop",
                  Decoder{49},
                  blockReply(kStartStop, {recordHex(3, "40C81CC000000000 FF 55")}),
                  4,
                  {recordCells(3, {"12345.5000", "停止"})}},
        BlockCase{"ParamChangeKeepsLeadingZeros",
                  Decoder{44},
                  blockReply(kParamChange, {recordHex(1, "000000000001 00000000 0000000A")}),
                  4,
                  {recordCells(1, {"000000000001", "00000000", "0000000A"})}},
        BlockCase{"DailyBcdNibblesAboveNine",
                  Decoder{41},
                  blockReply(kDaily, {"0001 AABBCCDDEEFF 00000001 00000002"}),
                  4,
                  {{"1", "2044-55-66 77:88:99", "1", "2"}}},
        BlockCase{"AlarmEvent2NegativeNan",
                  Decoder{46},
                  blockReply(kAlarmEvent2,
                             {recordHex(2, "FFF8000000000000 0000000000000000 8000000000000000 "
                                           "00000000 00000000 00000000 00000000 00000000 0000 0000")}),
                  4,
                  {recordCells(2, {"-nan", "0.0000", "-0.0000", "0.00", "0.00", "0.00", "0.00", "0.00",
                                   "0000", "0000"})}},
        BlockCase{"ShortNoRecordAnswerIsBadLength", Decoder{45}, hexBytes("17 03 00 C1 34"), 2, {}}),
    [](const testing::TestParamInfo<BlockCase>& info) { return info.param.name; });

struct LayoutCase {
    const char* name;
    int kindCode;
    std::vector<TableColumn> columns;
};

std::ostream& operator<<(std::ostream& out, const LayoutCase& c)
{
    return out << c.name;
}

class RecordsV14Columns : public testing::TestWithParam<LayoutCase> {};

TEST_P(RecordsV14Columns, AddsCaptionsAndWidths)
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

const std::vector<TableColumn> kAlarmColumns = {{"序号", 45},
                                                {"报警时间", 135},
                                                {"标况累积量(m3)", 102},
                                                {"工况累积量(m3)", 102},
                                                {"标况瞬时流量(m3/h)", 125},
                                                {"工况瞬时流量(m3/h)", 125},
                                                {"燃气温度(℃)", 88},
                                                {"燃气绝对压力(KPa)", 117},
                                                {"状态字", 70},
                                                {"报警字", 70}};
const std::vector<TableColumn> kTamperColumns = {{"序号", 45}, {"报警时间", 145}, {"标志", 80}};

INSTANTIATE_TEST_SUITE_P(
    Kinds, RecordsV14Columns,
    testing::Values(
        LayoutCase{"Daily41",
                   41,
                   {{"序号", 45}, {"记录时间", 145}, {"日标况累积量(m3)", 113}, {"日工况累积量(m3)", 113}}},
        LayoutCase{"CurrentHour42",
                   42,
                   {{"序号", 45},
                    {"记录时间", 145},
                    {"当前小时标况累积量(m3)", 150},
                    {"当前小时工况累积量(m3)", 150}}},
        LayoutCase{"PrevHour43",
                   43,
                   {{"序号", 45},
                    {"记录时间", 145},
                    {"前1小时标况累积量(m3)", 146},
                    {"前1小时工况累积量(m3)", 146},
                    {"压缩系数", 80},
                    {"标况压缩因子", 90},
                    {"工况压缩因子", 90}}},
        LayoutCase{"ParamChange44",
                   44,
                   {{"序号", 45},
                    {"参数修改起始时间", 145},
                    {"参数修改状态字", 130},
                    {"原参数", 80},
                    {"修改后参数", 80}}},
        LayoutCase{"AlarmEvent45", 45, kAlarmColumns}, LayoutCase{"AlarmEvent47", 47, kAlarmColumns},
        LayoutCase{"AlarmEvent48", 48, kAlarmColumns},
        LayoutCase{"AlarmEvent46",
                   46,
                   {{"序号", 45},
                    {"报警时间", 145},
                    {"标况累积量替代(m3)", 125},
                    {"标况累积量(m3)", 100},
                    {"工况累积量(m3)", 100},
                    {"标况瞬时流量替代(m3/h)", 150},
                    {"标况瞬时流量(m3/h)", 127},
                    {"工况瞬时流量(m3/h)", 125},
                    {"燃气温度(℃)", 88},
                    {"燃气绝对压力(KPa)", 118},
                    {"状态字", 70},
                    {"报警字", 70}}},
        LayoutCase{
            "StartStop49", 49, {{"序号", 45}, {"报警时间", 145}, {"标况累积量(m3)", 102}, {"启停标志", 80}}},
        LayoutCase{"AntiCut410", 410, kTamperColumns}, LayoutCase{"AntiRemoval411", 411, kTamperColumns},
        LayoutCase{"NoKind412", 412, {}}, LayoutCase{"NoKind40", 40, {}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// Any length and any bytes give a defined result; rows appear only for results 1 and 4.
// Replies of every length are also tried with a valid CRC so the record walk runs on
// arbitrary contents. Under AddressSanitizer this proves no read outside the reply.
TEST(RecordsV14Robustness, AnyReplyGivesAResultCode)
{
    const Kind* kinds[] = {&kDaily,      &kCurrentHour, &kPrevHour,  &kParamChange,
                           &kAlarmEvent, &kAlarmEvent2, &kStartStop, &kTamper};
    std::mt19937 random(4);
    for (const Kind* kind : kinds) {
        for (size_t length = 0; length <= 260; ++length) {
            for (int trial = 0; trial < 4; ++trial) {
                Bytes reply(length);
                for (uint8_t& b : reply)
                    b = static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random());
                for (bool sealed : {false, true}) {
                    if (sealed && length >= 2)
                        reply = appendCrc(ByteView(reply).first(length - 2));
                    RecordTable table;
                    const int result = kind->decoder(1, reply, table);
                    ASSERT_GE(result, 1);
                    ASSERT_LE(result, 4);
                    if (result == 2 || result == 3) {
                        ASSERT_EQ(table.rowCount(), 0);
                    } else if (result == 1) {
                        ASSERT_EQ(table.rowCount(), static_cast<int>(kind->count));
                    }
                    for (const Cells& row : table.rows())
                        ASSERT_EQ(row.size(), 2 + kind->fields.size());
                }
            }
        }
    }
}

} // namespace
