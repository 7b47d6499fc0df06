// `ql-rs485-cli read` against a simulated meter that misbehaves on purpose, over a
// real pseudo-terminal, in the paced mode and with --fast. Every run must end (the
// process finishes well within the generous timeout of RunCli), keep the rows
// decoded before the fault, and say once what went wrong.
#include "cli_process.h"

#include <algorithm>

namespace {

enum class Mode { Paced, Fast };

// Kind 612 holds five records per block in 199-byte replies; blocks 1 to 5 are
// asked, the meter holds 40 records.
constexpr int kRowsPerBlock = 5;
constexpr int kBlocksAsked = 5;
const std::string kErrorPrefix = "ql-rs485-cli read: ";
const std::string kFailedPrefix = kErrorPrefix + "读取第";

CliResult readWithFault(const char* fault, Mode mode)
{
    SimProcess sim({"--type", "6", "--records", "40", "--line-rate", "--fault", fault});
    if (sim.pty().isEmpty())
        return {-1, "", "ql-rs485-sim did not start"};
    QStringList args = {"read", "--port", sim.pty(), "--kind", "612", "--from", "1", "--to", "5"};
    args += mode == Mode::Fast ? QStringList{"--fast"} : QStringList{"--interval", "100"};
    return runCli(args);
}

size_t rowCount(const CliResult& r)
{
    return linesStartingWith(r.out, "row\t").size();
}

// Block N of "读取第N条数据失败!"; 0 when the line is not there.
int failedBlock(const CliResult& r)
{
    const std::vector<std::string> lines = linesStartingWith(r.err, kFailedPrefix);
    return lines.size() == 1 ? std::atoi(lines[0].c_str() + kFailedPrefix.size()) : 0;
}

// What holds however the run ended: it ended; either every block was read and
// nothing was said, or it failed at block N with the rows of blocks before N kept
// and that failure told exactly once.
void expectConsistentEnd(const CliResult& r)
{
    ASSERT_NE(r.err, "ql-rs485-cli did not finish");
    if (r.exitCode == 0) {
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(rowCount(r), static_cast<size_t>(kBlocksAsked * kRowsPerBlock)) << r.out;
        return;
    }
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const int failed = failedBlock(r);
    ASSERT_GE(failed, 1) << r.err;
    EXPECT_EQ(rowCount(r), static_cast<size_t>((failed - 1) * kRowsPerBlock)) << r.out;
}

struct FaultCase {
    const char* name;
    const char* fault;
    Mode mode;
    // -1: the outcome depends on how the bytes meet the polls (only the
    // consistency above is checked); otherwise the block that fails.
    int failedBlock;
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c)
{
    return out << c.name;
}

class ReadUnderFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ReadUnderFault, EndsKeepingDecodedRowsWithOneMessage)
{
    const FaultCase& c = GetParam();
    const CliResult r = readWithFault(c.fault, c.mode);

    expectConsistentEnd(r);
    if (c.failedBlock > 0) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(failedBlock(r), c.failedBlock) << r.err;
        EXPECT_EQ(linesStartingWith(r.err, kErrorPrefix).size(), 1u) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadUnderFault,
                         ::testing::Values(
                             // The meter never answers: three attempts, then the block's failure.
                             FaultCase{"SilencePaced", "silence", Mode::Paced, 1},
                             FaultCase{"SilenceFast", "silence", Mode::Fast, 1},
                             // Three bytes before a good reply make its length wrong.
                             FaultCase{"GarbageBeforePaced", "garbage-before", Mode::Paced, 1},
                             FaultCase{"GarbageBeforeFast", "garbage-before", Mode::Fast, 1},
                             // Three bytes after it: the paced collection always takes them with the
                             // reply; the fast one may have taken the reply whole before they came.
                             FaultCase{"GarbageAfterPaced", "garbage-after", Mode::Paced, 1},
                             FaultCase{"GarbageAfterFast", "garbage-after", Mode::Fast, -1},
                             // A meter that keeps sending after its reply: more than 500 bytes are no
                             // reply, and the noise never lets a later reply through.
                             FaultCase{"EndlessPaced", "endless", Mode::Paced, 1},
                             FaultCase{"EndlessFast", "endless", Mode::Fast, -1},
                             // 501 bytes, a good reply padded: just over the longest reply taken. The
                             // fast mode takes the good front whole only when a poll ends exactly there.
                             FaultCase{"OversizePaced", "oversize", Mode::Paced, 1},
                             FaultCase{"OversizeFast", "oversize", Mode::Fast, -1},
                             // Another meter's reply, check bytes intact, is not this meter's record.
                             FaultCase{"OtherAddressFast", "other-address", Mode::Fast, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// The other end goes away after serving three blocks: their 15 rows stay, and the
// lost port is told once, before the failed block.
class ReadWhenOtherEndCloses : public ::testing::TestWithParam<Mode> {};

TEST_P(ReadWhenOtherEndCloses, KeepsTheRowsAndTellsThePortErrorOnce)
{
    const CliResult r = readWithFault("close-after=3", GetParam());

    expectConsistentEnd(r);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(rowCount(r), 15u) << r.out;
    const std::vector<std::string> errors = linesStartingWith(r.err, kErrorPrefix);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().rfind(kErrorPrefix + "port error: ", 0), 0u) << r.err;
    EXPECT_EQ(linesStartingWith(r.err, kErrorPrefix + "port error: ").size(), 1u) << r.err;
}

// Replies in three pieces 15 ms apart are joined in both modes: nothing fails.
class ReadSplitReplies : public ::testing::TestWithParam<Mode> {};

TEST_P(ReadSplitReplies, DecodesEveryBlock)
{
    const CliResult r = readWithFault("split", GetParam());

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(rowCount(r), 25u) << r.out;
}

std::string modeName(const ::testing::TestParamInfo<Mode>& info)
{
    return info.param == Mode::Fast ? "Fast" : "Paced";
}

INSTANTIATE_TEST_SUITE_P(Modes, ReadWhenOtherEndCloses, ::testing::Values(Mode::Paced, Mode::Fast), modeName);
INSTANTIATE_TEST_SUITE_P(Modes, ReadSplitReplies, ::testing::Values(Mode::Paced, Mode::Fast), modeName);

} // namespace
