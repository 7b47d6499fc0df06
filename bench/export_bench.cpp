// Exporting a large record table: 10,000 rows of 12 columns written to an .xlsx
// file with libxlsxwriter, the file replaced as the program does it.
#include "export/record_export.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

RecordTable largeTable(int rows, int columns)
{
    RecordTable table;
    table.addColumn("序号", 45);
    for (int c = 1; c < columns; ++c)
        table.addColumn("列" + std::to_string(c), 100);
    for (int r = 0; r < rows; ++r) {
        std::vector<std::string> cells;
        cells.push_back(std::to_string(r + 1));
        cells.push_back("2024-03-15 10:20:30");
        for (int c = 2; c < columns; ++c)
            cells.push_back(std::to_string(r * 13 + c) + "." + std::to_string(c * 7 % 100));
        table.appendRow(std::move(cells));
    }
    return table;
}

void BM_ExportRecordTable10000x12(benchmark::State& state)
{
    const RecordTable table = largeTable(10000, 12);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.xlsx"));
    for (auto _ : state) {
        const ExportOutcome outcome = exportRecordTable(table, "实时记录", path, QDate(2024, 3, 15),
                                                        [](const QString&, const QString&) { return true; });
        if (!outcome.saved) {
            state.SkipWithError("the export did not save");
            return;
        }
    }
    state.SetLabel("10000 rows x 12 columns");
}
BENCHMARK(BM_ExportRecordTable10000x12)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
