// Runs the built ql-rs485-cli as a user would and checks its output and exit status.
#include "codec/codec.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <regex>
#include <string>
#include <sys/wait.h>

namespace {

struct CliResult {
    int exitStatus = -1;
    std::string out;
};

// Runs the program with the given argument text; stderr is discarded so stdout alone
// is compared.
CliResult RunCli(const std::string& arguments)
{
    const std::string command =
        std::string("'") + QL_BIN_DIR + "/ql-rs485-cli' " + arguments + " 2>/dev/null";
    CliResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 512> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

struct FrameCase {
    const char* name;
    const char* arguments;
    std::string expectedFrame; // without the line end
};

std::string SealedText(std::string_view hexWithoutCrc)
{
    return BytesToHexSpaced(AppendCrc(HexBytes(hexWithoutCrc)));
}

class FrameCommand : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameCommand, PrintsFrameAndExitsZero)
{
    const CliResult result = RunCli(GetParam().arguments);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, GetParam().expectedFrame + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cli, FrameCommand,
                         testing::Values(FrameCase{"Kind46LastBlock", "frame --kind 46 --block 60 --addr 1",
                                                   "01 65 09 06 00 00 00 ED 00 00 00 F0 21 D0"},
                                         FrameCase{"Kind712LastBlock",
                                                   "frame --kind 712 --block 100 --addr 1",
                                                   SealedText("01 65 09 0D 00 00 00 C6 00 00 00 C7")},
                                         FrameCase{"DefaultAddress23", "frame --kind 12 --block 3",
                                                   SealedText("17 66 00 65 02 00 03")},
                                         FrameCase{"CustomFrameWithSum", "frame --kind=31 --block=1 --addr=1",
                                                   "55 55 01 28 03 02 00 00 2E"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    const char* arguments;
};

class BadArguments : public testing::TestWithParam<BadCase> {};

TEST_P(BadArguments, ExitTwoWithNothingOnStdout)
{
    const CliResult result = RunCli(GetParam().arguments);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(Cli, BadArguments,
                         testing::Values(BadCase{"NoCommand", ""}, BadCase{"UnknownCommand", "fly"},
                                         BadCase{"UnknownKind", "frame --kind 99 --block 1"},
                                         BadCase{"BlockBeyondCount", "frame --kind 46 --block 61"},
                                         BadCase{"BlockZero", "frame --kind 46 --block 0"},
                                         BadCase{"MissingBlock", "frame --kind 46"},
                                         BadCase{"MissingValue", "frame --kind 46 --block"},
                                         BadCase{"NotANumber", "frame --kind 46 --block 1x"},
                                         BadCase{"AddressZero", "frame --kind 46 --block 1 --addr 0"},
                                         BadCase{"Address248", "frame --kind 46 --block 1 --addr 248"},
                                         BadCase{"UnknownOption", "frame --kind 46 --block 1 --speed 3"},
                                         BadCase{"OptionTwice", "frame --kind 46 --kind 47 --block 1"},
                                         BadCase{"StrayWord", "frame --kind 46 --block 1 extra"},
                                         BadCase{"PortsTakesNoWords", "ports extra"},
                                         BadCase{"DeviceType5WorkbookMissing",
                                                 "frame --kind 51 --block 1 --workbook /nonexistent.xls"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliHelp, ListsCommandsAndPrintsUsage)
{
    const CliResult list = RunCli("--help");
    EXPECT_EQ(list.exitStatus, 0);
    EXPECT_NE(list.out.find("\n  frame "), std::string::npos) << list.out;
    const CliResult usage = RunCli("frame --help");
    EXPECT_EQ(usage.exitStatus, 0);
    EXPECT_EQ(usage.out.rfind("usage: ql-rs485-cli frame --kind K --block B", 0), 0u) << usage.out;
}

// Every executable answers --version with its name and the one product version;
// the window program does so without a display.
TEST(CliVersion, AllThreeExecutablesNameTheSameVersion)
{
    const std::regex line(R"((ql-rs485(-cli|-sim)?) (\d+\.\d+\.\d+)\n)");
    std::string version;
    for (const char* program : {"ql-rs485", "ql-rs485-cli", "ql-rs485-sim"}) {
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '") +
                                    QL_BIN_DIR + "/" + program + "' --version";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_TRUE(pipe);
        std::array<char, 256> buffer{};
        const std::string out(buffer.data(), fread(buffer.data(), 1, buffer.size(), pipe));
        EXPECT_EQ(pclose(pipe), 0) << program;
        std::smatch match;
        ASSERT_TRUE(std::regex_match(out, match, line)) << out;
        EXPECT_EQ(match[1].str(), program);
        if (version.empty())
            version = match[3].str();
        EXPECT_EQ(match[3].str(), version) << program;
    }
}

// `ports` lists whatever this machine has: five TAB-separated fields a line.
TEST(CliPorts, FiveFieldsPerLine)
{
    const CliResult result = RunCli("ports");
    EXPECT_EQ(result.exitStatus, 0);
    const std::regex line(R"(/[^\t\n]+\t[^\t\n]*\t[^\t\n]*\t[^\t\n]*\t([0-9a-f]{4}:[0-9a-f]{4})?\n)");
    for (size_t start = 0; start < result.out.size();) {
        const size_t end = result.out.find('\n', start);
        ASSERT_NE(end, std::string::npos) << result.out;
        EXPECT_TRUE(std::regex_match(result.out.substr(start, end + 1 - start), line)) << result.out;
        start = end + 1;
    }
}

} // namespace
