// The simulated meter of device type 5 serves the register map of the protocol
// workbook: every record section is read back by the reader's own frames and
// decoders, and the parameter block follows the sheet's parameter rows.
#include "catalogue/catalogue.h"
#include "decoding/protocol_sheet.h"
#include "export/workbook_reader.h"
#include "protocol/request_frames.h"
#include "sim/sim_meter.h"
#include "sim/sim_workbook.h"
#include "support/built_in_registry.h"
#include "support/mistyped_cells.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

constexpr uint8_t kAddress = 23;
const char kShippedWorkbook[] = QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls";

SimConfig typedConfig(int records)
{
    SimConfig config;
    config.deviceType = 5;
    config.records = records;
    return config;
}

class ShippedSection : public testing::TestWithParam<int> {};

TEST_P(ShippedSection, StoredRecordsDecodeInEveryColumnThenBlankEndsTheRun)
{
    const int kind = GetParam();
    SimConfig config = typedConfig(3);
    const SimWorkbookLoad load = loadSimWorkbook(kShippedWorkbook, config);
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_TRUE(load.warnings.empty());

    const WorkbookReadResult read = readFirstWorksheet(kShippedWorkbook);
    ASSERT_TRUE(read.ok());
    const size_t section = static_cast<size_t>(kind - 51);
    const ProtocolLoadResult sheet = loadProtocolSection(static_cast<int>(section), read.cells.reader());
    ASSERT_TRUE(sheet.ok()) << sheet.error;
    const Bytes base = baseRequestOfKind(
        kindOf(kind), kAddress, {sheet.sheet.recordStart[section], sheet.sheet.recordLength[section]});
    const DecodeContext context{0, &sheet.sheet.fieldTypes, &sheet.sheet.fieldDigits};

    SimMeter meter(config);
    RecordTable table;
    table.setColumns(sheet.sheet.columns);
    for (int block = 1; block <= 3; ++block) {
        const std::optional<Bytes> reply = meter.respond(blockRequestFrame(kindOf(kind), base, block));
        ASSERT_TRUE(reply) << "block " << block;
        EXPECT_EQ(
            decodeKindReply(builtIn(), kind, {block, context.fieldTypes, context.fieldDigits}, *reply, table),
            DecodeResult::Decoded);
    }
    ASSERT_EQ(table.rowCount(), 3);
    // Each field holds the quantity its caption names (first record's values).
    const std::map<std::string, std::string> kFirstRecord = {
        {"标况流量(m3/h)", "30.00"},    {"工况流量(m3/h)", "32.00"},   {"温度(℃)", "15.25"},
        {"平均温度(℃)", "15.25"},       {"压力(kPa)", "101.250"},      {"平均压力(kPa)", "101.250"},
        {"标况累积量(m3)", "10000.12"}, {"工况累积量(m3)", "10500.57"}};
    for (size_t column = 0; column < sheet.sheet.columns.size(); ++column) {
        const auto expected = kFirstRecord.find(sheet.sheet.columns[column].caption);
        if (expected != kFirstRecord.end()) {
            EXPECT_EQ(table.rows()[0][column], expected->second) << expected->first;
        }
    }
    for (const std::vector<std::string>& row : table.rows()) {
        ASSERT_EQ(row.size(), sheet.sheet.columns.size());
        for (const std::string& cell : row)
            EXPECT_FALSE(cell.empty());
    }
    EXPECT_EQ(mistypedCells(table), "");
    // Records follow each other in time: the stamps of the first two rows differ.
    EXPECT_NE(table.rows()[0][1], table.rows()[1][1]);

    const std::optional<Bytes> blank = meter.respond(blockRequestFrame(kindOf(kind), base, 4));
    ASSERT_TRUE(blank);
    EXPECT_EQ(decodeKindReply(builtIn(), kind, {4, context.fieldTypes, context.fieldDigits}, *blank, table),
              DecodeResult::Stop);
    // Past the kind's last block the meter has no such register window.
    EXPECT_FALSE(meter.respond(blockRequestFrame(kindOf(kind), base, blockCountOf(builtIn(), kind) + 1)));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShippedSection, testing::Values(51, 52, 53, 54),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

// Data offsets of the shipped sheet's parameter block.
constexpr size_t kClockAt = 16;
constexpr size_t kStdVolumeAt = 22;
constexpr size_t kStdFlowAt = 38;
constexpr size_t kAlarmWordAt = 66;

TEST(SimWorkbook, ParameterBlockFollowsTheSheetRowsAndRuns)
{
    SimConfig config = typedConfig(3);
    config.address = 9;
    ASSERT_TRUE(loadSimWorkbook(kShippedWorkbook, config).ok());
    SimConfig alarmed = config;
    alarmed.faults = {"alarm"};

    SimMeter meter(config);
    const Bytes request = appendCrc(Bytes{9, 0x03, 0x0F, 0xA1, 0x00, 0x26});
    const std::optional<Bytes> reply = meter.respond(request);
    const std::optional<Bytes> later = meter.respond(request);
    const std::optional<Bytes> alarm = SimMeter(alarmed).respond(request);
    ASSERT_TRUE(reply && later && alarm);
    ASSERT_EQ(reply->size(), 81u);
    const ByteView data = ByteView(*reply).subspan(3, 76);
    const ByteView laterData = ByteView(*later).subspan(3, 76);
    // Serial number text in its 8 registers, then the clock (DT2) in BCD.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), 12), "QL2024000123");
    EXPECT_EQ(bcdToDateTime(data.subspan(kClockAt, 6)), "2024-03-15 10:30:00");
    EXPECT_FLOAT_EQ(readSingle(data.subspan(kStdFlowAt, 4)), 33.5f);
    // The address (BYTE) is the block's last register.
    EXPECT_EQ(data[74], 0x00);
    EXPECT_EQ(data[75], 9);
    // The meter runs between two answers: its clock and volume move on.
    EXPECT_EQ(bcdToDateTime(laterData.subspan(kClockAt, 6)), "2024-03-15 10:30:05");
    EXPECT_GT(readDouble(laterData.subspan(kStdVolumeAt, 8)), readDouble(data.subspan(kStdVolumeAt, 8)));
    // The fault "alarm" shows in the alarm word (S8).
    EXPECT_EQ(readUInt32(data.subspan(kAlarmWordAt, 4)), 0u);
    EXPECT_NE(readUInt32(ByteView(*alarm).subspan(3 + kAlarmWordAt, 4)), 0u);
}

TEST(SimWorkbook, SheetErrorsLeaveTheConfigUntouched)
{
    SimConfig config = typedConfig(3);
    const SimWorkbookLoad missing = loadSimWorkbook("/nonexistent/VarnelModbus.xls", config);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("/nonexistent/VarnelModbus.xls"), std::string::npos) << missing.error;

    // No marker row: the parameter block never ends.
    SheetCells cells;
    cells.set(2, 1, "SerialNo");
    cells.set(2, 9, "S16");
    cells.set(2, 10, "8");
    cells.set(2, 8, "0");
    const SimWorkbookLoad broken = fillTypedFromSheet(cells.reader(), config);
    EXPECT_FALSE(broken.ok());
    EXPECT_TRUE(config.typedSections.empty());
    EXPECT_TRUE(config.typedParams.empty());
}

} // namespace
