// `read`, `dump`, `book`, `history` and `db` with a store, on SQLite and on a
// real PostgreSQL 15: records kept once, a re-read of new records only, and a
// dump killed in the middle leaving a sound store.
#include "cli_process.h"

#include "store/record_store.h"
#include "support/postgres_cluster.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>

namespace {

enum class Engine { Sqlite, Postgres };

class StoreCliTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        if (GetParam() == Engine::Postgres) {
            ASSERT_TRUE(PostgresCluster::shared().running()) << PostgresCluster::shared().error();
            m_db = PostgresCluster::shared().createDatabase();
        } else {
            m_db = m_folder.filePath(QStringLiteral("readings.sqlite"));
        }
        ASSERT_FALSE(m_db.isEmpty()) << PostgresCluster::shared().error();
    }

    QTemporaryDir m_folder;
    QString m_db;
};

TEST_P(StoreCliTest, ReadTwiceKeepsEachRecordOnceAndHistoryGivesItsRows)
{
    // The symlink keeps the port's name, and so the meter, the same for both reads.
    const QString line = m_folder.filePath(QStringLiteral("line"));
    SimProcess sim({"--type", "6", "--records", "12", "--link", line});
    ASSERT_FALSE(sim.pty().isEmpty());

    const CliResult first = runCli({"read", "--port", line, "--kind", "612", "--fast", "--db", m_db});
    const CliResult second = runCli({"read", "--port", line, "--kind", "612", "--fast", "--db", m_db});
    const CliResult book = runCli({"book", "list", "--db", m_db});
    const CliResult history = runCli({"history", "--db", m_db, "--meter", "1", "--kind", "612"});

    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out.rfind("result 4\nstored 12 0\ncolumns\t", 0), 0u) << first.out;
    EXPECT_EQ(second.out.rfind("result 4\nstored 0 12\n", 0), 0u) << second.out;
    EXPECT_EQ(book.out, "meter 1 " + line.toStdString() + " #23 6 " + line.toStdString() + " 23\n");
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_EQ(linesStartingWith(history.out, ""), linesStartingWith(first.out, "row\t"));
}

TEST_P(StoreCliTest, BookKeepsNamesAsTypedAndRetiresMeters)
{
    const std::string hostile = "'; DROP TABLE meter; --";
    const CliResult added = runCli({"book", "add", "--db", m_db, "--name", QString::fromStdString(hostile),
                                    "--port", "COM3", "--addr", "5", "--type", "6", "--every", "1h"});
    const CliResult listed = runCli({"book", "list", "--db", m_db});
    const CliResult removed = runCli({"book", "remove", "--db", m_db, "--meter", "1"});
    const CliResult after = runCli({"book", "list", "--db", m_db});
    const CliResult check = runCli({"db", "check", "--db", m_db});

    EXPECT_EQ(added.out, "meter 1\n") << added.err;
    EXPECT_EQ(listed.out, "meter 1 " + hostile + " 6 COM3 5\n");
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(after.out, "");
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out, "schema 1\nmeters 1\ndownloads 0\nsound\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreCliTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) {
                             return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
                         });

TEST(StoreCli, ReadNewAsksOnlyTheBlocksOfTheNewRecords)
{
    QTemporaryDir folder;
    const QString line = folder.filePath(QStringLiteral("line"));
    const QString db = folder.filePath(QStringLiteral("readings.sqlite"));
    CliResult whole, fresh;
    {
        SimProcess sim({"--type", "6", "--records", "100", "--link", line});
        whole = runCli({"read", "--port", line, "--kind", "612", "--fast", "--db", db});
    }
    {
        SimProcess sim({"--type", "6", "--records", "112", "--link", line});
        fresh = runCli({"read", "--port", line, "--kind", "612", "--fast", "--db", db, "--new"});
    }
    const CliResult history = runCli({"history", "--db", db, "--meter", "1", "--kind", "612"});

    EXPECT_EQ(linesStartingWith(whole.out, "stored"), std::vector<std::string>{"stored 100 0"}) << whole.err;
    // Five records a block: the block of the last stored record, the three that
    // hold the 12 and the blank slot after them; 17 rows in all.
    EXPECT_EQ(linesStartingWith(fresh.out, "stored"), std::vector<std::string>{"stored 12 5"}) << fresh.err;
    EXPECT_EQ(linesStartingWith(history.out, "row\t").size(), 112u);
}

