// `ql-rs485-cli decode`: replies of the simulated meter (built in process)
// through the decoder of their kind, as text.
#include "cli_process.h"
#include "support/built_in_registry.h"

#include "protocol/request_frames.h"
#include "sim/sim_meter.h"

namespace {

// The simulated meter's reply to block `block` of `kind`, as hex text.
QString simReply(int deviceType, int records, int kind, int block)
{
    SimConfig config;
    config.deviceType = deviceType;
    config.records = records;
    SimMeter meter(config);
    const Bytes request = blockRequestFrame(
        kindOf(kind), baseRequestOfKind(kindOf(kind), static_cast<uint8_t>(config.address)), block);
    const std::optional<Bytes> reply = meter.answer(request);
    return reply ? QString::fromStdString(bytesToHex(*reply)) : QString();
}

QString damaged(QString hex, bool dropByte)
{
    if (dropByte)
        return hex.left(hex.size() - 2);
    // Flip the last check digit.
    const QChar last = hex.back();
    hex.back() = last == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    return hex;
}

TEST(DecodeCli, ValidReplyPrintsResultColumnsAndRowCaptionedWithBlock)
{
    const QString reply = simReply(1, 20, 12, 4);
    ASSERT_FALSE(reply.isEmpty());
    const CliResult r = runCli({"decode", "--kind", "12", "--block", "4", reply});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 1\ncolumns\t序号\t日期\t标况累积量(m3)\nrow\t4\t", 0), 0u) << r.out;
    EXPECT_EQ(linesStartingWith(r.out, "row").size(), 1u);
}

TEST(DecodeCli, MultiRecordBlockGivesOneRowPerRecord)
{
    const QString reply = simReply(7, 20, 711, 1);
    ASSERT_FALSE(reply.isEmpty());
    const CliResult r = runCli({"decode", "--kind", "711", reply});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(linesStartingWith(r.out, "row").size(), 5u) << r.out;
}

struct BadReplyCase {
    const char* name;
    bool dropByte;
    const char* result;
};

class DecodeCliBadReply : public testing::TestWithParam<BadReplyCase> {};

TEST_P(DecodeCliBadReply, ReportsResultAndExitsOne)
{
    const QString reply = damaged(simReply(1, 20, 11, 1), GetParam().dropByte);
    const CliResult r = runCli({"decode", "--kind", "11", "--block", "1", reply});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind(std::string("result ") + GetParam().result + "\ncolumns\t", 0), 0u) << r.out;
    EXPECT_TRUE(linesStartingWith(r.out, "row").empty());
}

INSTANTIATE_TEST_SUITE_P(Replies, DecodeCliBadReply,
                         testing::Values(BadReplyCase{"ShortByOneByte", true, "2"},
                                         BadReplyCase{"CheckBytesWrong", false, "3"}),
                         [](const testing::TestParamInfo<BadReplyCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DecodeCli, BlankSlotIsNoRecordAndExitsZero)
{
    const QString reply = simReply(1, 0, 11, 1);
    ASSERT_FALSE(reply.isEmpty());
    const CliResult r = runCli({"decode", "--kind", "11", reply});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 4\n", 0), 0u) << r.out;
    EXPECT_TRUE(linesStartingWith(r.out, "row").empty());
}

TEST(DecodeCli, EmptyReplyIsBadLength)
{
    const CliResult r = runCli({"decode", "--kind", "612"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("result 2\n", 0), 0u) << r.out;
}

} // namespace
