// `ql-rs485-cli read` against the simulated meter on a pseudo-terminal, bytes
// paced at the line rate: whole runs, range reads, the other end going away,
// the saved rows, and argument errors.
#include "cli_process.h"

#include "export/workbook_reader.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

std::vector<std::string> rowCaptions(const std::string& out)
{
    std::vector<std::string> captions;
    for (const std::string& line : linesStartingWith(out, "row\t"))
        captions.push_back(splitTabs(line).at(1));
    return captions;
}

std::vector<std::string> numbered(int from, int to)
{
    std::vector<std::string> numbers;
    for (int i = from; i <= to; ++i)
        numbers.push_back(std::to_string(i));
    return numbers;
}

TEST(ReadCli, Kind11ReadsEveryStoredRecordAtDefaultInterval)
{
    SimProcess sim({"--type", "1", "--records", "12", "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult r = runCli({"read", "--port", sim.pty(), "--kind", "11"});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 4\n", 0), 0u) << r.out;
    const std::vector<std::string> columns = linesStartingWith(r.out, "columns");
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0],
              "columns\t序号\t时间\t工况累积量(m3)\t标况累积量(m3)\t标况瞬时流量(m3/h)\t温度(℃)\t压力(KPa)");
    EXPECT_EQ(rowCaptions(r.out), numbered(1, 12));
    for (const std::string& row : linesStartingWith(r.out, "row\t"))
        EXPECT_EQ(splitTabs(row).size(), 8u) << row;
}