TEST(StoreCli, PushCopiesALaptopStoreToTheServerOnce)
{
    ASSERT_TRUE(PostgresCluster::shared().running()) << PostgresCluster::shared().error();
    QTemporaryDir folder;
    const QString laptop = folder.filePath(QStringLiteral("readings.sqlite"));
    const QString office = PostgresCluster::shared().createDatabase();
    SimProcess sim({"--type", "6", "--records", "12"});
    const CliResult read = runCli({"read", "--port", sim.pty(), "--kind", "612", "--fast", "--db", laptop});
    ASSERT_EQ(read.exitCode, 0) << read.err;

    const CliResult first = runCli({"db", "push", "--from", laptop, "--to", office});
    const CliResult second = runCli({"db", "push", "--from", laptop, "--to", office});
    const CliResult history = runCli({"history", "--db", office, "--meter", "1", "--kind", "612"});

    EXPECT_EQ(first.out, "pushed 12 0\n") << first.err;
    EXPECT_EQ(second.out, "pushed 0 12\n") << second.err;
    EXPECT_EQ(linesStartingWith(history.out, ""), linesStartingWith(read.out, "row\t"));
}

// Rows in the record tables, and rows the downloads say they stored: equal
// when every block went in whole with its progress.
std::pair<qint64, qint64> storedAndCounted(const QString& file)
{
    RecordStore store(*parseStoreLocation(file, nullptr));
    if (!store.open())
        return {-1, -1};
    // Held in a variable: a range over a member of the returned temporary
    // would outlive it.
    const std::optional<StoreCheck> report = store.check();
    if (!report)
        return {-1, -1};
    qint64 rows = 0;
    for (const auto& [kind, count] : report->records)
        rows += count;
    QSqlQuery query(store.database());
    query.exec(QStringLiteral("SELECT SUM(new_records) FROM download"));
    return {rows, query.next() ? query.value(0).toLongLong() : -1};
}

TEST(StoreCli, DumpKilledInTheMiddleLeavesTheBlocksItStored)
{
    QTemporaryDir folder;
    const QString db = folder.filePath(QStringLiteral("readings.sqlite"));
    SimProcess sim({"--type", "6", "--records", "40"});
    QProcess dump;
    dump.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-cli"), {"dump", "--port", sim.pty(), "--db", db, "--out",
                                                            folder.filePath(QStringLiteral("meter.xlsx"))});
    ASSERT_TRUE(dump.waitForStarted());
    // Paced reading takes seconds per kind: kill it once some blocks are in.
    qint64 stored = 0;
    for (int i = 0; i < 300 && stored < 3; ++i) {
        QThread::msleep(100);
        if (QFile::exists(db))
            stored = storedAndCounted(db).first;
    }
    dump.kill();
    dump.waitForFinished();
    ASSERT_GE(stored, 3) << dump.readAllStandardError().toStdString();

    const CliResult check = runCli({"db", "check", "--db", db});
    const auto [rows, counted] = storedAndCounted(db);

    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_EQ(linesStartingWith(check.out, "sound"), std::vector<std::string>{"sound"});
    EXPECT_GE(rows, stored);
    EXPECT_EQ(rows, counted);
}

