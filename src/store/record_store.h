// The readings kept for good: the meter book, the downloads and every record
// read, stored once by what it is (its meter, its kind and its decoded cells
// without the running number "序号"), in SQLite or PostgreSQL through Qt SQL.
//
// One RecordStore is one connection and belongs to the thread that opened it
// (Qt's rule); another thread opens its own. Every call that can fail returns
// false or nullopt and leaves one line in error(): "store NAME: REASON". A
// failed write never touches the caller's rows, so nothing read is lost.
#pragma once

#include "decoding/record_table.h"
#include "store/store_location.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

struct MeterEntry {
    qint64 id = 0;
    QString name;
    int deviceType = 0;
    int address = 0;
    QString port;
    QString serial, site, notes, every;
    bool retired = false;
};

struct StoredCounts {
    int fresh = 0; // rows the store did not hold yet
    int known = 0; // rows it already held
};

struct DownloadStart {
    qint64 meterId = 0;
    int kindCode = 0;
    std::vector<TableColumn> columns; // the record table's, "序号" first
    int blocksAsked = 0;
    QString host, programVersion;
};

// How the blocks of a kind run on one meter, learnt from a whole read.
enum class BlockOrder { Unknown, NewestFirst, OldestFirst };

struct MeterActivity {
    QString lastStarted; // UTC, ISO 8601
    QString lastOutcome; // empty while the download has not ended
    int lastKind = 0;
    std::vector<std::pair<int, qint64>> records; // kind code, rows stored
};

struct StoreCheck {
    int schemaVersion = 0;
    qint64 meters = 0, downloads = 0;
    std::vector<std::pair<int, qint64>> records; // kind code, rows
    QStringList problems;                        // empty when sound
};

class RecordStore {
public:
    // The schema this program writes; a store with a higher version is refused.
    static constexpr int kSchemaVersion = 1;

    explicit RecordStore(StoreLocation location);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Connects, creates the schema of a new store or migrates an older one forward.
    bool open();
    bool isOpen() const { return m_open; }
    const QString& error() const { return m_error; }
    const StoreLocation& location() const { return m_location; }

    // The meter book. A new meter gets the next id; a meter is never found by its name.
    std::optional<qint64> addMeter(const MeterEntry& meter);
    // The book's meter on this port and address, added as "PORT #ADDR" on first sight.
    std::optional<qint64> meterAt(const QString& port, int address, int deviceType);
    std::optional<std::vector<MeterEntry>> meters(bool withRetired = false);
    // The device type the book holds for the meter on this port and address: 0
    // for none, nullopt when the store cannot be asked.
    std::optional<int> bookTypeAt(const QString& port, int address);
    // Retires the meter (gone from the list, history kept), or deletes it with its
    // history. False for an unknown id.
    bool removeMeter(qint64 meterId, bool withHistory);

    // A download of one kind from one meter; its table is made from the columns
    // when the kind is new to the store, widened when it has more columns now.
    std::optional<qint64> startDownload(const DownloadStart& start);
    // One block's rows in one transaction with the download's progress: all of
    // them stored, or none. Counts them as new and known.
    std::optional<StoredCounts> storeRows(qint64 downloadId, std::span<const std::vector<std::string>> rows,
                                          int blocksRead);
    // `outcome`: the run's outcome value as text; `clockOffsetS`: the meter's
    // clock minus the PC's, where the type reports its time.
    bool finishDownload(qint64 downloadId, const QString& outcome, std::optional<double> clockOffsetS = {});

    // A parameter read of a meter: a download of no record kind (kind 0), ended
    // as it starts, with its outcome and the meter's clock offset where the
    // type reports its time.
    std::optional<qint64> addParamRead(qint64 meterId, const QString& host, const QString& programVersion,
                                       const QString& outcome, std::optional<double> clockOffsetS);

