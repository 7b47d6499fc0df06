// The directory check that guards FreeXL: the shipped .xls passes, and files
// whose directory states an impossible name length or a broken sector chain are
// refused before FreeXL reads them (it would write past its own buffer on the
// first, found by fuzzing).
#include "export/compound_file_check.h"
#include "export/workbook_reader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

using FileBytes = std::vector<uint8_t>;

FileBytes shippedWorkbook()
{
    QFile file(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return FileBytes(bytes.begin(), bytes.end());
}

uint32_t U32(const FileBytes& f, size_t at)
{
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t{f[at + 3]} << 24;
}

void putU32(FileBytes& f, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Offset of the first directory sector (512-byte sectors in the shipped file).
size_t directoryOffset(const FileBytes& f)
{
    return (U32(f, 48) + 1) * 512;
}

struct DamageCase {
    const char* name;
    std::function<void(FileBytes&)> damage;
    bool refused;
};

class CompoundFileDirectory : public ::testing::TestWithParam<DamageCase> {};

TEST_P(CompoundFileDirectory, IsCheckedBeforeFreeXlReadsIt)
{
    FileBytes file = shippedWorkbook();
    ASSERT_GT(file.size(), 1024u);
    GetParam().damage(file);

    EXPECT_EQ(!checkCompoundFileDirectory(file).empty(), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompoundFileDirectory,
    ::testing::Values(
        DamageCase{"ShippedWorkbookPasses", [](FileBytes&) {}, false},
        // Entry 1 ("Workbook") stating 65535 name bytes: the fuzzer's finding.
        DamageCase{
            "NameLength65535",
            [](FileBytes& f) { f[directoryOffset(f) + 128 + 64] = f[directoryOffset(f) + 128 + 65] = 0xFF; },
            true},
        DamageCase{"NameLength66",
                   [](FileBytes& f) {
                       f[directoryOffset(f) + 128 + 64] = 66;
                       f[directoryOffset(f) + 128 + 65] = 0;
                   },
                   true},
        DamageCase{"OddNameLength", [](FileBytes& f) { f[directoryOffset(f) + 64] = 21; }, true},
        DamageCase{"NameLength64IsTheLongestAllowed",
                   [](FileBytes& f) { f[directoryOffset(f) + 128 + 64] = 64; }, false},
        DamageCase{"DirectorySectorOutsideTheFile", [](FileBytes& f) { putU32(f, 48, 0x00FFFFFF); }, true},
        DamageCase{"DirectoryChainLoopsOnItself",
                   [](FileBytes& f) {
                       // The FAT entry of the directory sector points back at it.
                       const uint32_t dir = U32(f, 48);
                       const size_t fat = (U32(f, 76) + 1) * 512;
                       putU32(f, fat + 4 * dir, dir);
                   },
                   true},
        DamageCase{"MoreFatSectorsThanTheFileHolds", [](FileBytes& f) { putU32(f, 44, 100000); }, true},
        DamageCase{"SectorShiftOf13", [](FileBytes& f) { f[30] = 13; }, true},
        DamageCase{"CutToTheHeader", [](FileBytes& f) { f.resize(512); }, true},
        DamageCase{"ShorterThanAHeader", [](FileBytes& f) { f.resize(100); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompoundFileDirectory, ReaderRefusesTheFuzzedWorkbookWithItsMessage)
{
    FileBytes file = shippedWorkbook();
    ASSERT_GT(file.size(), 1024u);
    const size_t entry = directoryOffset(file) + 128;
    file[entry + 64] = file[entry + 65] = 0xFF;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.xls"));
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
    }

    const WorkbookReadResult result = readFirstWorksheet(path);

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error.toStdString(), "无法读取.xls工作簿（文件损坏或格式不支持）");
    EXPECT_EQ(result.cells.cellCount(), 0);
}

} // namespace

namespace {

// Found by fuzzing: a workbook whose Workbook stream (not its directory) is
// corrupt makes FreeXL 1.0.6 itself read outside its memory and crash. The
// directory check cannot see it; the reader keeps FreeXL in a child process.
TEST(WorkbookReaderFindings, CorruptWorkbookStreamGivesAMessageInsteadOfACrash)
{
    const WorkbookReadResult result =
        readFirstWorksheet(QStringLiteral(QL_SOURCE_DIR "/fuzz/findings/freexl-biff-segv.xls"));

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error.toStdString(), "无法读取.xls工作簿（文件损坏或格式不支持）");
}

TEST(WorkbookReaderFindings, DirectoryNameOverflowFileIsRefused)
{
    const WorkbookReadResult result =
        readFirstWorksheet(QStringLiteral(QL_SOURCE_DIR "/fuzz/findings/freexl-directory-name-overflow.xls"));

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error.toStdString(), "无法读取.xls工作簿（文件损坏或格式不支持）");
}

} // namespace
