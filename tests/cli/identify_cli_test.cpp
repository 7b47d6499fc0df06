// `ql-rs485-cli identify` over a pseudo-terminal.
#include "cli_process.h"

namespace {

struct IdentifyCliCase {
    const char* name;
    const char* deviceType;
    const char* printed;
};

class IdentifyCli : public testing::TestWithParam<IdentifyCliCase> {};

TEST_P(IdentifyCli, PrintsTheDeviceTypeThatAnswers)
{
    const IdentifyCliCase& c = GetParam();
    SimProcess sim({"--type", c.deviceType, "--addr", "7", "--line-rate"});
    ASSERT_FALSE(sim.Pty().isEmpty());
    const CliResult r = RunCli({"identify", "--port", sim.Pty(), "--addr", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string(c.printed) + "\n");
}

// Type 5 answers the first probe, type 2 the second with its follow-up.
INSTANTIATE_TEST_SUITE_P(Types, IdentifyCli,
                         testing::Values(IdentifyCliCase{"Type5", "5", "5"},
                                         IdentifyCliCase{"Type2", "2", "2"}),
                         [](const testing::TestParamInfo<IdentifyCliCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(IdentifyCli, MeterAtOtherAddressIsNotFound)
{
    SimProcess sim({"--type", "5", "--addr", "7"});
    ASSERT_FALSE(sim.Pty().isEmpty());
    const CliResult r = RunCli({"identify", "--port", sim.Pty(), "--addr", "8"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "0\n");
}

TEST(IdentifyCli, BadAddressIsAnArgumentError)
{
    const CliResult r = RunCli({"identify", "--port", "/dev/null", "--addr", "248"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.empty());
}

} // namespace
