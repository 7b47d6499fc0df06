// The settings file on disk: defaults, ordinals, the file read back after
// writing, hand-edited and garbled files, and the per-user folder taking over
// when the program folder cannot be written.
#include "settings/settings_file.h"

#include "support/temporary_folder.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

constexpr fs::perms kReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = makeTemporaryFolder("ql-settings-test");
        ASSERT_FALSE(m_root.empty());
        // Open to everyone so the unprivileged child can create the user folder.
        fs::permissions(m_root, fs::perms::all);
        m_program = m_root / "bin";
        m_user = m_root / "home" / "config" / "ql";
        fs::create_directories(m_program);
        fs::create_directories(m_root / "home");
        fs::permissions(m_root / "home", fs::perms::all);
    }
    void TearDown() override
    {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_root, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_root, ignored);
    }

    SettingsFile storedSettings() const
    {
        return SettingsFile(QString::fromStdString(m_program.string()),
                            QString::fromStdString(m_user.string()));
    }
    fs::path programFile() const { return m_program / "QL_EVC.ini"; }
    fs::path userFile() const { return m_user / "QL_EVC.ini"; }

    fs::path m_root;
    fs::path m_program;
    fs::path m_user;
};

TEST_F(SettingsFileTest, MissingFileGivesDefaults)
{
    const SettingsFile settings = storedSettings();
    EXPECT_EQ(settings.readPort(), PortSettings{});
    EXPECT_EQ(settings.readPort().comPort, "COM1");
    EXPECT_EQ(settings.readPort().baudRate, 7);
    EXPECT_EQ(settings.readPort().dataBits, 3);
    EXPECT_EQ(settings.readPort().stopBits, 0);
    EXPECT_EQ(settings.readPort().parity, 1);
    EXPECT_EQ(settings.readAddress(), 23);
    EXPECT_EQ(settings.readTimerSec(), 5);
    EXPECT_EQ(settings.readTemplateFile(), "VarnelModbus.xls");
    // Qt names files with "/" and Windows with "\\": the same file either way.
    EXPECT_EQ(fs::path(settings.templatePath().toStdWString()).make_preferred(),
              (m_program / "Excel" / "VarnelModbus.xls").make_preferred());
}

TEST_F(SettingsFileTest, WrittenValuesReadBackInOrder)
{
    SettingsFile settings = storedSettings();
    const PortSettings port{"/dev/ttyUSB1", 9, 2, 2, 0};
    ASSERT_EQ(settings.writePortAndAddress(port, 100), SettingsFile::WriteResult::ProgramFolder);
    EXPECT_EQ(readFile(programFile()), "[Port]\r\nComPort=/dev/ttyUSB1\r\nBaudRate=9\r\nDataBits=2\r\n"
                                       "StopBits=2\r\nParity=0\r\n\r\n[address]\r\naddr=100\r\n");
    EXPECT_EQ(settings.readPort(), port);
    EXPECT_EQ(settings.readAddress(), 100);
    EXPECT_EQ(settings.readTimerSec(), 5);

    ASSERT_EQ(settings.writeTimerSec(60), SettingsFile::WriteResult::ProgramFolder);
    EXPECT_EQ(storedSettings().readTimerSec(), 60);
    EXPECT_EQ(storedSettings().readPort(), port);
    EXPECT_FALSE(fs::exists(m_user));

    // Echo removal: written once on, so that turning it off again sticks.
    PortSettings echoing = port;
    echoing.echo = true;
    ASSERT_EQ(settings.writePortAndAddress(echoing, 100), SettingsFile::WriteResult::ProgramFolder);
    EXPECT_EQ(storedSettings().readPort(), echoing);
    ASSERT_EQ(settings.writePortAndAddress(port, 100), SettingsFile::WriteResult::ProgramFolder);
    EXPECT_NE(readFile(programFile()).find("Parity=0\r\nEcho=0\r\n"), std::string::npos);
    EXPECT_EQ(storedSettings().readPort(), port);
}

