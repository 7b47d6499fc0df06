#include "export/protocol_workbook.h"

#include "export_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

const std::set<std::string> kRecordTypes{"DT2", "DBL", "FLT", "LNG", "BYTE", "BIT", "S8"};
const std::set<std::string> kParameterTypes{"DT2", "DBL", "FLT", "LNG", "BYTE", "BIT", "S8", "S16"};
constexpr int kRecordsPerKind[] = {120, 120, 25, 100};

// The workbook shipped in the program folder (copied there by the build).
TEST(ShippedProtocolWorkbook, DescribesParameterBlockOfTheIdentificationProbe)
{
    const ProtocolWorkbook workbook = openProtocolWorkbook(QStringLiteral(QL_BIN_DIR), "VarnelModbus.xls");
    ASSERT_TRUE(workbook.ok()) << workbook.detail.toStdString();
    const ProtocolLoadResult r = loadProtocolSection(0, workbook.cells.reader());
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.paramLayout[1], 0x0FA1);
    EXPECT_EQ(r.sheet.paramLayout[0], 38);
    ASSERT_EQ(r.sheet.paramFields.size() % 2, 0u);
    ASSERT_GE(r.sheet.paramFields.size(), 2u);
    for (size_t i = 1; i < r.sheet.paramFields.size(); i += 2)
        EXPECT_TRUE(kParameterTypes.count(r.sheet.paramFields[i])) << r.sheet.paramFields[i];
}

TEST(ShippedProtocolWorkbook, EveryKindFitsItsRecordsIntoTheRegisterSpace)
{
    const ProtocolWorkbook workbook = openProtocolWorkbook(QStringLiteral(QL_BIN_DIR), "VarnelModbus.xls");
    ASSERT_TRUE(workbook.ok()) << workbook.detail.toStdString();
    for (int s = 0; s < kTypedKindCount; ++s) {
        const int kind = 51 + s; // for the messages
        const ProtocolLoadResult r = loadProtocolSection(s, workbook.cells.reader());
        ASSERT_TRUE(r.ok()) << kind << ": " << r.error;
        const int start = r.sheet.recordStart[s];
        const int length = r.sheet.recordLength[s];
        EXPECT_GT(start, 0x0FA1 + 38) << kind;
        EXPECT_GT(length, 0) << kind;
        // One record per reply: its byte count must fit the reply's count byte.
        EXPECT_LE(2 * length, 255) << kind;
        EXPECT_LE(start + length * kRecordsPerKind[s], 0x10000) << kind;
        if (s > 0) {
            const ProtocolLoadResult previous = loadProtocolSection(s - 1, workbook.cells.reader());
            EXPECT_GE(start, previous.sheet.recordStart[s - 1] +
                                 previous.sheet.recordLength[s - 1] * kRecordsPerKind[s - 1])
                << kind << " overlaps the kind before";
        }
        EXPECT_EQ(r.sheet.columns.size(), r.sheet.fieldTypes.size() + 1);
        for (const std::string& type : r.sheet.fieldTypes) {
            EXPECT_TRUE(kRecordTypes.count(type)) << kind << ": " << type;
            EXPECT_FALSE(s == kTypedKindCount - 1 && type == "S8") << "alarm records cannot show S8";
        }
    }
}

TEST(ProtocolWorkbook, SameSheetGivesSameLoadFromXlsAndXlsx)
{
    QTemporaryDir program;
    ASSERT_TRUE(QDir(program.path()).mkdir(QStringLiteral("Excel")));
    makeFixtureWorkbooks(program.filePath(QStringLiteral("Excel")));
    const ProtocolWorkbook xls = openProtocolWorkbook(program.path(), QStringLiteral("protocol.xls"));
    const ProtocolWorkbook xlsx = openProtocolWorkbook(program.path(), QStringLiteral("protocol.xlsx"));
    ASSERT_TRUE(xls.ok()) << xls.detail.toStdString();
    ASSERT_TRUE(xlsx.ok()) << xlsx.detail.toStdString();
    for (int section = 0; section < kTypedKindCount; ++section) {
        const ProtocolLoadResult a = loadProtocolSection(section, xls.cells.reader());
        const ProtocolLoadResult b = loadProtocolSection(section, xlsx.cells.reader());
        ASSERT_TRUE(a.ok()) << a.error;
        ASSERT_TRUE(b.ok()) << b.error;
        EXPECT_EQ(a.sheet.fieldTypes, b.sheet.fieldTypes);
        EXPECT_EQ(a.sheet.fieldDigits, b.sheet.fieldDigits);
        EXPECT_EQ(a.sheet.recordStart, b.sheet.recordStart);
        EXPECT_EQ(a.sheet.recordLength, b.sheet.recordLength);
        EXPECT_EQ(a.sheet.paramFields, b.sheet.paramFields);
        EXPECT_EQ(a.sheet.paramLayout, b.sheet.paramLayout);
        ASSERT_EQ(a.sheet.columns.size(), b.sheet.columns.size());
        for (size_t i = 0; i < a.sheet.columns.size(); ++i)
            EXPECT_EQ(a.sheet.columns[i].caption, b.sheet.columns[i].caption);
    }
    const ProtocolLoadResult first = loadProtocolSection(0, xls.cells.reader());
    EXPECT_EQ(first.sheet.fieldTypes, (FieldTypeList{"DT2", "DBL"}));
    EXPECT_EQ(first.sheet.fieldDigits[1], 2);
    EXPECT_EQ(first.sheet.recordStart, (std::array<int, 4>{5000, 8000, 11000, 12000}));
    EXPECT_EQ(first.sheet.recordLength[0], 7);
    EXPECT_EQ(first.sheet.paramLayout[0], 10);
    EXPECT_EQ(first.sheet.paramLayout[1], 4001);
    EXPECT_EQ(first.sheet.paramLayout[3], 2);
}

TEST(ProtocolWorkbook, UnopenableWorkbookGivesTheStartupMessage)
{
    QTemporaryDir program;
    ASSERT_TRUE(QDir(program.path()).mkdir(QStringLiteral("Excel")));
    QFile broken(program.filePath(QStringLiteral("Excel/broken.xls")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 truncated", 18));
    broken.close();
    for (const char* name : {"absent.xls", "broken.xls", ""}) {
        const ProtocolWorkbook workbook = openProtocolWorkbook(program.path(), QString::fromUtf8(name));
        EXPECT_FALSE(workbook.ok()) << name;
        EXPECT_EQ(workbook.message.toStdString(),
                  "Excel打开失败！请确定Excel是否安装，确认后,再重新试一次！");
        EXPECT_FALSE(workbook.detail.isEmpty());
    }
}

} // namespace
