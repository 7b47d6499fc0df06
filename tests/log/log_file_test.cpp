// Saving the log: GBK bytes with CR LF on disk, read back; an existing file is
// replaced only after the new one is complete and never when the save fails.
#include "codec/gbk_text.h"
#include "log/log_file.h"

#include "support/hex.h"
#include "support/temporary_folder.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string gbk(std::string_view hex)
{
    const Bytes bytes = hexBytes(hex);
    return std::string(bytes.begin(), bytes.end());
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

const LogMessage kQuestion{"文件已经存在，是否覆盖原文件？", "信息提示", LogMessageKind::Question};
const LogMessage kCannotOverwrite{"该文件不能被覆盖，请重新在试一次。", "提示信息",
                                  LogMessageKind::Information};
const LogMessage kSaveFailed{"保存有误，请重新试一次。", "警告信息", LogMessageKind::Warning};
const LogMessage kSaved{"日志文件保存成功！", "信息提示", LogMessageKind::Information};

// Outcome of a save as a small exit code for the child process.
[[maybe_unused]] int outcomeCode(const LogSaveResult& result)
{
    if (result.messages.size() != 1)
        return 10;
    if (result.messages[0] == kSaved)
        return result.saved ? 0 : 11;
    if (result.messages[0] == kCannotOverwrite)
        return 1;
    if (result.messages[0] == kSaveFailed)
        return 2;
    return 12;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = makeTemporaryFolder("ql-log-test");
        ASSERT_FALSE(m_folder.empty());
        fs::permissions(m_folder, fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
        m_log.appendLine("===========Corvex 实时记录500组===========");
        m_log.appendLine("【发送】01 03 00 00 00 10 44 06");
        m_log.appendLine("【接收】17 03 02 00 01");
    }
    void TearDown() override
    {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::permissions(m_folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_folder, ignored);
    }

    LogSaveResult save(const fs::path& path, bool answer)
    {
        return saveLogFile(m_log, path.string(), [this, answer](const LogMessage& question) {
            m_questions.push_back(question);
            return answer;
        });
    }

    fs::path m_folder;
    LogModel m_log;
    std::vector<LogMessage> m_questions;
};

TEST_F(LogFileTest, WritesGbkLinesWithCrLf)
{
    const fs::path path = m_folder / "log.txt";
    const LogSaveResult result = save(path, true);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.messages, std::vector<LogMessage>{kSaved});
    EXPECT_TRUE(m_questions.empty());

    const std::string expected =
        gbk("3D3D3D3D3D3D3D3D3D3D3D 43 6F 72 76 65 78 20 CAB5 CAB1 BCC7 C2BC 35 30 30 D7E9"
            "3D3D3D3D3D3D3D3D3D3D3D 0D 0A") +
        gbk("A1BE B7A2 CBCD A1BF") + "01 03 00 00 00 10 44 06\r\n" + gbk("A1BE BDD3 CAD5 A1BF") +
        "17 03 02 00 01\r\n";
    EXPECT_EQ(readFile(path), expected);
}

TEST_F(LogFileTest, CancelledDialogDoesNothing)
{
    const LogSaveResult result = save("", true);
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_TRUE(m_questions.empty());
}

TEST_F(LogFileTest, RefusedOverwriteLeavesFileUntouched)
{
    const fs::path path = m_folder / "old.TXT";
    writeFile(path, "old content");
    const LogSaveResult result = save(path, false);
    EXPECT_EQ(m_questions, std::vector<LogMessage>{kQuestion});
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(readFile(path), "old content");
}

