// Runs the built ql-rs485-cli as a user would and checks its output and exit status.
#include "codec/codec.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct CliResult {
    int exitStatus = -1;
    std::string out;
};

// Runs the program with the given argument text; stderr is discarded so stdout alone
// is compared.
CliResult runCli(const std::string& arguments)
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

std::string sealedText(std::string_view hexWithoutCrc)
{
    return bytesToHexSpaced(appendCrc(hexBytes(hexWithoutCrc)));
}

class FrameCommand : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameCommand, PrintsFrameAndExitsZero)
{
    const CliResult result = runCli(GetParam().arguments);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, GetParam().expectedFrame + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cli, FrameCommand,
                         testing::Values(FrameCase{"Kind46LastBlock", "frame --kind 46 --block 60 --addr 1",
                                                   "01 65 09 06 00 00 00 ED 00 00 00 F0 21 D0"},
                                         FrameCase{"Kind712LastBlock",
                                                   "frame --kind 712 --block 100 --addr 1",
                                                   sealedText("01 65 09 0D 00 00 00 C6 00 00 00 C7")},
                                         FrameCase{"DefaultAddress23", "frame --kind 12 --block 3",
                                                   sealedText("17 66 00 65 02 00 03")},
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
    const CliResult result = runCli(GetParam().arguments);
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
    const CliResult list = runCli("--help");
    EXPECT_EQ(list.exitStatus, 0);
    EXPECT_NE(list.out.find("\n  frame "), std::string::npos) << list.out;
    const CliResult usage = runCli("frame --help");
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

// Help works without a display and names the settings file in force.
TEST(CliHelp, WindowProgramHelpNeedsNoDisplay)
{
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "
                                            "XDG_CONFIG_HOME=/nonexistent-ql-config '") +
                                QL_BIN_DIR + "/ql-rs485' --help";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string out;
    std::array<char, 4096> buffer{};
    for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        out.append(buffer.data(), n);
    EXPECT_EQ(pclose(pipe), 0) << out;
    EXPECT_NE(out.find("--settings-dir"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string("Settings file: ") + QL_BIN_DIR + "/QL_EVC.ini\n"), std::string::npos)
        << out;
}

// The text a program prints for `arguments`, both streams, without a display.
std::string programOutput(const std::string& program, const std::string& arguments)
{
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '") +
                                QL_BIN_DIR + "/" + program + "' " + arguments + " 2>&1";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer{};
    for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        out.append(buffer.data(), n);
    pclose(pipe);
    return out;
}

// Every option and address form a program's help names is in its man page.
TEST(ManPages, NameEveryOptionOfTheHelp)
{
    const struct {
        const char* program;
        std::vector<std::string> helps;
    } pages[] = {
        {"ql-rs485", {"--help"}},
        {"ql-rs485-sim", {"--help"}},
        {"ql-rs485-cli",
         {"--help", "decode --help", "dump --help", "frame --help", "identify --help", "modbus --help",
          "params --help", "ports --help", "read --help", "scan --help"}},
    };
    const std::regex token(R"(--[a-z][a-z0-9-]*|\b[a-z0-9]+://)");
    for (const auto& page : pages) {
        std::ifstream in(std::string(QL_SOURCE_DIR "/packaging/man/") + page.program + ".1.in");
        ASSERT_TRUE(in) << page.program;
        std::string man((std::istreambuf_iterator<char>(in)), {});
        man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
        for (const std::string& help : page.helps) {
            const std::string out = programOutput(page.program, help);
            ASSERT_FALSE(out.empty()) << page.program << " " << help;
            for (std::sregex_iterator it(out.begin(), out.end(), token), end; it != end; ++it)
                EXPECT_NE(man.find(it->str()), std::string::npos)
                    << page.program << ".1 lacks " << it->str() << " (from " << help << ")";
        }
    }
}

// `ports` lists whatever this machine has: five TAB-separated fields a line.
TEST(CliPorts, FiveFieldsPerLine)
{
    const CliResult result = runCli("ports");
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
