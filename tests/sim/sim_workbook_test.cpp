// The simulated meter of device type 5 serves the register map of the protocol
// workbook: every record section is read back by the reader's own frames and
// decoders, and the parameter block follows the sheet's parameter rows.
#include "catalogue/catalogue.h"
#include "decoding/kind_table.h"
#include "decoding/protocol_sheet.h"
#include "export/workbook_reader.h"
#include "protocol/request_frames.h"
#include "sim/sim_meter.h"
#include "sim/sim_workbook.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint8_t kAddress = 23;
const char kShippedWorkbook[] = QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls";

SimConfig TypedConfig(int records)
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
    SimConfig config = TypedConfig(3);
    const SimWorkbookLoad load = LoadSimWorkbook(kShippedWorkbook, config);
    ASSERT_TRUE(load.Ok()) << load.error;
    EXPECT_TRUE(load.warnings.empty());

    const WorkbookReadResult read = ReadFirstWorksheet(kShippedWorkbook);
    ASSERT_TRUE(read.Ok());
    const ProtocolLoadResult sheet = LoadProtocolSection(kind, read.cells.Reader());
    ASSERT_TRUE(sheet.Ok()) << sheet.error;
    const size_t section = static_cast<size_t>(kind - kFirstTypedKind);
    const Bytes base =
        BaseRequestOfKind(kind, kAddress, {sheet.sheet.recordStart[section], sheet.sheet.recordLength[section]});
    const DecodeContext context{0, &sheet.sheet.fieldTypes, &sheet.sheet.fieldDigits};

    SimMeter meter(config);
    RecordTable table;
    table.SetColumns(sheet.sheet.columns);
    for (int block = 1; block <= 3; ++block) {
        const std::optional<Bytes> reply = meter.Respond(BlockRequestFrame(kind, base, block));
        ASSERT_TRUE(reply) << "block " << block;
        EXPECT_EQ(DecodeKindReply(kind, {block, context.fieldTypes, context.fieldDigits}, *reply, table),
                  DecodeResult::Decoded);
    }
    ASSERT_EQ(table.RowCount(), 3);
    for (const std::vector<std::string>& row : table.Rows()) {
        ASSERT_EQ(row.size(), sheet.sheet.columns.size());
        for (const std::string& cell : row)
            EXPECT_FALSE(cell.empty());
    }
    // Records follow each other in time: the stamps of the first two rows differ.
    EXPECT_NE(table.Rows()[0][1], table.Rows()[1][1]);

    const std::optional<Bytes> blank = meter.Respond(BlockRequestFrame(kind, base, 4));
    ASSERT_TRUE(blank);
    EXPECT_EQ(DecodeKindReply(kind, {4, context.fieldTypes, context.fieldDigits}, *blank, table),
              DecodeResult::Stop);
    // Past the kind's last block the meter has no such register window.
    EXPECT_FALSE(meter.Respond(BlockRequestFrame(kind, base, BlockCount(kind) + 1)));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShippedSection, testing::Values(51, 52, 53, 54),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

TEST(SimWorkbook, ParameterBlockFollowsTheSheetRows)
{
    SimConfig config = TypedConfig(3);
    config.address = 9;
    ASSERT_TRUE(LoadSimWorkbook(kShippedWorkbook, config).Ok());
    ASSERT_EQ(config.typedParamBlock.size(), 76u);

    SimMeter meter(config);
    const std::optional<Bytes> reply = meter.Respond(AppendCrc(Bytes{9, 0x03, 0x0F, 0xA1, 0x00, 0x26}));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 81u);
    // Serial number text in its 8 registers, then the clock (DT2) in BCD.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply->data() + 3), 12), "QL2024000123");
    EXPECT_EQ(BcdToDateTime(ByteView(*reply).subspan(3 + 16, 6)).substr(0, 2), "20");
    // The address (BYTE) is the block's last register.
    EXPECT_EQ((*reply)[3 + 74], 0x00);
    EXPECT_EQ((*reply)[3 + 75], 9);
}

TEST(SimWorkbook, SheetErrorsLeaveTheConfigUntouched)
{
    SimConfig config = TypedConfig(3);
    const SimWorkbookLoad missing = LoadSimWorkbook("/nonexistent/VarnelModbus.xls", config);
    EXPECT_FALSE(missing.Ok());
    EXPECT_NE(missing.error.find("/nonexistent/VarnelModbus.xls"), std::string::npos) << missing.error;

    // No marker row: the parameter block never ends.
    SheetCells cells;
    cells.Set(2, 1, "SerialNo");
    cells.Set(2, 9, "S16");
    cells.Set(2, 10, "8");
    cells.Set(2, 8, "0");
    const SimWorkbookLoad broken = FillTypedFromSheet(cells.Reader(), config);
    EXPECT_FALSE(broken.Ok());
    EXPECT_TRUE(config.typedSections.empty());
    EXPECT_TRUE(config.typedParamBlock.empty());
}

} // namespace
