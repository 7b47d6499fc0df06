// The store on SQLite and on a throwaway PostgreSQL 15 cluster: 100,000 records
// of kind 612 stored a block per transaction (five records, as a read of kind
// 612 stores them, or larger batches), and one meter's history of a kind over
// ten years of hourly records in a store of five million.
#include "catalogue/device_registry.h"
#include "store/record_store.h"
#include "support/postgres_cluster.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

enum Engine { kSqlite = 0, kPostgres = 1 };

constexpr int kHourly = 10 * 8760; // ten years of hourly records
constexpr int kHistoryMeters = 57; // 57 × 87,600 ≈ five million records

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

const char* engineName(int engine)
{
    return engine == kPostgres ? "PostgreSQL" : "SQLite";
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

// The decoded rows a read hands to the store, made once: the timing is the store's.
const std::vector<std::vector<std::string>>& rows612()
{
    static const std::vector<std::vector<std::string>> rows = [] {
        std::vector<std::vector<std::string>> made;
        made.reserve(100000);
        for (int r = 0; r < 100000; ++r)
            made.push_back(record612(r));
        return made;
    }();
    return rows;
}

// A new empty store: a file in `folder`, or a new database of the cluster.
QString emptyStore(int engine, const QTemporaryDir& folder, benchmark::State& state)
{
    if (engine == kSqlite)
        return folder.filePath(QStringLiteral("readings.sqlite"));
    PostgresCluster& cluster = PostgresCluster::shared();
    const QString name = cluster.createDatabase();
    if (name.isEmpty())
        state.SkipWithError(("no PostgreSQL cluster: " + cluster.error()).c_str());
    return name;
}

std::optional<qint64> startDownload612(RecordStore& store, int address)
{
    const std::optional<qint64> meter = store.meterAt(QStringLiteral("COM1"), address, 6);
    DownloadStart start;
    start.meterId = meter.value_or(0);
    start.kindCode = 612;
    start.columns = builtIn().recordKind(612)->columns;
    return meter ? store.startDownload(start) : std::nullopt;
}

void BM_StoreRecords(benchmark::State& state)
{
    const int engine = static_cast<int>(state.range(0));
    const int perBlock = static_cast<int>(state.range(1));
    const std::vector<std::vector<std::string>>& rows = rows612();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        const QString name = emptyStore(engine, folder, state);
        if (name.isEmpty())
            return;
        RecordStore store(*parseStoreLocation(name, nullptr));
        if (!store.open()) {
            state.SkipWithError(store.error().toStdString().c_str());
            return;
        }
        state.ResumeTiming();
        const std::optional<qint64> download = startDownload612(store, 1);
        for (size_t r = 0; download && r < rows.size(); r += static_cast<size_t>(perBlock)) {
            const std::span<const std::vector<std::string>> block(
                rows.data() + r, std::min(rows.size() - r, static_cast<size_t>(perBlock)));
            if (!store.storeRows(*download, block, static_cast<int>(r) / perBlock + 1)) {
                state.SkipWithError(store.error().toStdString().c_str());
                return;
            }
        }
        if (!download || !store.finishDownload(*download, QStringLiteral("completed"))) {
            state.SkipWithError(store.error().toStdString().c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rows.size()));
    state.SetLabel(std::string("kind 612, ") + engineName(engine) +
                   ", records a transaction: " + std::to_string(perBlock));
}
BENCHMARK(BM_StoreRecords)
    ->Args({kSqlite, 5})
    ->Args({kSqlite, 500})
    ->Args({kPostgres, 5})
    ->Args({kPostgres, 500})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// The five million records written by the database itself in one statement:
// a hundred and twenty monthly downloads of every meter, in turn, as a
// collector leaves them. Cells are written as std::to_string writes them.
QString generatedRecords(int engine)
{
    const QString number = engine == kPostgres ? QStringLiteral("round((%1)::numeric, 6)::text")
                                               : QStringLiteral("printf('%.6f', %1)");
    const QString sep = engine == kPostgres ? QStringLiteral("chr(31)") : QStringLiteral("char(31)");
    const QStringList values{
        QStringLiteral("10500.5678 + r * 13.0625 + m"), QStringLiteral("10000.1234 + r * 12.3456"),
        QStringLiteral("30.0 + (r % 7) * 1.25"), QStringLiteral("15.25 - (r % 13) * 2.5"),
        QStringLiteral("101.25 + (r % 4) * 0.5")};
    QString cells = QStringLiteral("t");
    for (const QString& value : values)
        cells += QStringLiteral(" || %1 || %2").arg(sep, number.arg(value));
    const QString select = QStringLiteral("SELECT m, (r + 1)%1, %2, t, t%3, %4 FROM rec")
                               .arg(engine == kPostgres ? QStringLiteral("::text") : QString(), cells,
                                    engine == kPostgres ? QStringLiteral("::timestamp") : QString(),
                                    values.join(QStringLiteral(", ")));
    const QString insert =
        QStringLiteral("INSERT INTO record_612 (meter_id, seq, cells, c1, c1_at, c2, c3, c4, c5, c6) ");
    if (engine == kPostgres)
        return QStringLiteral("WITH rec AS (SELECT m, c * 730 + h AS r, "
                              "to_char(timestamp '2016-01-01' + (c * 730 + h) * interval '1 hour', "
                              "'YYYY-MM-DD HH24:MI:SS') AS t FROM generate_series(0, 119) c "
                              "CROSS JOIN generate_series(1, %1) m CROSS JOIN generate_series(0, 729) h) ")
                   .arg(kHistoryMeters) +
               insert + select;
    return QStringLiteral(
               "WITH RECURSIVE chunk(c) AS (SELECT 0 UNION ALL SELECT c + 1 FROM chunk WHERE c < 119), "
               "meter(m) AS (SELECT 1 UNION ALL SELECT m + 1 FROM meter WHERE m < %1), "
               "hour(h) AS (SELECT 0 UNION ALL SELECT h + 1 FROM hour WHERE h < 729), "
               "rec AS (SELECT m, c * 730 + h AS r, datetime(1451606400 + (c * 730 + h) * 3600, "
               "'unixepoch') AS t FROM chunk CROSS JOIN meter CROSS JOIN hour) ")
               .arg(kHistoryMeters) +
           insert + select;
}

// The meters and the kind's table made by the store, the records by one statement.
bool fillHistoryStore(int engine, const QString& name, benchmark::State& state)
{
    QString error;
    {
        RecordStore store(*parseStoreLocation(name, nullptr));
        bool made = store.open();
        for (int address = 1; made && address <= kHistoryMeters; ++address)
            made = startDownload612(store, address).has_value();
        QSqlDatabase db = store.database();
        if (made && db.transaction()) {
            QSqlQuery query(db);
            made =
                query.exec(generatedRecords(engine)) && db.commit() && query.exec(QStringLiteral("ANALYZE"));
            if (!made)
                error = query.lastError().text();
        } else {
            error = store.error();
        }
    }
    if (!error.isEmpty())
        state.SkipWithError(error.toStdString().c_str());
    return error.isEmpty();
}

// The SQLite store is kept between runs: building it takes a minute. A half
// built file is never taken for a whole one.
QString cachedSqliteHistoryStore(benchmark::State& state)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("ql-bench-store"));
    const QString name =
        QDir(folder).filePath(QStringLiteral("history-5m-schema%1.sqlite").arg(RecordStore::kSchemaVersion));
    if (QFile::exists(name))
        return name;
    QDir().mkpath(folder);
    const QString building = name + QStringLiteral(".building");
    QFile::remove(building);
    if (!fillHistoryStore(kSqlite, building, state))
        return {};
    QFile::remove(building + QStringLiteral("-wal"));
    QFile::remove(building + QStringLiteral("-shm"));
    return QFile::rename(building, name) ? name : QString();
}

