// `ql-rs485-cli read --fast` against the simulated meter on a pseudo-terminal with
// bytes paced at the line rate: the same rows as a paced read, blank slots and
// custom frames end the run the same way, and a reply that arrives in pieces is
// joined. The faults that make it fail are in faults_cli_test.cpp.
#include "cli_process.h"

namespace {

std::vector<std::string> rowLines(const std::string& out)
{
    return linesStartingWith(out, "row\t");
}

std::vector<std::string> rowCaptions(const std::string& out)
{
    std::vector<std::string> captions;
    for (const std::string& line : rowLines(out))
        captions.push_back(splitTabs(line).at(1));
    return captions;
}

std::vector<std::string> numbered(int from, int to)
{
    std::vector<std::string> numbers;
    for (int i = from; i <= to; ++i)
        numbers.push_back(std::to_string(i));
    return numbers;
}

TEST(FastReadCli, GivesTheSameOutputAsAPacedRead)
{
    SimProcess sim({"--type", "6", "--records", "40", "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const QStringList range = {"read", "--port", sim.pty(), "--kind", "612", "--from", "2", "--to", "6"};

    const CliResult paced = runCli(range + QStringList{"--interval", "100"});
    const CliResult fast = runCli(range + QStringList{"--fast"});

    ASSERT_EQ(paced.exitCode, 0) << paced.err;
    EXPECT_EQ(fast.exitCode, 0) << fast.err;
    EXPECT_EQ(fast.err, "");
    EXPECT_EQ(fast.out.rfind("result 1\n", 0), 0u) << fast.out;
    EXPECT_EQ(rowCaptions(fast.out), numbered(6, 30));
    EXPECT_EQ(fast.out, paced.out);
}

struct BlankSlotCase {
    const char* name;
    const char* deviceType;
    const char* kind;
    int records;
    int rows;
};

class FastReadEndsAtBlankSlot : public ::testing::TestWithParam<BlankSlotCase> {};

TEST_P(FastReadEndsAtBlankSlot, WithEveryStoredRecord)
{
    const BlankSlotCase& c = GetParam();
    SimProcess sim({"--type", c.deviceType, "--records", QString::number(c.records), "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult r = runCli({"read", "--port", sim.pty(), "--kind", c.kind, "--fast"});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 4\n", 0), 0u) << r.out;
    EXPECT_EQ(rowCaptions(r.out), numbered(1, c.rows));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FastReadEndsAtBlankSlot,
    ::testing::Values(BlankSlotCase{"Type1RealtimeOneRecordPerBlock", "1", "11", 7, 7},
                      BlankSlotCase{"Type3CustomFramesWithByteSum", "3", "33", 4, 4},
                      // Four records per block: the blank slot lies inside the third block.
                      BlankSlotCase{"Type7BlankSlotInsideABlock", "7", "75", 10, 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FastReadCli, ReplySplitByGapsLongerThanTheSilenceIsWaitedFor)
{
    // 40 ms between the pieces of every reply, far beyond 3.5 character times
    // (4 ms at 9600 baud): the byte count and the kind's length say more is
    // coming, so the pieces are joined rather than cut off at the first gap.
    SimProcess sim({"--type", "6", "--records", "40", "--line-rate", "--fault", "split=40"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult r =
        runCli({"read", "--port", sim.pty(), "--kind", "612", "--from", "1", "--to", "3", "--fast"});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 1\n", 0), 0u) << r.out;
    EXPECT_EQ(rowCaptions(r.out), numbered(1, 15));
}

} // namespace