TEST(ReadCli, Kind33CustomFramesSavedAsCsvWithBom)
{
    SimProcess sim({"--type", "3", "--records", "5", "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());
    QTemporaryDir dir;
    const QString csv = dir.filePath("start-stop.csv");

    const CliResult r =
        runCli({"read", "--port", sim.pty(), "--kind", "33", "--interval", "100", "--out", csv});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 4\n", 0), 0u) << r.out;
    EXPECT_EQ(rowCaptions(r.out), numbered(1, 5));

    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF序号,记录时间,标况累积量(m3),标记\r\n", 0), 0u) << text;
    EXPECT_EQ(linesStartingWith(text, "1,").size(), 1u);
    EXPECT_EQ(linesStartingWith(text, "5,").size(), 1u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

TEST(ReadCli, RowsSavedAsXlsxReadBackUnderTheirCaptions)
{
    SimProcess sim({"--type", "1", "--records", "3"});
    ASSERT_FALSE(sim.pty().isEmpty());
    QTemporaryDir dir;
    const QString xlsx = dir.filePath("month.xlsx");

    const CliResult r =
        runCli({"read", "--port", sim.pty(), "--kind", "12", "--interval", "50", "--out", xlsx});
    EXPECT_EQ(r.exitCode, 0) << r.err;

    const WorkbookReadResult read = readFirstWorksheet(xlsx);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    // Captions in row 5 from column B, records from row 6.
    EXPECT_EQ(read.cells.text(5, 2), "序号");
    EXPECT_EQ(read.cells.text(5, 3), "日期");
    EXPECT_EQ(read.cells.text(6, 2), "1");
    EXPECT_EQ(read.cells.text(8, 2), "3");
    EXPECT_EQ(read.cells.text(9, 2), "");
    const std::vector<std::string> rows = linesStartingWith(r.out, "row\t");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(read.cells.text(7, 3), splitTabs(rows[1]).at(2));
}

TEST(ReadCli, RangeReadAsksOnlyTheRangeAndEndsDecoded)
{
    SimProcess sim({"--type", "6", "--records", "40", "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());

    // Kind 612 holds five records per block: blocks 2 and 3 are records 5 to 14,
    // shown as stored plus one.
    const CliResult r = runCli(
        {"read", "--port", sim.pty(), "--kind", "612", "--from", "2", "--to", "3", "--interval", "100"});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("result 1\n", 0), 0u) << r.out;
    EXPECT_EQ(rowCaptions(r.out), numbered(6, 15));
}

// Under a locale whose decimal separator is a comma the printed rows, the CSV and
// the workbook values are exactly those of the C locale.
TEST(ReadCli, NumbersIgnoreTheCommaDecimalLocale)
{
    SimProcess sim({"--type", "6", "--records", "5"});
    ASSERT_FALSE(sim.pty().isEmpty());
    QTemporaryDir dir;
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert("LC_ALL", "de_DE.UTF-8");
    auto read = [&](const QString& out, const QProcessEnvironment& environment) {
        return runCli(
            {"read", "--port", sim.pty(), "--kind", "612", "--to", "1", "--interval", "50", "--out", out},
            120000, environment);
    };
    auto fileText = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(missing)");
    };

    const CliResult plain = read(dir.filePath("c.csv"), QProcessEnvironment::systemEnvironment());
    const CliResult comma = read(dir.filePath("de.csv"), german);
    const CliResult commaBook = read(dir.filePath("de.xlsx"), german);

    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(comma.err, "") << "is de_DE.UTF-8 generated? scripts/test generates it";
    const std::vector<std::string> rows = linesStartingWith(plain.out, "row\t");
    ASSERT_FALSE(rows.empty());
    const std::vector<std::string> first = splitTabs(rows[0]);
    const auto decimal = std::find_if(first.begin(), first.end(), [](const std::string& field) {
        return field.find('.') != std::string::npos;
    });
    ASSERT_NE(decimal, first.end()) << rows[0];
    EXPECT_EQ(comma.out, plain.out);
    EXPECT_EQ(commaBook.out, plain.out);
    EXPECT_EQ(fileText(dir.filePath("de.csv")), fileText(dir.filePath("c.csv")));
    // Captions in row 5 from column B, so field i of a printed row lies in column i + 1.
    const WorkbookReadResult book = readFirstWorksheet(dir.filePath("de.xlsx"));
    ASSERT_TRUE(book.ok()) << book.error.toStdString();
    const int field = static_cast<int>(decimal - first.begin());
    EXPECT_EQ(book.cells.text(6, field + 1), *decimal);
}

TEST(ReadCli, OtherEndClosingMidRunKeepsRowsAndReportsOnce)
{
    SimProcess sim({"--type", "1", "--records", "20", "--line-rate", "--fault", "close-after=3"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult r = runCli({"read", "--port", sim.pty(), "--kind", "11", "--interval", "100"});

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(rowCaptions(r.out), numbered(1, 3));
    EXPECT_EQ(linesStartingWith(r.err, "ql-rs485-cli read: port error:").size(), 1u) << r.err;
    EXPECT_NE(r.err.find("读取第4条数据失败!"), std::string::npos) << r.err;
}

TEST(ReadCli, MeterWithBadCheckFailsFirstBlock)
{
    SimProcess sim({"--type", "1", "--records", "20", "--fault", "bad-crc"});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult r = runCli({"read", "--port", sim.pty(), "--kind", "11", "--interval", "50"});

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("result 3\n", 0), 0u) << r.out;
    EXPECT_TRUE(rowCaptions(r.out).empty());
    EXPECT_NE(r.err.find("读取第1条数据失败!"), std::string::npos) << r.err;
}

struct BadArgsCase {
    const char* name;
    QStringList args;
};

class ReadCliBadArgs : public testing::TestWithParam<BadArgsCase> {};

TEST_P(ReadCliBadArgs, ExitTwoWithMessageAndNoOutput)
{
    const CliResult r = runCli(GetParam().args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(r.err.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ReadCliBadArgs,
    testing::Values(
        BadArgsCase{"MissingPort", {"read", "--kind", "11"}},
        BadArgsCase{"ToBeyondBlockCount", {"read", "--port", "/dev/null", "--kind", "14", "--to", "17"}},
        BadArgsCase{"ToBeforeFrom",
                    {"read", "--port", "/dev/null", "--kind", "11", "--from", "5", "--to", "3"}},
        BadArgsCase{"OutNeitherCsvNorXlsx",
                    {"read", "--port", "/dev/null", "--kind", "11", "--out", "rows.txt"}},
        BadArgsCase{"PortThatDoesNotExist", {"read", "--port", "/nonexistent/tty", "--kind", "11"}}),
    [](const testing::TestParamInfo<BadArgsCase>& info) { return std::string(info.param.name); });

} // namespace
