// The store on SQLite: 100,000 records of kind 612 stored a block per
// transaction (five records, as a read of kind 612 stores them, or larger
// batches), and one meter's history of a kind over ten years of hourly records
// among other meters' records.
#include "catalogue/device_registry.h"
#include "store/record_store.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

// Record r of a meter: an hour after record r - 1, from 2016-01-01 on.
std::vector<std::string> record612(int r)
{
    const QDateTime time = QDateTime(QDate(2016, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64{r} * 3600);
    return {std::to_string(r + 1),
            time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
            std::to_string(10500.5678 + r * 13.0625),
            std::to_string(10000.1234 + r * 12.3456),
            std::to_string(30.0 + (r % 7) * 1.25),
            std::to_string(15.25 - (r % 13) * 2.5),
            std::to_string(101.25 + (r % 4) * 0.5)};
}

// Stores `count` records of a new meter, `perBlock` a transaction; false on a store error.
bool storeMeterRecords(RecordStore& store, int address, int count, int perBlock, benchmark::State& state)
{
    const std::optional<qint64> meter = store.meterAt(QStringLiteral("COM1"), address, 6);
    DownloadStart start;
    start.meterId = meter.value_or(0);
    start.kindCode = 612;
    start.columns = builtIn().recordKind(612)->columns;
    const std::optional<qint64> download = meter ? store.startDownload(start) : std::nullopt;
    std::vector<std::vector<std::string>> block;
    for (int r = 0; download && r < count; r += perBlock) {
        block.clear();
        for (int i = r; i < std::min(count, r + perBlock); ++i)
            block.push_back(record612(i));
        if (!store.storeRows(*download, block, r / perBlock + 1)) {
            state.SkipWithError(store.error().toStdString().c_str());
            return false;
        }
    }
    return download.has_value();
}

void BM_StoreRecords(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        RecordStore store(StoreLocation::sqliteFile(folder.filePath(QStringLiteral("readings.sqlite"))));
        if (!store.open()) {
            state.SkipWithError(store.error().toStdString().c_str());
            return;
        }
        state.ResumeTiming();
        if (!storeMeterRecords(store, 1, 100000, static_cast<int>(state.range(0)), state))
            return;
    }
    state.SetItemsProcessed(state.iterations() * 100000);
    state.SetLabel("kind 612, SQLite, records a transaction: " + std::to_string(state.range(0)));
}
BENCHMARK(BM_StoreRecords)->Arg(5)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_HistoryQuery(benchmark::State& state)
{
    const int hourly = 10 * 8760; // ten years of hourly records
    const int meters = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    RecordStore store(StoreLocation::sqliteFile(folder.filePath(QStringLiteral("readings.sqlite"))));
    if (!store.open()) {
        state.SkipWithError(store.error().toStdString().c_str());
        return;
    }
    for (int address = 1; address <= meters; ++address)
        if (!storeMeterRecords(store, address, hourly, 1000, state))
            return;
    const std::optional<qint64> meter = store.meterAt(QStringLiteral("COM1"), meters / 2 + 1, 6);
    size_t rows = 0;
    for (auto _ : state) {
        const auto history = store.history(*meter, 612);
        rows = history ? history->size() : 0;
        benchmark::DoNotOptimize(rows);
    }
    if (rows != static_cast<size_t>(hourly))
        state.SkipWithError("the history lacks records");
    state.SetLabel(std::to_string(rows) + " rows of " + std::to_string(meters * hourly) + " stored");
}
BENCHMARK(BM_HistoryQuery)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace
