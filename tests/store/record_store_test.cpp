// The store on SQLite and on a real PostgreSQL 15: each record kept once, names
// kept as typed, a newer schema refused, and one clear message for each store
// that cannot be opened.
#include "catalogue/device_registry.h"
#include "store/record_store.h"
#include "support/built_in_registry.h"
#include "support/postgres_cluster.h"
#include "support/temporary_folder.h"
#include "support/unprivileged.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

enum class Engine { Sqlite, Postgres };

// A new empty store of the engine; empty name when it cannot be had.
QString freshStore(Engine engine, const std::filesystem::path& folder)
{
    if (engine == Engine::Postgres)
        return PostgresCluster::shared().createDatabase();
    static int count = 0;
    return QString::fromStdString((folder / ("readings" + std::to_string(++count) + ".sqlite")).string());
}

MeterEntry meterNamed(const QString& name, int address)
{
    MeterEntry meter;
    meter.name = name;
    meter.deviceType = 6;
    meter.address = address;
    meter.port = QStringLiteral("COM3");
    return meter;
}

DownloadStart download612(qint64 meter)
{
    DownloadStart start;
    start.meterId = meter;
    start.kindCode = 612;
    start.columns = builtIn().recordKind(612)->columns;
    return start;
}

std::unique_ptr<RecordStore> openStore(const QString& name)
{
    auto store = std::make_unique<RecordStore>(*parseStoreLocation(name, nullptr));
    store->open();
    return store;
}

// Rows of kind 612 as a read gives them, newest first: "序号", time, five numbers.
std::vector<std::vector<std::string>> rows612(std::initializer_list<int> minutes)
{
    std::vector<std::vector<std::string>> rows;
    int seq = 0;
    for (int minute : minutes)
        rows.push_back({std::to_string(++seq), "2024-01-01 00:" + std::to_string(10 + minute) + ":00",
                        std::to_string(100 + minute) + ".5", "1", "2.00", "-3.25", "101.25"});
    return rows;
}

class RecordStoreTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::Postgres) {
            ASSERT_TRUE(PostgresCluster::shared().running()) << PostgresCluster::shared().error();
        }
        m_folder = makeTemporaryFolder("ql-store");
        m_name = freshStore(GetParam(), m_folder);
        ASSERT_FALSE(m_name.isEmpty()) << PostgresCluster::shared().error();
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::filesystem::path m_folder;
    QString m_name;
};

TEST_P(RecordStoreTest, KeepsEachRecordOnceAndNamesAsTyped)
{
    const QString hostile = QStringLiteral("'; DROP TABLE meter; --");
    const QString quoted = QStringLiteral("O'Brien \"北站\" \\");
    std::optional<qint64> meter;
    {
        std::unique_ptr<RecordStore> store = openStore(m_name);
        ASSERT_TRUE(store->isOpen()) << store->error().toStdString();
        ASSERT_TRUE(store->addMeter(meterNamed(hostile, 9)));
        meter = store->addMeter(meterNamed(quoted, 23));
        ASSERT_TRUE(meter);
        const std::optional<qint64> download = store->startDownload(download612(*meter));
        ASSERT_TRUE(download) << store->error().toStdString();
        const std::vector<std::vector<std::string>> first = rows612({3, 2});
        const std::optional<StoredCounts> counts = store->storeRows(*download, first, 1);
        ASSERT_TRUE(counts) << store->error().toStdString();
        EXPECT_EQ(counts->fresh, 2);
        EXPECT_EQ(counts->known, 0);
    }
    // Read again elsewhere: the running numbers differ, the records are the same.
    std::unique_ptr<RecordStore> store = openStore(m_name);
    ASSERT_TRUE(store->isOpen()) << store->error().toStdString();
    const std::optional<qint64> again = store->startDownload(download612(*meter));
    ASSERT_TRUE(again);
    const std::vector<std::vector<std::string>> second = rows612({4, 3, 2, 1});
    const std::optional<StoredCounts> counts = store->storeRows(*again, second, 1);
    ASSERT_TRUE(counts) << store->error().toStdString();
    EXPECT_EQ(counts->fresh, 2);
    EXPECT_EQ(counts->known, 2);

    const auto history = store->history(*meter, 612);
    ASSERT_TRUE(history);
    std::vector<std::string> times;
    for (const auto& row : *history)
        times.push_back(row.at(1));
    EXPECT_EQ(times, (std::vector<std::string>{"2024-01-01 00:11:00", "2024-01-01 00:12:00",
                                               "2024-01-01 00:13:00", "2024-01-01 00:14:00"}));
    EXPECT_EQ(history->front(), second.back());
    const auto between = store->history(*meter, 612, QDateTime(QDate(2024, 1, 1), QTime(0, 12), Qt::UTC),
                                        QDateTime(QDate(2024, 1, 1), QTime(0, 14), Qt::UTC));
    ASSERT_TRUE(between);
    EXPECT_EQ(between->size(), 2u);

    const auto meters = store->meters();
    ASSERT_TRUE(meters);
    ASSERT_EQ(meters->size(), 2u);
    EXPECT_EQ(meters->at(0).name, hostile);
    EXPECT_EQ(meters->at(1).name, quoted);
    const std::optional<StoreCheck> check = store->check();
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->problems.isEmpty()) << check->problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(check->records, (std::vector<std::pair<int, qint64>>{{612, 4}}));
}

