#include "export/workbook_reader.h"
#include "export/workbook_writer.h"
#include "export/xls_reading.h"

#include "export_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

#ifndef _WIN32
#include <pthread.h>
#include <unistd.h>
#endif

// FreeXL 1.0.6 keeps some buffers when it gives up on a damaged .xls; that memory is
// the library's, the reader closes every handle it gets.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfreexl.so";
}

namespace {

class WorkbookReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir();
        makeFixtureWorkbooks(folder->path());
    }
    static void TearDownTestSuite() { delete folder; }
    static QString fixture(const char* name) { return folder->filePath(QString::fromLatin1(name)); }
    static QTemporaryDir* folder;
};

QTemporaryDir* WorkbookReaderTest::folder = nullptr;

struct ValueCell {
    int row;
    int column;
    const char* text;
};

const ValueCell kValueCells[] = {
    {1, 1, "100"},  {1, 2, "1.5"},      {1, 3, "-7"},    {1, 4, "4002"},  {1, 5, "0.1"}, {1, 6, "123456789"},
    {2, 1, "0012"}, {2, 2, "中文文本"}, {2, 3, "1e+20"}, {2, 4, "-2.25"}, {3, 1, ""},    {1, 7, ""},
};

TEST_F(WorkbookReaderTest, NumbersShowAsASpreadsheetShowsThemInBothFormats)
{
    for (const char* name : {"values.xls", "values.xlsx"}) {
        const WorkbookReadResult read = readFirstWorksheet(fixture(name));
        ASSERT_TRUE(read.ok()) << name << ": " << read.error.toStdString();
        for (const ValueCell& cell : kValueCells)
            EXPECT_EQ(read.cells.text(cell.row, cell.column), cell.text)
                << name << " row " << cell.row << " column " << cell.column;
    }
}

TEST_F(WorkbookReaderTest, FormatIsChosenByContentNotByName)
{
    ASSERT_TRUE(QFile::copy(fixture("protocol.xls"), fixture("really-xls.xlsx")));
    ASSERT_TRUE(QFile::copy(fixture("protocol.xlsx"), fixture("really-xlsx.xls")));
    for (const char* name : {"really-xls.xlsx", "really-xlsx.xls"}) {
        const WorkbookReadResult read = readFirstWorksheet(fixture(name));
        ASSERT_TRUE(read.ok()) << name << ": " << read.error.toStdString();
        EXPECT_EQ(read.cells.text(4, 1), "Hourly -120") << name;
        EXPECT_EQ(read.cells.text(2, 4), "表号") << name;
    }
}

TEST_F(WorkbookReaderTest, HandmadePackageInlineSharedBooleanAndImplicitCells)
{
    const WorkbookReadResult read = readFirstWorksheet(fixture("handmade.xlsx"));
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_EQ(read.cells.text(1, 1), "plain");
    EXPECT_EQ(read.cells.text(1, 2), "rich"); // runs joined, phonetic guide left out
    EXPECT_EQ(read.cells.text(1, 3), "inline & text");
    EXPECT_EQ(read.cells.text(3, 1), "TRUE");
    EXPECT_EQ(read.cells.text(3, 2), "FALSE");
    EXPECT_EQ(read.cells.text(3, 4), "2.5");
    EXPECT_EQ(read.cells.text(3, 5), "");
    EXPECT_EQ(read.cells.text(4, 1), "7");
    EXPECT_EQ(read.cells.text(4, 2), "8");
    EXPECT_EQ(read.cells.text(4, 27), "formula text");
    EXPECT_EQ(read.cells.cellCount(), 9);
}

// Parts are found through the package relationships, wherever they lie.
TEST_F(WorkbookReaderTest, PackagePartsAreFoundThroughTheirRelationships)
{
    const WorkbookReadResult handmade = readFirstWorksheet(fixture("handmade.xlsx"));
    const WorkbookReadResult relocated = readFirstWorksheet(fixture("relocated.xlsx"));
    ASSERT_TRUE(relocated.ok()) << relocated.error.toStdString();
    EXPECT_EQ(relocated.cells.all(), handmade.cells.all());
    EXPECT_EQ(relocated.cells.text(1, 2), "rich");

    const WorkbookReadResult withoutRelationships = readFirstWorksheet(fixture("norels.xlsx"));
    EXPECT_EQ(withoutRelationships.error.toStdString(), "工作簿目录损坏");
    EXPECT_EQ(withoutRelationships.cells.cellCount(), 0);
}

