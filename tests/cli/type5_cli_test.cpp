// Device type 5 end to end: `ql-rs485-cli` against `ql-rs485-sim --type 5`, both
// taking the register map from the shipped protocol workbook in bin/Excel/.
#include "cli_process.h"

#include "decoding/protocol_sheet.h"
#include "export/workbook_reader.h"

#include <QTemporaryDir>

namespace {

const char kShippedWorkbook[] = QL_BIN_DIR "/Excel/VarnelModbus.xls";

// "columns" and the captions of the shipped workbook's section of `kind`.
std::string shippedColumnsLine(int kind)
{
    const WorkbookReadResult read = readFirstWorksheet(kShippedWorkbook);
    EXPECT_TRUE(read.ok()) << read.error.toStdString();
    const ProtocolLoadResult loaded = loadProtocolSection(kind - 51, read.cells.reader());
    EXPECT_TRUE(loaded.ok()) << loaded.error;
    std::string line = "columns";
    for (const TableColumn& column : loaded.sheet.columns)
        line += "\t" + column.caption;
    return line;
}

TEST(Type5Cli, ReadStopsAtTheFirstBlankRecord)
{
    SimProcess sim({"--type", "5", "--records", "3"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult r = runCli({"read", "--port", sim.pty(), "--kind", "51", "--interval", "50"});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 0\n", 0), 0u) << r.out;
    const std::string columns = shippedColumnsLine(51);
    EXPECT_EQ(linesStartingWith(r.out, "columns"), std::vector<std::string>{columns});
    const std::vector<std::string> rows = linesStartingWith(r.out, "row\t");
    ASSERT_EQ(rows.size(), 3u) << r.out;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string> fields = splitTabs(rows[i]);
        EXPECT_EQ(fields.size(), splitTabs(columns).size()) << rows[i];
        EXPECT_EQ(fields.at(1), std::to_string(i + 1));
    }
}

TEST(Type5Cli, IdentifiedAndParametersFromTheWorkbookBlock)
{
    SimProcess sim({"--type", "5", "--addr", "9"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult identify = runCli({"identify", "--port", sim.pty(), "--addr", "9"});
    EXPECT_EQ(identify.exitCode, 0) << identify.err;
    EXPECT_EQ(identify.out, "5\n");

    const CliResult params = runCli({"params", "--port", sim.pty(), "--type", "5", "--addr", "9"});
    EXPECT_EQ(params.exitCode, 0) << params.err;
    EXPECT_NE(params.out.find("\t表号\tQL2024000123\tnormal\n"), std::string::npos) << params.out;
    EXPECT_NE(params.out.find("\t通讯地址\t9\tnormal\n"), std::string::npos) << params.out;
}

TEST(Type5Cli, FrameOfALaterBlockUsesTheWorkbookRegisters)
{
    // Kind 52: 19 registers per record from 0-based 8000; block 3 starts at 8038 (0x1F66).
    const CliResult r = runCli({"frame", "--kind", "52", "--block", "3", "--addr", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 17), "01 03 1F 66 00 13") << r.out;
}

TEST(Type5Cli, AlarmRecordsSavedAsXlsxOpenInOpenpyxl)
{
    SimProcess sim({"--type", "5", "--records", "2"});
    ASSERT_FALSE(sim.pty().isEmpty());
    QTemporaryDir dir;
    const QString xlsx = dir.filePath("alarm.xlsx");

    const CliResult r =
        runCli({"read", "--port", sim.pty(), "--kind", "54", "--interval", "50", "--out", xlsx});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(linesStartingWith(r.out, "row\t").size(), 2u) << r.out;

    // Captions in row 5 from column B, as the record sheet lays them out.
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, openpyxl\n"
                                 "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                                 "print('\\t'.join(str(c.value) for c in ws[5][1:] if c.value is not None))\n"
                                 "print(ws.cell(row=7, column=2).value)\n"),
                  xlsx});
    ASSERT_TRUE(python.waitForFinished(60000));
    const std::string out = QString::fromUtf8(python.readAllStandardOutput()).toStdString();
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const std::string header = shippedColumnsLine(54).substr(std::string("columns\t").size());
    EXPECT_EQ(out, header + "\n2\n");
}

} // namespace