TEST_P(RecordStoreTest, RefusesASchemaNewerThanItKnowsAndLeavesItAlone)
{
    {
        std::unique_ptr<RecordStore> store = openStore(m_name);
        ASSERT_TRUE(store->isOpen()) << store->error().toStdString();
        QSqlQuery query(store->database());
        ASSERT_TRUE(query.exec(QStringLiteral("UPDATE schema_info SET version = 99")));
    }
    std::unique_ptr<RecordStore> store = openStore(m_name);
    EXPECT_FALSE(store->isOpen());
    EXPECT_EQ(store->error().toStdString(),
              "store " + store->location().displayName().toStdString() +
                  ": refused: its schema version 99 is newer than this program's (1); "
                  "use a newer program");
    QSqlQuery query(store->database());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT version FROM schema_info")) && query.next());
    EXPECT_EQ(query.value(0).toInt(), 99);
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordStoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) {
                             return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
                         });

TEST(RecordStorePush, CopiesEverythingOnceFromSqliteToPostgres)
{
    ASSERT_TRUE(PostgresCluster::shared().running()) << PostgresCluster::shared().error();
    const std::filesystem::path folder = makeTemporaryFolder("ql-store");
    std::unique_ptr<RecordStore> laptop =
        openStore(QString::fromStdString((folder / "laptop.sqlite").string()));
    std::unique_ptr<RecordStore> office = openStore(PostgresCluster::shared().createDatabase());
    ASSERT_TRUE(laptop->isOpen() && office->isOpen())
        << laptop->error().toStdString() << office->error().toStdString();
    const std::optional<qint64> meter = laptop->meterAt(QStringLiteral("COM4"), 7, 6);
    const std::optional<qint64> download = laptop->startDownload(download612(*meter));
    ASSERT_TRUE(download);
    ASSERT_TRUE(laptop->storeRows(*download, rows612({1, 2, 3}), 1));
    ASSERT_TRUE(laptop->finishDownload(*download, QStringLiteral("completed")));

    const std::optional<StoredCounts> first = laptop->pushTo(*office);
    const std::optional<StoredCounts> second = laptop->pushTo(*office);

    ASSERT_TRUE(first && second) << laptop->error().toStdString();
    EXPECT_EQ(std::make_pair(first->fresh, first->known), std::make_pair(3, 0));
    EXPECT_EQ(std::make_pair(second->fresh, second->known), std::make_pair(0, 3));
    const auto meters = office->meters();
    ASSERT_TRUE(meters && meters->size() == 1u);
    EXPECT_EQ(meters->front().name, QStringLiteral("COM4 #7"));
    EXPECT_EQ(office->history(meters->front().id, 612), laptop->history(*meter, 612));
    std::filesystem::remove_all(folder);
}

// Each store that cannot be opened says which store and why, in one line.
TEST(RecordStoreOpen, NamesTheStoreAndTheReason)
{
    ASSERT_TRUE(PostgresCluster::shared().running()) << PostgresCluster::shared().error();
    const std::filesystem::path folder = makeTemporaryFolder("ql-store");
    const QString garbage = QString::fromStdString((folder / "readings.sqlite").string());
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    const std::filesystem::path readOnly = folder / "read-only";
    std::filesystem::create_directory(readOnly);
    std::filesystem::permissions(
        readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                      std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    std::filesystem::permissions(folder, std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const QString database = PostgresCluster::shared().createDatabase();
    const QString down = QStringLiteral("postgresql://ql@127.0.0.1:%1/store").arg(freeLocalPort());

    struct Case {
        const char* what;
        QString name;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"garbage file", garbage, "cannot open: file is not a database"},
        {"server down", down, "cannot open: connection to server at \"127.0.0.1\""},
        {"no such database", database + QStringLiteral("x"), "does not exist"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<RecordStore> store = openStore(c.name);
        EXPECT_FALSE(store->isOpen()) << c.what;
        EXPECT_EQ(store->error().indexOf(QStringLiteral("store ") + c.name + QStringLiteral(": ")), 0)
            << c.what << ": " << store->error().toStdString();
        EXPECT_TRUE(store->error().contains(QString::fromUtf8(c.reason)))
            << c.what << ": " << store->error().toStdString();
        EXPECT_FALSE(store->error().contains(QLatin1Char('\n'))) << c.what;
    }

    qputenv("PGPASSWORD", "wrong");
    std::unique_ptr<RecordStore> wrong = openStore(database);
    qputenv("PGPASSWORD", PostgresCluster::kPassword);
    EXPECT_TRUE(wrong->error().contains(QStringLiteral("password authentication failed")))
        << wrong->error().toStdString();

    // As anyone but the folder's owner (root ignores permission bits).
    const QString inReadOnly = QString::fromStdString((readOnly / "readings.sqlite").string());
    EXPECT_EQ(runUnprivileged([&] {
                  std::unique_ptr<RecordStore> store = openStore(inReadOnly);
                  return !store->isOpen() && store->error().startsWith(QStringLiteral("store ") + inReadOnly +
                                                                       QStringLiteral(": cannot open: "))
                             ? 0
                             : 1;
              }),
              0);
    std::filesystem::remove_all(folder);
}

} // namespace