    // The kinds stored, and a kind's columns as stored ("序号" first).
    std::optional<std::vector<int>> storedKinds();
    std::optional<std::vector<TableColumn>> kindColumns(int kindCode);
    // A meter's records of a kind, oldest first by the kind's first time column
    // (or as stored), within [from, to) of that column when given. The columns:
    // id, download_id, seq, cells, then the typed columns c1… — ready for a
    // QSqlQueryModel. nullopt when the query fails; an empty result for a kind
    // never stored.
    // `forwardOnly`: for one pass over the rows, not for a model.
    std::optional<QSqlQuery> historyQuery(qint64 meterId, int kindCode, const QDateTime& from = {},
                                          const QDateTime& to = {}, bool forwardOnly = false);
    // The same records as record-table rows ("序号" as read, then the cells).
    std::optional<std::vector<std::vector<std::string>>>
    history(qint64 meterId, int kindCode, const QDateTime& from = {}, const QDateTime& to = {});

    // How the blocks of a kind run on a meter, once a whole read has shown it.
    BlockOrder blockOrder(qint64 meterId, int kindCode);
    bool setBlockOrder(qint64 meterId, int kindCode, BlockOrder order);

    // Schema version, counts and integrity; nullopt when the store cannot be asked.
    std::optional<StoreCheck> check();
    // Copies every meter, download and record into `target`, matched by the same
    // keys, so a second push adds nothing. Counts the records.
    std::optional<StoredCounts> pushTo(RecordStore& target);

    // The book's own words for a meter: its name, site and notes. False for an unknown id.
    bool updateMeterTexts(qint64 meterId, const QString& name, const QString& site, const QString& notes);
    // Per meter that has any: its last download and the records stored per kind.
    std::optional<std::map<qint64, MeterActivity>> meterActivity();
    // A meter's downloads, newest first: id, kind, started, ended, blocks_asked,
    // blocks_read, new_records, known_records, outcome, clock_offset_s.
    std::optional<QSqlQuery> downloadsQuery(qint64 meterId);

    // The connection, for models over the store in the same thread.
    QSqlDatabase database() const { return m_db; }

    // Record identity: the cells after "序号", joined. Most kinds start with
    // the record time, so the identity index grows at its end.
    static QString identityOf(const std::vector<std::string>& row);
    // The cells of an identity (a record's `cells` column), in column order after "序号".
    static QStringList cellsOf(const QString& identity);

private:
    struct KindTable {
        std::vector<ColumnType> types; // per column after "序号"
        int timeColumn = 0;            // first Time column (1-based), 0 for none
    };
    struct OpenDownload {
        qint64 meterId = 0;
        int kindCode = 0;
    };

    bool fail(const QString& what, const QString& reason);
    bool fail(const QString& what, const QSqlQuery& query);
    bool exec(QSqlQuery& query, const QString& what);
    bool execSql(const QString& sql, const QString& what);
    bool createSchema();
    bool migrate(int from);
    const KindTable* kindTable(int kindCode);
    const KindTable* ensureKindTable(int kindCode, const std::vector<TableColumn>& columns);
    std::optional<QSqlQuery> selectHistory(const QString& columns, qint64 meterId, int kindCode,
                                           const QDateTime& from, const QDateTime& to, bool forwardOnly);
    // `progressBlocks`: also the download's progress, in the same statement (the
    // rows then fit one statement, see rowsAStatement).
    std::optional<StoredCounts> insertRows(int kindCode, qint64 meterId, std::optional<qint64> downloadId,
                                           std::span<const std::vector<std::string>> rows,
                                           std::optional<int> progressBlocks = {});
    static size_t rowsAStatement(const KindTable& table);
    QString sqlType(const char* sqliteType, const char* postgresType) const;
    bool postgres() const { return m_location.engine == StoreLocation::Engine::Postgres; }

    StoreLocation m_location;
    QString m_connection;
    QSqlDatabase m_db;
    bool m_open = false;
    QString m_error;
    std::map<int, KindTable> m_kinds;
    std::map<qint64, OpenDownload> m_downloads;
    std::map<std::tuple<int, int, bool>, QSqlQuery> m_inserts; // by kind, rows, with progress
    std::optional<QSqlQuery> m_progress, m_begin, m_commit, m_rollback;
};
