// `ql-rs485-cli dump` and `scan` against the simulated meter on a pseudo-terminal:
// the archive workbook read back with openpyxl, and a line with three meters.
#include "cli_process.h"

#include <QTemporaryDir>

namespace {

// Sheet names, then per sheet the number of record rows below the caption row 5.
std::string describeWorkbook(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import openpyxl, sys\n"
                                 "book = openpyxl.load_workbook(sys.argv[1])\n"
                                 "for s in book.worksheets:\n"
                                 "    print(s.title, max(0, s.max_row - 5))\n"
                                 "print(book.worksheets[0]['C4'].value)\n"),
                  path});
    python.waitForFinished(60000);
    return python.readAllStandardOutput().toStdString() + python.readAllStandardError().toStdString();
}

TEST(DumpCli, WritesASummaryAndASheetPerKindOfTheDeviceType)
{
    SimProcess sim({"--type", "6", "--records", "12", "--addr", "9"});
    ASSERT_FALSE(sim.pty().isEmpty());
    QTemporaryDir folder;
    const QString out = folder.filePath(QStringLiteral("meter.xlsx"));

    const CliResult dump = runCli({"dump", "--port", sim.pty(), "--addr", "9", "--fast", "--out", out});

    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const std::vector<std::string> kinds = linesStartingWith(dump.out, "kind ");
    ASSERT_EQ(kinds.size(), 17u) << dump.out;
    EXPECT_EQ(kinds.front(), "kind 61 rows 12 result 4");
    EXPECT_EQ(kinds.at(11), "kind 612 rows 12 result 4");
    const std::string book = describeWorkbook(out);
    const std::vector<std::string> sheets = linesStartingWith(book, "");
    ASSERT_EQ(sheets.size(), 19u) << book; // summary, 17 kinds, the address cell
    EXPECT_EQ(sheets.front().rfind("汇总 ", 0), 0u) << book;
    EXPECT_EQ(sheets.at(12), "实时记录500组 12") << book;
    EXPECT_EQ(sheets.back(), "9") << book;
}

TEST(ScanCli, NamesEveryMeterOnTheLineWithItsType)
{
    SimProcess sim({"--meter", "5:1", "--meter", "23:6", "--meter", "31:7"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult scan = runCli({"scan", "--port", sim.pty(), "--from", "4", "--to", "6"});
    const CliResult more = runCli({"scan", "--port", sim.pty(), "--from", "22", "--to", "31"});

    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.out, "meter 5 1\nfound 1\n");
    EXPECT_EQ(more.out, "meter 23 6\nmeter 31 7\nfound 2\n");
}

} // namespace