// Windows opens the narrow file names FreeXL and libxlsxwriter take in the ANSI
// code page, which lacks most Chinese characters outside a Chinese system.
TEST(WorkbookFileNames, WorkbooksInAFolderWithChineseCharactersAndASpace)
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("测试 记录"));
    ASSERT_TRUE(QDir().mkpath(folder));
    WorkbookWriter writer;
    writer.setSheetName("表");
    writer.setCell(1, 1, "温度(℃)");
    const QString xlsx = folder + QStringLiteral("/表 1.xlsx");
    QString error;
    ASSERT_TRUE(writer.write(xlsx, error)) << error.toStdString();
    const QString shipped = QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls");
    const QString xls = folder + QStringLiteral("/表 1.xls");
    ASSERT_TRUE(QFile::copy(shipped, xls));

    const WorkbookReadResult readXlsx = readFirstWorksheet(xlsx);
    EXPECT_EQ(readXlsx.cells.text(1, 1), "温度(℃)") << readXlsx.error.toStdString();
    const WorkbookReadResult original = readFirstWorksheet(shipped);
    const WorkbookReadResult readXls = readFirstWorksheet(xls);
    ASSERT_TRUE(readXls.ok()) << readXls.error.toStdString();
    EXPECT_GT(readXls.cells.cellCount(), 10);
    EXPECT_EQ(readXls.cells.cellCount(), original.cells.cellCount());
    EXPECT_EQ(readXls.cells.text(2, 4), original.cells.text(2, 4));
}

#ifndef _WIN32
// FreeXL runs in a helper started from its own executable: nothing of this process
// is copied (a fork would run the handler below and the read would fail), so
// threads and locks held here cannot hang the reading.
std::atomic<bool> gTrapForks{false};

TEST_F(WorkbookReaderTest, XlsIsReadByAHelperWithoutForkingTheCaller)
{
    static const int registered = pthread_atfork(nullptr, nullptr, [] {
        if (gTrapForks)
            _exit(86);
    });
    ASSERT_EQ(registered, 0);
    gTrapForks = true;
    const WorkbookReadResult read = readFirstWorksheet(fixture("protocol.xls"));
    gTrapForks = false;
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_EQ(read.cells.text(2, 4), "表号");
}

// Installed, the helper lies beside the program in /usr/bin or in a libexec folder.
TEST(XlsReaderLocation, BesideTheProgramOrInLibexec)
{
    QTemporaryDir prefix;
    const std::string root = prefix.path().toStdString();
    auto place = [&](const std::string& folder) {
        std::filesystem::create_directories(root + folder);
        const std::string helper = root + folder + "/ql-rs485-xls-reader";
        std::ofstream(helper) << "#!/bin/sh\n";
        std::filesystem::permissions(helper, std::filesystem::perms::owner_all);
        return helper;
    };
    std::filesystem::create_directories(root + "/usr/bin");
    EXPECT_EQ(findXlsReader(root + "/usr/bin"), "");
    const std::string libexec = place("/usr/libexec/ql-rs485");
    EXPECT_EQ(findXlsReader(root + "/usr/bin"), libexec);
    const std::string beside = place("/usr/bin");
    EXPECT_EQ(findXlsReader(root + "/usr/bin"), beside);
}
#endif

TEST_F(WorkbookReaderTest, MissingDirectoryAndForeignFilesGiveErrors)
{
    QFile text(fixture("notes.xls"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some text, not a workbook\n");
    text.close();
    QFile empty(fixture("empty.xlsx"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    for (const QString& path :
         {fixture("absent.xls"), folder->path(), fixture("notes.xls"), fixture("empty.xlsx")}) {
        const WorkbookReadResult read = readFirstWorksheet(path);
        EXPECT_FALSE(read.ok()) << path.toStdString();
        EXPECT_EQ(read.cells.cellCount(), 0);
    }
}

// Every damaged copy must end in a result or an error; the sanitizer build turns any
// read outside a buffer into a failure.
void readDamagedCopies(const QString& source, const QString& target, bool expectErrorWhenTruncated)
{
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    auto readBytes = [&](const QByteArray& damaged) {
        QFile out(target);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(damaged);
        out.close();
        return readFirstWorksheet(target);
    };
    int errors = 0;
    for (qsizetype length = 0; length < bytes.size(); length += std::max<qsizetype>(1, bytes.size() / 97)) {
        if (!readBytes(bytes.left(length)).ok())
            ++errors;
        else
            EXPECT_FALSE(expectErrorWhenTruncated) << "truncated to " << length << " bytes was read";
    }
    EXPECT_GT(errors, 0);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray damaged = bytes;
        for (int flips = 0; flips < 1 + round % 8; ++flips)
            damaged[static_cast<qsizetype>(random() % static_cast<unsigned>(damaged.size()))] =
                static_cast<char>(random());
        readBytes(damaged);
    }
}

TEST_F(WorkbookReaderTest, DamagedXlsxGivesErrorsNotCrashes)
{
    readDamagedCopies(fixture("protocol.xlsx"), fixture("damaged.xlsx"), true);
    readDamagedCopies(fixture("handmade.xlsx"), fixture("damaged2.xlsx"), true);
}

TEST_F(WorkbookReaderTest, DamagedXlsGivesErrorsNotCrashes)
{
    readDamagedCopies(fixture("protocol.xls"), fixture("damaged.xls"), false);
}

TEST(NumberText, GeneralFormat)
{
    EXPECT_EQ(numberText(100.0), "100");
    EXPECT_EQ(numberText(1.5), "1.5");
    EXPECT_EQ(numberText(-0.25), "-0.25");
    EXPECT_EQ(numberText(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(numberText(1e300), "1e+300");
}

} // namespace