void BM_HistoryQuery(benchmark::State& state)
{
    const int engine = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    QString name;
    if (engine == kSqlite) {
        name = cachedSqliteHistoryStore(state);
    } else {
        name = emptyStore(engine, folder, state);
        if (!name.isEmpty() && !fillHistoryStore(engine, name, state))
            return;
    }
    if (name.isEmpty())
        return;
    RecordStore store(*parseStoreLocation(name, nullptr));
    if (!store.open()) {
        state.SkipWithError(store.error().toStdString().c_str());
        return;
    }
    const qint64 meter = kHistoryMeters / 2 + 1;
    // The first query after opening reads the pages from the file; the figure
    // is of the store in use (a window asks again for each range or kind).
    QElapsedTimer first;
    first.start();
    size_t rows = store.history(meter, 612).value_or(std::vector<std::vector<std::string>>{}).size();
    state.counters["first_query_ms"] = static_cast<double>(first.nsecsElapsed()) / 1e6;
    for (auto _ : state) {
        const auto history = store.history(meter, 612);
        rows = history ? history->size() : 0;
        benchmark::DoNotOptimize(rows);
    }
    if (rows != static_cast<size_t>(kHourly))
        state.SkipWithError(("the history holds " + std::to_string(rows) + " rows").c_str());
    state.SetLabel(std::string(engineName(engine)) + ", " + std::to_string(rows) + " rows of " +
                   std::to_string(qint64{kHistoryMeters} * kHourly) + " stored");
}
BENCHMARK(BM_HistoryQuery)->Arg(kSqlite)->Arg(kPostgres)->Unit(benchmark::kMillisecond);

} // namespace