TEST_F(SettingsFileTest, HandWrittenFileIsReadWithoutRegardToCaseAndKeptOnWriting)
{
    writeFile(programFile(), "[PORT]\ncomport=COM4\nbaudrate=9\nPARITY=0\n\n[Address]\nADDR=5\n\n"
                             "[config]\nfile=Quosta.xls\n[timer]\nSEC=30\n");
    SettingsFile settings = storedSettings();
    EXPECT_EQ(settings.readPort(), (PortSettings{"COM4", 9, 3, 0, 0}));
    EXPECT_EQ(settings.readAddress(), 5);
    EXPECT_EQ(settings.readTemplateFile(), "Quosta.xls");
    EXPECT_EQ(settings.readTimerSec(), 30);

    ASSERT_EQ(settings.writePortAndAddress(PortSettings{"COM5", 7, 3, 0, 1}, 6),
              SettingsFile::WriteResult::ProgramFolder);
    EXPECT_EQ(readFile(programFile()),
              "[PORT]\r\nComPort=COM5\r\nBaudRate=7\r\nParity=1\r\nDataBits=3\r\nStopBits=0\r\n\r\n"
              "[Address]\r\naddr=6\r\n\r\n[config]\r\nfile=Quosta.xls\r\n[timer]\r\nSEC=30\r\n");
}

struct GarbledRow {
    const char* name;
    const char* text;
};

class GarbledSettingsTest : public SettingsFileTest, public ::testing::WithParamInterface<GarbledRow> {};