// Another program holding the file's write lock: one line naming the store and
// the reason, and the read goes on to print every row it read.
TEST(StoreCli, LockedStoreIsToldOnceAndTheReadGoesOn)
{
    QTemporaryDir folder;
    const QString db = folder.filePath(QStringLiteral("readings.sqlite"));
    ASSERT_TRUE(RecordStore(StoreLocation::sqliteFile(db)).open());
    CliResult read;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(db);
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        SimProcess sim({"--type", "6", "--records", "10"});
        read = runCli({"read", "--port", sim.pty(), "--kind", "612", "--fast", "--db", db});
        lock.exec(QStringLiteral("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));

    EXPECT_EQ(read.exitCode, 2);
    EXPECT_EQ(read.err.rfind("ql-rs485-cli read: store " + db.toStdString() + ": ", 0), 0u) << read.err;
    EXPECT_NE(read.err.find("database is locked"), std::string::npos) << read.err;
    EXPECT_EQ(std::count(read.err.begin(), read.err.end(), '\n'), 1) << read.err;
    EXPECT_EQ(read.out.rfind("result 4\ncolumns\t", 0), 0u) << read.out;
    EXPECT_EQ(linesStartingWith(read.out, "row\t").size(), 10u);
}

// A parameter read with --db is kept under the meter, with the meter's clock
// minus the PC's where the type reports its time (the simulated meter's clock
// starts at 2024-03-15 10:30:00).
TEST(StoreCli, ParamsKeepTheMetersClockOffset)
{
    struct Case {
        const char* type;
        bool reportsClock;
    };
    for (const Case& c : {Case{"6", true}, Case{"1", false}}) {
        QTemporaryDir folder;
        const QString db = folder.filePath(QStringLiteral("readings.sqlite"));
        SimProcess sim({"--type", c.type});
        const CliResult params = runCli({"params", "--port", sim.pty(), "--type", c.type, "--db", db});
        const QDateTime now = QDateTime::currentDateTime();
        const qint64 pcLocal = now.toSecsSinceEpoch() + now.offsetFromUtc();
        const qint64 meterClock = QDateTime(QDate(2024, 3, 15), QTime(10, 30), Qt::UTC).toSecsSinceEpoch();

        RecordStore store(StoreLocation::sqliteFile(db));
        ASSERT_TRUE(store.open()) << store.error().toStdString();
        QSqlQuery query(store.database());
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT m.device_type, d.kind, d.outcome, d.clock_offset_s "
                                              "FROM download d JOIN meter m ON m.id = d.meter_id")));
        ASSERT_TRUE(query.next()) << c.type << ": " << params.err;
        EXPECT_EQ(params.exitCode, 0) << params.err;
        EXPECT_EQ(query.value(0).toString(), QString::fromLatin1(c.type));
        EXPECT_EQ(query.value(1).toInt(), 0) << c.type;
        EXPECT_EQ(query.value(2).toString(), QStringLiteral("completed")) << c.type;
        EXPECT_EQ(query.value(3).isNull(), !c.reportsClock) << c.type;
        if (c.reportsClock) {
            EXPECT_NEAR(query.value(3).toDouble(), static_cast<double>(meterClock - pcLocal), 60.0);
        }
        EXPECT_FALSE(query.next()) << c.type;
    }
}

// The meter book's type for the meter on a port and address is probed first by
// a fast identification; identifying adds nothing to the book.
TEST(StoreCli, FastIdentifyAsksTheBooksTypeFirst)
{
    QTemporaryDir folder;
    const QString db = folder.filePath(QStringLiteral("readings.sqlite"));
    const QString line = folder.filePath(QStringLiteral("line"));
    SimProcess sim({"--type", "6", "--link", line});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult added =
        runCli({"book", "add", "--db", db, "--name", "north", "--port", line, "--addr", "23", "--type", "6"});
    ASSERT_EQ(added.exitCode, 0) << added.err;

    const CliResult identified = runCli({"identify", "--port", line, "--fast", "--db", db});
    const CliResult book = runCli({"book", "list", "--db", db});

    EXPECT_EQ(identified.exitCode, 0) << identified.err;
    EXPECT_EQ(identified.out, "6\n");
    EXPECT_EQ(linesStartingWith(book.out, "meter ").size(), 1u) << book.out;
}

} // namespace