TEST_F(LogFileTest, AcceptedOverwriteReplacesFile)
{
    const fs::path path = m_folder / "old.txt";
    writeFile(path, "a much longer old content than the log itself has in it, so truncation shows " +
                        std::string(500, 'x'));
    const LogSaveResult result = save(path, true);
    EXPECT_EQ(m_questions, std::vector<LogMessage>{kQuestion});
    EXPECT_EQ(result.messages, std::vector<LogMessage>{kSaved});
    EXPECT_EQ(readFile(path), encodeLogText(m_log.lines()));
    // Nothing but the saved file is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

TEST_F(LogFileTest, AnotherExtensionIsKeptAndNoneGetsTxt)
{
    const fs::path chosen = m_folder / "frames.log";
    const fs::path bystander = m_folder / "default.txt";
    writeFile(chosen, "old frames");
    writeFile(bystander, "someone else's file");
    const LogSaveResult result = save(chosen, true);
    EXPECT_EQ(m_questions, std::vector<LogMessage>{kQuestion});
    EXPECT_EQ(result.messages, std::vector<LogMessage>{kSaved});
    EXPECT_EQ(readFile(chosen), encodeLogText(m_log.lines()));
    EXPECT_EQ(readFile(bystander), "someone else's file");

    // A name typed without any extension gets ".txt".
    EXPECT_TRUE(save(m_folder / "log1", true).saved);
    EXPECT_FALSE(fs::exists(m_folder / "log1"));
    EXPECT_EQ(readFile(m_folder / "log1.txt"), encodeLogText(m_log.lines()));
}

TEST_F(LogFileTest, DirectoryOfThatNameCannotBeOverwritten)
{
    const fs::path path = m_folder / "taken.txt";
    fs::create_directory(path);
    const LogSaveResult result = save(path, true);
    EXPECT_EQ(result.messages, std::vector<LogMessage>{kCannotOverwrite});
    EXPECT_TRUE(fs::is_directory(path));
}

#ifndef _WIN32
// Permission bits and an unprivileged child process are POSIX only.
TEST_F(LogFileTest, ReadOnlyFileIsNotOverwritten)
{
    const fs::path path = m_folder / "kept.txt";
    writeFile(path, "protected");
    // The folder may be written; only the file itself is read-only.
    fs::permissions(m_folder, fs::perms::all);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const int outcome = runUnprivileged(
        [&] { return outcomeCode(saveLogFile(m_log, path.string(), [](auto&) { return true; })); });
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(readFile(path), "protected");
}

TEST_F(LogFileTest, ExistingFileInReadOnlyFolderStaysIntact)
{
    const fs::path path = m_folder / "kept.txt";
    writeFile(path, "old log");
    fs::permissions(path, fs::perms::all);
    fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const int outcome = runUnprivileged(
        [&] { return outcomeCode(saveLogFile(m_log, path.string(), [](auto&) { return true; })); });
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(readFile(path), "old log");
}

TEST_F(LogFileTest, WriteFailureInReadOnlyFolderIsReported)
{
    const fs::path path = m_folder / "new.txt";
    fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const int outcome = runUnprivileged(
        [&] { return outcomeCode(saveLogFile(m_log, path.string(), [](auto&) { return true; })); });
    EXPECT_EQ(outcome, 2);
    EXPECT_FALSE(fs::exists(path));
}

#endif

TEST_F(LogFileTest, MissingFolderIsAFailedWrite)
{
    const LogSaveResult result = save(m_folder / "no-such-folder" / "log.txt", true);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.messages, std::vector<LogMessage>{kSaveFailed});
}

TEST_F(LogFileTest, EmptyLogGivesEmptyFile)
{
    m_log.clear();
    const fs::path path = m_folder / "empty.txt";
    EXPECT_TRUE(save(path, true).saved);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST(ProposedLogFileNameTest, ProgramFolderThenPattern)
{
    EXPECT_EQ(proposedLogFileName("/opt/ql/bin/"), "/opt/ql/bin/*.txt");
    EXPECT_EQ(proposedLogFileName("/opt/ql/bin"), "/opt/ql/bin/*.txt");
}

struct GbkRow {
    const char* name;
    const char* utf8;
    const char* gbkHex; // expected bytes; ASCII spelled as hex too
};

class GbkConversionTest : public ::testing::TestWithParam<GbkRow> {};

TEST_P(GbkConversionTest, ConvertsOrReplaces)
{
    EXPECT_EQ(utf8ToGbk(GetParam().utf8), gbk(GetParam().gbkHex));
}

INSTANTIATE_TEST_SUITE_P(Rows, GbkConversionTest,
                         ::testing::Values(GbkRow{"SendMarker", "【发送】", "A1BE B7A2 CBCD A1BF"},
                                           GbkRow{"ReceiveMarker", "【接收】", "A1BE BDD3 CAD5 A1BF"},
                                           GbkRow{"UnitSigns", "℃ m³", "A1E6 20 6D 3F"},
                                           GbkRow{"EmojiBecomesOneMark", "a😀b", "61 3F 62"},
                                           GbkRow{"SharpSBecomesOneMark", "ßx", "3F 78"},
                                           GbkRow{"BrokenSequenceKeepsFollowingText",
                                                  "\xE4"
                                                  "ab",
                                                  "3F 61 62"},
                                           GbkRow{"StrayContinuationByte",
                                                  "a\x80"
                                                  "b",
                                                  "61 3F 62"},
                                           GbkRow{"TruncatedAtEnd", "ok\xE5\x8F", "6F 6B 3F"},
                                           GbkRow{"Empty", "", ""}),
                         [](const ::testing::TestParamInfo<GbkRow>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