// Unreadable integers and ordinals outside their enumeration give the default.
TEST_P(GarbledSettingsTest, BadValuesGiveDefaults)
{
    writeFile(programFile(), GetParam().text);
    const SettingsFile settings = storedSettings();
    const PortSettings port = settings.readPort();
    EXPECT_EQ(port.baudRate, 7);
    EXPECT_EQ(port.dataBits, 3);
    EXPECT_EQ(port.stopBits, 0);
    EXPECT_EQ(port.parity, 1);
    EXPECT_EQ(settings.readAddress(), 23);
    EXPECT_EQ(settings.readTimerSec(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GarbledSettingsTest,
    ::testing::Values(GarbledRow{"Letters", "[Port]\nBaudRate=abc\nDataBits=eight\nStopBits=one\nParity=odd\n"
                                            "[address]\naddr=x23\n[Timer]\nSec=5s\n"},
                      GarbledRow{"OutOfRange", "[Port]\nBaudRate=16\nDataBits=4\nStopBits=3\nParity=5\n"
                                               "[address]\naddr=248\n"},
                      GarbledRow{
                          "Negative",
                          "[Port]\nBaudRate=-1\nDataBits=-1\nStopBits=-1\nParity=-1\n[address]\naddr=0\n"},
                      GarbledRow{"Empty", "[Port]\nBaudRate=\nDataBits=\n[address]\naddr=\n[Timer]\nSec=\n"},
                      GarbledRow{"Overflow", "[Port]\nBaudRate=4294967303\n[address]\naddr=99999999999999\n"},
                      GarbledRow{"Binary", "\x01\xFF\xFE[\x80\x81=\x00\x00garbage\n]]]==\n\xE4\xB8"}),
    [](const ::testing::TestParamInfo<GarbledRow>& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, OrdinalsAreStoredAsSuch)
{
    writeFile(programFile(), "[Port]\r\nBaudRate=9\r\nDataBits=0\r\nStopBits=2\r\nParity=0\r\n"
                             "[address]\r\naddr=247\r\n");
    const PortSettings port = storedSettings().readPort();
    EXPECT_EQ(port.baudRate, 9); // 19200 baud
    EXPECT_EQ(port.dataBits, 0); // 5 bits
    EXPECT_EQ(port.stopBits, 2); // 2 stop bits
    EXPECT_EQ(port.parity, 0);   // none
    EXPECT_EQ(storedSettings().readAddress(), 247);
}

TEST_F(SettingsFileTest, GbkFileFromAnOlderProgramIsConverted)
{
    // 参数.xls in GBK
    writeFile(programFile(), "[Config]\r\nFile=\xB2\xCE\xCA\xFD.xls\r\n");
    EXPECT_EQ(storedSettings().readTemplateFile(), QStringLiteral("参数.xls"));
}

#ifndef _WIN32
// Permission bits and an unprivileged child process are POSIX only.
TEST_F(SettingsFileTest, UnwritableProgramFolderFallsBackToUserFolder)
{
    writeFile(programFile(), "[Config]\r\nFile=Quosta.xls\r\n");
    fs::permissions(m_program, kReadOnlyFolder);
    const PortSettings port{"ttyUSB0", 10, 3, 0, 2};
    const int firstWrite = runUnprivileged([&] {
        SettingsFile settings = storedSettings();
        return int(settings.writePortAndAddress(port, 42));
    });
    ASSERT_EQ(firstWrite, int(SettingsFile::WriteResult::UserFolder));
    EXPECT_EQ(readFile(programFile()), "[Config]\r\nFile=Quosta.xls\r\n");
    ASSERT_TRUE(fs::exists(userFile()));

    // The next run reads the per-user copy, template name included.
    EXPECT_EQ(storedSettings().readFilePath().toStdString(), userFile().string());
    EXPECT_EQ(storedSettings().readPort(), port);
    EXPECT_EQ(storedSettings().readAddress(), 42);
    EXPECT_EQ(storedSettings().readTemplateFile(), "Quosta.xls");

    const int secondWrite = runUnprivileged([&] {
        SettingsFile settings = storedSettings();
        return int(settings.writeTimerSec(9));
    });
    ASSERT_EQ(secondWrite, int(SettingsFile::WriteResult::UserFolder));
    EXPECT_EQ(storedSettings().readTimerSec(), 9);
    EXPECT_EQ(storedSettings().readAddress(), 42);

    // Once the program folder can be written again it holds the only copy.
    fs::permissions(m_program, fs::perms::all);
    SettingsFile settings = storedSettings();
    ASSERT_EQ(settings.writePortAndAddress(port, 43), SettingsFile::WriteResult::ProgramFolder);
    EXPECT_FALSE(fs::exists(userFile()));
    EXPECT_EQ(storedSettings().readAddress(), 43);
    EXPECT_EQ(storedSettings().readTimerSec(), 9);
    EXPECT_EQ(storedSettings().readTemplateFile(), "Quosta.xls");
}

TEST_F(SettingsFileTest, ReadOnlySettingsFileIsNotReplaced)
{
    writeFile(programFile(), "[address]\r\naddr=12\r\n");
    fs::permissions(m_program, fs::perms::all);
    fs::permissions(programFile(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const int result = runUnprivileged([&] {
        SettingsFile settings = storedSettings();
        return int(settings.writePortAndAddress(PortSettings{}, 30));
    });
    EXPECT_EQ(result, int(SettingsFile::WriteResult::UserFolder));
    EXPECT_EQ(readFile(programFile()), "[address]\r\naddr=12\r\n");
    EXPECT_EQ(storedSettings().readAddress(), 30);
}

#endif

TEST_F(SettingsFileTest, NowhereToWriteIsReportedAsFailed)
{
    writeFile(m_root / "plain-file", "x");
    SettingsFile settings(QString::fromStdString((m_root / "missing-bin").string()),
                          QString::fromStdString((m_root / "plain-file" / "ql").string()));
    EXPECT_EQ(settings.writePortAndAddress(PortSettings{}, 23), SettingsFile::WriteResult::Failed);
    EXPECT_EQ(settings.readAddress(), 23);
}

} // namespace

TEST_F(SettingsFileTest, UserFolderIsNamedAfterTheProgramAndTakesOverTheOldFileOnce)
{
#ifdef _WIN32
    qputenv("APPDATA", QByteArray::fromStdString((m_root / "appdata").string()));
    EXPECT_EQ(fs::path(SettingsFile::defaultUserFolder().toStdWString()).make_preferred(),
              (m_root / "appdata" / "ql-rs485").make_preferred());
#else
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((m_root / "xdg").string()));
    EXPECT_EQ(SettingsFile::defaultUserFolder().toStdString(), (m_root / "xdg" / "ql-rs485").string());
    qunsetenv("XDG_CONFIG_HOME");
#endif

    const fs::path old = m_root / "old";
    fs::create_directories(old);
    writeFile(old / "QL_EVC.ini", "[address]\r\naddr=9\r\n");
    SettingsFile settings = storedSettings();
    EXPECT_TRUE(settings.takeOverUserFile(QString::fromStdString(old.string())));
    EXPECT_EQ(settings.readAddress(), 9);
    EXPECT_FALSE(fs::exists(old / "QL_EVC.ini"));
    // A second start finds nothing left to take over, and a file already in
    // the user folder is never replaced by an old one.
    fs::create_directories(old);
    writeFile(old / "QL_EVC.ini", "[address]\r\naddr=8\r\n");
    EXPECT_FALSE(settings.takeOverUserFile(QString::fromStdString(old.string())));
    EXPECT_EQ(settings.readAddress(), 9);
}
