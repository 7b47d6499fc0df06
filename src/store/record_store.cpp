#include "store/record_store.h"

#include "decoding/record_series.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

constexpr char kCellSeparator = '\x1f'; // never in a decoded cell, unlike TAB or ';'
constexpr int kPushBatch = 2000;
// Rows of one INSERT at most, and values bound to it (SQLite's limit before 3.32).
constexpr size_t kRowsAStatement = 50;
constexpr size_t kValuesAStatement = 999;

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

QString nowUtc()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// Qt binds a null QString as NULL; the book's texts are never NULL.
QVariant textValue(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Table and column names come from numbers only, never from captions.
QString recordTableName(int kindCode)
{
    return QStringLiteral("record_%1").arg(kindCode);
}

QString columnName(int position)
{
    return QStringLiteral("c%1").arg(position);
}

const char* typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Number:
        return "number";
    case ColumnType::Time:
        return "time";
    case ColumnType::Text:
        break;
    }
    return "text";
}

ColumnType typeOfName(const QString& name)
{
    if (name == QLatin1String("number"))
        return ColumnType::Number;
    if (name == QLatin1String("time"))
        return ColumnType::Time;
    return ColumnType::Text;
}

QString joinedCells(const std::vector<std::string>& row)
{
    std::string joined;
    for (size_t i = 1; i < row.size(); ++i) {
        if (i > 1)
            joined += kCellSeparator;
        joined += row[i];
    }
    return QString::fromStdString(joined);
}

std::vector<std::string> splitCells(const QString& seq, const QString& cells)
{
    std::vector<std::string> row{seq.toStdString()};
    const std::string joined = cells.toStdString();
    if (joined.empty() && cells.isNull())
        return row;
    size_t start = 0;
    for (;;) {
        const size_t end = joined.find(kCellSeparator, start);
        row.push_back(joined.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return row;
        start = end + 1;
    }
}

QVariant numberValue(const std::string& cell)
{
    if (const std::optional<double> value = parseChartNumber(cell))
        return *value;
    return QVariant(QMetaType::fromType<double>());
}

// "yyyy-MM-dd HH:mm:ss" of seconds since 1970 (the civil calendar, H. Hinnant's
// days-to-date). Formatting through QDateTime cost more than the insert itself.
QString timeText(int64_t seconds)
{
    const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int64_t second = seconds - days * 86400;
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[32];
    const int length = std::snprintf(
        text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(year),
        static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(second / 3600),
        static_cast<long long>(second / 60 % 60), static_cast<long long>(second % 60));
    return QString::fromLatin1(text, length);
}

// The meter's own clock, which carries no zone: kept as written, sortable text.
QVariant timeValue(const std::string& cell)
{
    if (const std::optional<int64_t> seconds = parseRecordTime(cell))
        return timeText(*seconds);
    return QVariant(QMetaType::fromType<QString>());
}

QVariant timeBound(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

RecordStore::RecordStore(StoreLocation location) : m_location(std::move(location))
{
    static std::atomic<int> serial{0};
    m_connection = QStringLiteral("ql-store-%1").arg(++serial);
}

RecordStore::~RecordStore()
{
    m_inserts.clear();
    m_progress.reset();
    m_begin.reset();
    m_commit.reset();
    m_rollback.reset();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool RecordStore::fail(const QString& what, const QString& reason)
{
    m_error = QStringLiteral("store %1: %2: %3").arg(m_location.displayName(), what, oneLine(reason));
    return false;
}

bool RecordStore::fail(const QString& what, const QSqlQuery& query)
{
    return fail(what, query.lastError().text());
}

bool RecordStore::exec(QSqlQuery& query, const QString& what)
{
    return query.exec() || fail(what, query);
}

bool RecordStore::execSql(const QString& sql, const QString& what)
{
    QSqlQuery query(m_db);
    return query.exec(sql) || fail(what, query);
}

QString RecordStore::sqlType(const char* sqliteType, const char* postgresType) const
{
    return QString::fromLatin1(postgres() ? postgresType : sqliteType);
}

bool RecordStore::open()
{
    const QString driver = postgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("cannot open"),
                    postgres()
                        ? QStringLiteral("Qt's PostgreSQL driver (QPSQL, libqt6sql6-psql) is not installed")
                        : QStringLiteral("Qt's SQLite driver (QSQLITE, libqt6sql6-sqlite) is not installed"));
    m_db = QSqlDatabase::addDatabase(driver, m_connection);
    if (postgres()) {
        m_db.setHostName(m_location.host);
        m_db.setPort(m_location.port);
        m_db.setUserName(m_location.user);
        m_db.setDatabaseName(m_location.database);
        m_db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    } else {
        const QFileInfo file(m_location.file);
        if (!QDir().mkpath(file.absolutePath()))
            return fail(QStringLiteral("cannot open"),
                        QStringLiteral("cannot create the folder %1").arg(file.absolutePath()));
        m_db.setDatabaseName(m_location.file);
        // Another program writing waits this long before "database is locked".
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!m_db.open())
        return fail(QStringLiteral("cannot open"), m_db.lastError().text());
    if (!postgres()) {
        // WAL: readers never block the one writer, and a killed writer leaves
        // every committed transaction whole.
        QSqlQuery wal(m_db);
        if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !wal.next())
            return fail(QStringLiteral("cannot open"), wal.lastError().text());
        if (wal.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            return fail(QStringLiteral("cannot open"),
                        QStringLiteral("cannot use a write-ahead log (journal mode %1)")
                            .arg(wal.value(0).toString()));
        if (!execSql(QStringLiteral("PRAGMA synchronous=NORMAL"), QStringLiteral("cannot open")) ||
            !execSql(QStringLiteral("PRAGMA foreign_keys=ON"), QStringLiteral("cannot open")) ||
            // The identity index's pages stay in memory rather than re-read.
            !execSql(QStringLiteral("PRAGMA cache_size=-65536"), QStringLiteral("cannot open")) ||
            // A block a transaction makes many small commits: the log is copied
            // back (and synced) every 40 MB rather than every 4 MB.
            !execSql(QStringLiteral("PRAGMA wal_autocheckpoint=10000"), QStringLiteral("cannot open")))
            return false;
    }
    int version = 0;
    if (m_db.tables().contains(QStringLiteral("schema_info"))) {
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("SELECT version FROM schema_info")) || !query.next())
            return fail(QStringLiteral("cannot open"), query.lastError().isValid()
                                                           ? query.lastError().text()
                                                           : QStringLiteral("no schema version"));
        version = query.value(0).toInt();
    }
    if (version > kSchemaVersion)
        return fail(QStringLiteral("refused"),
                    QStringLiteral("its schema version %1 is newer than this program's (%2); "
                                   "use a newer program")
                        .arg(version)
                        .arg(kSchemaVersion));
    if (version < kSchemaVersion && !migrate(version))
        return false;
    m_open = true;
    return true;
}

bool RecordStore::migrate(int from)
{
    const QString key = sqlType("INTEGER PRIMARY KEY", "BIGSERIAL PRIMARY KEY");
    const QString id = sqlType("INTEGER", "BIGINT");
    const QString real = sqlType("REAL", "DOUBLE PRECISION");
    // One list per version; a store is moved forward through every step it lacks.
    const std::vector<QStringList> steps{
        {
            QStringLiteral("CREATE TABLE schema_info (version INTEGER NOT NULL)"),
            QStringLiteral("INSERT INTO schema_info (version) VALUES (0)"),
            QStringLiteral("CREATE TABLE meter (id %1, uid TEXT NOT NULL UNIQUE, name TEXT NOT NULL, "
                           "device_type INTEGER NOT NULL DEFAULT 0, address INTEGER NOT NULL DEFAULT 0, "
                           "port TEXT NOT NULL DEFAULT '', serial TEXT NOT NULL DEFAULT '', "
                           "site TEXT NOT NULL DEFAULT '', notes TEXT NOT NULL DEFAULT '', "
                           "every TEXT NOT NULL DEFAULT '', created TEXT NOT NULL, "
                           "retired INTEGER NOT NULL DEFAULT 0)")
                .arg(key),
            QStringLiteral(
                "CREATE TABLE download (id %1, uid TEXT NOT NULL UNIQUE, "
                "meter_id %2 NOT NULL REFERENCES meter(id), kind INTEGER NOT NULL, "
                "started TEXT NOT NULL, ended TEXT, host TEXT NOT NULL DEFAULT '', "
                "program_version TEXT NOT NULL DEFAULT '', blocks_asked INTEGER NOT NULL DEFAULT 0, "
                "blocks_read INTEGER NOT NULL DEFAULT 0, new_records INTEGER NOT NULL DEFAULT 0, "
                "known_records INTEGER NOT NULL DEFAULT 0, outcome TEXT, clock_offset_s %3)")
                .arg(key, id, real),
            QStringLiteral("CREATE INDEX download_meter ON download (meter_id, kind)"),
            QStringLiteral("CREATE TABLE kind_column (kind INTEGER NOT NULL, position INTEGER NOT NULL, "
                           "caption TEXT NOT NULL, type TEXT NOT NULL, PRIMARY KEY (kind, position))"),
            QStringLiteral(
                "CREATE TABLE block_order (meter_id %1 NOT NULL REFERENCES meter(id), "
                "kind INTEGER NOT NULL, newest_first INTEGER NOT NULL, PRIMARY KEY (meter_id, kind))")
                .arg(id),
        },
    };
    for (int version = from; version < kSchemaVersion; ++version) {
        if (!m_db.transaction())
            return fail(QStringLiteral("cannot create its tables"), m_db.lastError().text());
        QStringList statements = steps[static_cast<size_t>(version)];
        statements << QStringLiteral("UPDATE schema_info SET version = %1").arg(version + 1);
        for (const QString& sql : statements) {
            if (!execSql(sql, QStringLiteral("cannot create its tables"))) {
                m_db.rollback();
                return false;
            }
        }
        if (!m_db.commit())
            return fail(QStringLiteral("cannot create its tables"), m_db.lastError().text());
    }
    return true;
}

std::optional<qint64> RecordStore::addMeter(const MeterEntry& meter)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT INTO meter (uid, name, device_type, address, port, serial, site, notes, "
                       "every, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    for (const QVariant& value :
         {QVariant(newUid()), textValue(meter.name), QVariant(meter.deviceType), QVariant(meter.address),
          textValue(meter.port), textValue(meter.serial), textValue(meter.site), textValue(meter.notes),
          textValue(meter.every), QVariant(nowUtc())})
        query.addBindValue(value);
    if (!exec(query, QStringLiteral("cannot add the meter")) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

std::optional<qint64> RecordStore::meterAt(const QString& port, int address, int deviceType)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("SELECT id FROM meter WHERE port = ? AND address = ? AND retired = 0 ORDER BY id"));
    query.addBindValue(port);
    query.addBindValue(address);
    if (!exec(query, QStringLiteral("cannot look up the meter")))
        return std::nullopt;
    if (query.next())
        return query.value(0).toLongLong();
    MeterEntry meter;
    meter.name = QStringLiteral("%1 #%2").arg(port).arg(address);
    meter.port = port;
    meter.address = address;
    meter.deviceType = deviceType;
    return addMeter(meter);
}

std::optional<int> RecordStore::bookTypeAt(const QString& port, int address)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT device_type FROM meter WHERE port = ? AND address = ? AND retired = 0 ORDER BY id"));
    query.addBindValue(port);
    query.addBindValue(address);
    if (!exec(query, QStringLiteral("cannot look up the meter")))
        return std::nullopt;
    return query.next() ? query.value(0).toInt() : 0;
}

std::optional<std::vector<MeterEntry>> RecordStore::meters(bool withRetired)
{
    QSqlQuery query(m_db);
    if (!query.exec(
            QStringLiteral("SELECT id, name, device_type, address, port, serial, site, notes, every, retired "
                           "FROM meter %1 ORDER BY id")
                .arg(withRetired ? QString() : QStringLiteral("WHERE retired = 0")))) {
        fail(QStringLiteral("cannot list the meters"), query);
        return std::nullopt;
    }
    std::vector<MeterEntry> list;
    while (query.next()) {
        MeterEntry meter;
        meter.id = query.value(0).toLongLong();
        meter.name = query.value(1).toString();
        meter.deviceType = query.value(2).toInt();
        meter.address = query.value(3).toInt();
        meter.port = query.value(4).toString();
        meter.serial = query.value(5).toString();
        meter.site = query.value(6).toString();
        meter.notes = query.value(7).toString();
        meter.every = query.value(8).toString();
        meter.retired = query.value(9).toInt() != 0;
        list.push_back(meter);
    }
    return list;
}

bool RecordStore::removeMeter(qint64 meterId, bool withHistory)
{
    const QString what = QStringLiteral("cannot remove meter %1").arg(meterId);
    QSqlQuery query(m_db);
    if (!withHistory) {
        query.prepare(QStringLiteral("UPDATE meter SET retired = 1 WHERE id = ?"));
        query.addBindValue(meterId);
        if (!exec(query, what))
            return false;
        return query.numRowsAffected() > 0 || fail(what, QStringLiteral("no such meter"));
    }
    const std::optional<std::vector<int>> kinds = storedKinds();
    if (!kinds || !m_db.transaction())
        return kinds && fail(what, m_db.lastError().text());
    QStringList tables;
    for (int kind : *kinds)
        tables << recordTableName(kind);
    tables << QStringLiteral("block_order") << QStringLiteral("download");
    for (const QString& table : tables) {
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE meter_id = ?").arg(table));
        query.addBindValue(meterId);
        if (!exec(query, what)) {
            m_db.rollback();
            return false;
        }
    }
    query.prepare(QStringLiteral("DELETE FROM meter WHERE id = ?"));
    query.addBindValue(meterId);
    if (!exec(query, what) || query.numRowsAffected() == 0) {
        m_db.rollback();
        return query.lastError().isValid() ? false : fail(what, QStringLiteral("no such meter"));
    }
    return m_db.commit() || fail(what, m_db.lastError().text());
}

std::optional<std::vector<int>> RecordStore::storedKinds()
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT DISTINCT kind FROM kind_column ORDER BY kind"))) {
        fail(QStringLiteral("cannot list the record kinds"), query);
        return std::nullopt;
    }
    std::vector<int> kinds;
    while (query.next())
        kinds.push_back(query.value(0).toInt());
    return kinds;
}

std::optional<std::vector<TableColumn>> RecordStore::kindColumns(int kindCode)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT caption, type FROM kind_column WHERE kind = ? ORDER BY position"));
    query.addBindValue(kindCode);
    if (!exec(query, QStringLiteral("cannot read the columns of kind %1").arg(kindCode)))
        return std::nullopt;
    std::vector<TableColumn> columns;
    while (query.next())
        columns.push_back(
            {query.value(0).toString().toStdString(), 0, typeOfName(query.value(1).toString())});
    return columns;
}

const RecordStore::KindTable* RecordStore::kindTable(int kindCode)
{
    if (const auto found = m_kinds.find(kindCode); found != m_kinds.end())
        return &found->second;
    const std::optional<std::vector<TableColumn>> columns = kindColumns(kindCode);
    if (!columns || columns->empty())
        return nullptr;
    KindTable table;
    for (size_t i = 1; i < columns->size(); ++i) {
        table.types.push_back((*columns)[i].type);
        if (table.timeColumn == 0 && (*columns)[i].type == ColumnType::Time)
            table.timeColumn = static_cast<int>(i);
    }
    return &m_kinds.emplace(kindCode, table).first->second;
}

const RecordStore::KindTable* RecordStore::ensureKindTable(int kindCode,
                                                           const std::vector<TableColumn>& columns)
{
    const KindTable* existing = kindTable(kindCode);
    const size_t have = existing ? existing->types.size() + 1 : 0;
    if (existing && have >= columns.size())
        return existing;
    const QString what = QStringLiteral("cannot make the table of kind %1").arg(kindCode);
    const QString table = recordTableName(kindCode);
    QStringList statements;
    QStringList typed;
    for (size_t i = std::max<size_t>(have, 1); i < columns.size(); ++i) {
        const QString name = columnName(static_cast<int>(i));
        switch (columns[i].type) {
        case ColumnType::Number:
            typed << name + QLatin1Char(' ') + sqlType("REAL", "DOUBLE PRECISION");
            break;
        case ColumnType::Time:
            // The meter's own text stays beside the time stamp parsed from it.
            typed << name + QStringLiteral(" TEXT")
                  << name + QStringLiteral("_at ") + sqlType("TEXT", "TIMESTAMP");
            break;
        case ColumnType::Text:
            typed << name + QStringLiteral(" TEXT");
            break;
        }
    }
    if (!existing) {
        QString create =
            QStringLiteral("CREATE TABLE %1 (id %2, meter_id %3 NOT NULL REFERENCES meter(id), "
                           "download_id %3 REFERENCES download(id), seq TEXT NOT NULL, cells TEXT NOT NULL")
                .arg(table, sqlType("INTEGER PRIMARY KEY", "BIGSERIAL PRIMARY KEY"),
                     sqlType("INTEGER", "BIGINT"));
        for (const QString& column : typed)
            create += QStringLiteral(", ") + column;
        statements << create + QStringLiteral(", UNIQUE (meter_id, cells))");
        for (size_t i = 1; i < columns.size(); ++i) {
            if (columns[i].type == ColumnType::Time) {
                // The history's order, so neither engine sorts a meter's rows:
                // SQLite's index carries the rowid and puts NULL first already.
                statements << QStringLiteral("CREATE INDEX %1_time ON %1 (meter_id, %2_at%3)")
                                  .arg(table, columnName(static_cast<int>(i)),
                                       postgres() ? QStringLiteral(" NULLS FIRST, id") : QString());
                break;
            }
        }
    } else {
        for (const QString& column : typed)
            statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(table, column);
    }
    if (!m_db.transaction()) {
        fail(what, m_db.lastError().text());
        return nullptr;
    }
    for (const QString& sql : statements) {
        if (!execSql(sql, what)) {
            m_db.rollback();
            return nullptr;
        }
    }
    QSqlQuery insert(m_db);
    insert.prepare(
        QStringLiteral("INSERT INTO kind_column (kind, position, caption, type) VALUES (?, ?, ?, ?)"));
    for (size_t i = have; i < columns.size(); ++i) {
        insert.addBindValue(kindCode);
        insert.addBindValue(static_cast<int>(i));
        insert.addBindValue(QString::fromStdString(columns[i].caption));
        insert.addBindValue(QString::fromLatin1(typeName(columns[i].type)));
        if (!exec(insert, what)) {
            m_db.rollback();
            return nullptr;
        }
    }
    if (!m_db.commit()) {
        fail(what, m_db.lastError().text());
        return nullptr;
    }
    m_kinds.erase(kindCode);
    std::erase_if(m_inserts, [&](const auto& insert) { return std::get<0>(insert.first) == kindCode; });
    return kindTable(kindCode);
}

std::optional<qint64> RecordStore::startDownload(const DownloadStart& start)
{
    if (start.columns.empty()) {
        fail(QStringLiteral("cannot store kind %1").arg(start.kindCode), QStringLiteral("it has no columns"));
        return std::nullopt;
    }
    if (!ensureKindTable(start.kindCode, start.columns))
        return std::nullopt;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT INTO download (uid, meter_id, kind, started, host, program_version, "
                                 "blocks_asked) VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    for (const QVariant& value :
         {QVariant(newUid()), QVariant(start.meterId), QVariant(start.kindCode), QVariant(nowUtc()),
          textValue(start.host), textValue(start.programVersion), QVariant(start.blocksAsked)})
        query.addBindValue(value);
    if (!exec(query, QStringLiteral("cannot start the download")) || !query.next())
        return std::nullopt;
    const qint64 id = query.value(0).toLongLong();
    m_downloads[id] = {start.meterId, start.kindCode};
    return id;
}

QString RecordStore::identityOf(const std::vector<std::string>& row)
{
    return joinedCells(row);
}

size_t RecordStore::rowsAStatement(const KindTable& table)
{
    const size_t values =
        4 + table.types.size() +
        static_cast<size_t>(std::count(table.types.begin(), table.types.end(), ColumnType::Time));
    return std::clamp<size_t>(kValuesAStatement / values, 1, kRowsAStatement);
}

QStringList RecordStore::cellsOf(const QString& identity)
{
    return identity.split(QLatin1Char(kCellSeparator));
}

std::optional<StoredCounts> RecordStore::insertRows(int kindCode, qint64 meterId,
                                                    std::optional<qint64> downloadId,
                                                    std::span<const std::vector<std::string>> rows,
                                                    std::optional<int> progressBlocks)
{
    const KindTable* table = kindTable(kindCode);
    const QString what = QStringLiteral("cannot store the records of kind %1").arg(kindCode);
    if (!table) {
        if (m_error.isEmpty())
            fail(what, QStringLiteral("its table is missing"));
        return std::nullopt;
    }
    QStringList names{QStringLiteral("meter_id"), QStringLiteral("download_id"), QStringLiteral("seq"),
                      QStringLiteral("cells")};
    for (size_t i = 0; i < table->types.size(); ++i) {
        names << columnName(static_cast<int>(i + 1));
        if (table->types[i] == ColumnType::Time)
            names << columnName(static_cast<int>(i + 1)) + QStringLiteral("_at");
    }
    // The rows of a block go in by one statement of that many rows (a round trip
    // per row was most of a server's time); the statement of each size is kept.
    // With the download's progress (the server only): one statement, atomic on
    // its own, instead of four round trips.
    const auto statementFor = [&](int count) -> QSqlQuery* {
        const std::tuple<int, int, bool> key{kindCode, count, progressBlocks.has_value()};
        const auto found = m_inserts.find(key);
        if (found != m_inserts.end())
            return &found->second;
        QStringList marks;
        marks.fill(QStringLiteral("?"), names.size());
        const QString tuple = QStringLiteral("(%1)").arg(marks.join(QStringLiteral(", ")));
        QStringList tuples;
        tuples.fill(tuple, count);
        QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3 ON CONFLICT (meter_id, cells) DO NOTHING")
                          .arg(recordTableName(kindCode), names.join(QStringLiteral(", ")),
                               tuples.join(QStringLiteral(", ")));
        if (progressBlocks)
            sql = QStringLiteral("WITH fresh AS (%1 RETURNING 1) UPDATE download SET blocks_read = ?, "
                                 "new_records = new_records + (SELECT COUNT(*) FROM fresh), "
                                 "known_records = known_records + ? - (SELECT COUNT(*) FROM fresh) "
                                 "WHERE id = ? RETURNING (SELECT COUNT(*) FROM fresh)")
                      .arg(sql);
        QSqlQuery insert(m_db);
        if (!insert.prepare(sql)) {
            fail(what, insert);
            return nullptr;
        }
        return &m_inserts.emplace(key, insert).first->second;
    };
    static const std::string kNoCell;
    StoredCounts counts;
    const size_t perStatement = rowsAStatement(*table);
    for (size_t first = 0; first < rows.size(); first += perStatement) {
        const size_t count = std::min(rows.size() - first, perStatement);
        QSqlQuery* insert = statementFor(static_cast<int>(count));
        if (!insert)
            return std::nullopt;
        for (const std::vector<std::string>& row : rows.subspan(first, count)) {
            insert->addBindValue(meterId);
            insert->addBindValue(downloadId ? QVariant(*downloadId)
                                            : QVariant(QMetaType::fromType<qint64>()));
            insert->addBindValue(QString::fromStdString(row.empty() ? kNoCell : row[0]));
            insert->addBindValue(joinedCells(row));
            for (size_t i = 0; i < table->types.size(); ++i) {
                const std::string& cell = i + 1 < row.size() ? row[i + 1] : kNoCell;
                switch (table->types[i]) {
                case ColumnType::Number:
                    insert->addBindValue(numberValue(cell));
                    break;
                case ColumnType::Time:
                    insert->addBindValue(QString::fromStdString(cell));
                    insert->addBindValue(timeValue(cell));
                    break;
                case ColumnType::Text:
                    insert->addBindValue(QString::fromStdString(cell));
                    break;
                }
            }
        }
        if (progressBlocks) {
            insert->addBindValue(*progressBlocks);
            insert->addBindValue(static_cast<int>(count));
            insert->addBindValue(downloadId.value_or(0));
        }
        if (!exec(*insert, what))
            return std::nullopt;
        if (progressBlocks && !insert->next()) {
            fail(what, QStringLiteral("download %1 is gone").arg(downloadId.value_or(0)));
            return std::nullopt;
        }
        // Rows the conflict clause left out were stored before (or twice in this batch).
        const int fresh = progressBlocks ? insert->value(0).toInt() : std::max(0, insert->numRowsAffected());
        counts.fresh += fresh;
        counts.known += static_cast<int>(count) - fresh;
    }
    return counts;
}

std::optional<StoredCounts>
RecordStore::storeRows(qint64 downloadId, std::span<const std::vector<std::string>> rows, int blocksRead)
{
    const auto download = m_downloads.find(downloadId);
    const QString what = QStringLiteral("cannot store the records");
    if (download == m_downloads.end()) {
        fail(what, QStringLiteral("download %1 was not started here").arg(downloadId));
        return std::nullopt;
    }
    const KindTable* table = kindTable(download->second.kindCode);
    if (postgres() && table && !rows.empty() && rows.size() <= rowsAStatement(*table))
        return insertRows(download->second.kindCode, download->second.meterId, downloadId, rows, blocksRead);
    // A block a transaction. On SQLite BEGIN and COMMIT are kept prepared,
    // since a read makes thousands of small ones; the server cannot prepare them.
    const auto prepared = [&](std::optional<QSqlQuery>& query, const char* sql) -> QSqlQuery& {
        if (!query) {
            query.emplace(m_db);
            query->prepare(QString::fromLatin1(sql));
        }
        return *query;
    };
    const auto begin = [&] {
        return postgres() ? m_db.transaction() || fail(what, m_db.lastError().text())
                          : exec(prepared(m_begin, "BEGIN"), what);
    };
    const auto commit = [&] {
        return postgres() ? m_db.commit() || fail(what, m_db.lastError().text())
                          : exec(prepared(m_commit, "COMMIT"), what);
    };
    const auto rollback = [&] {
        if (postgres())
            m_db.rollback();
        else
            prepared(m_rollback, "ROLLBACK").exec();
    };
    if (!begin())
        return std::nullopt;
    std::optional<StoredCounts> counts =
        insertRows(download->second.kindCode, download->second.meterId, downloadId, rows);
    if (!counts) {
        rollback();
        return std::nullopt;
    }
    if (!m_progress) {
        m_progress.emplace(m_db);
        m_progress->prepare(
            QStringLiteral("UPDATE download SET blocks_read = ?, new_records = new_records + ?, "
                           "known_records = known_records + ? WHERE id = ?"));
    }
    m_progress->addBindValue(blocksRead);
    m_progress->addBindValue(counts->fresh);
    m_progress->addBindValue(counts->known);
    m_progress->addBindValue(downloadId);
    if (!exec(*m_progress, what)) {
        rollback();
        return std::nullopt;
    }
    if (!commit()) {
        rollback();
        return std::nullopt;
    }
    return counts;
}

bool RecordStore::finishDownload(qint64 downloadId, const QString& outcome,
                                 std::optional<double> clockOffsetS)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("UPDATE download SET ended = ?, outcome = ?, clock_offset_s = ? WHERE id = ?"));
    query.addBindValue(nowUtc());
    query.addBindValue(outcome);
    query.addBindValue(clockOffsetS ? QVariant(*clockOffsetS) : QVariant(QMetaType::fromType<double>()));
    query.addBindValue(downloadId);
    m_downloads.erase(downloadId);
    return exec(query, QStringLiteral("cannot finish the download"));
}

std::optional<qint64> RecordStore::addParamRead(qint64 meterId, const QString& host,
                                                const QString& programVersion, const QString& outcome,
                                                std::optional<double> clockOffsetS)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT INTO download (uid, meter_id, kind, started, ended, host, "
                       "program_version, outcome, clock_offset_s) VALUES (?, ?, 0, ?, ?, ?, ?, ?, ?) "
                       "RETURNING id"));
    const QString now = nowUtc();
    for (const QVariant& value :
         {QVariant(newUid()), QVariant(meterId), QVariant(now), QVariant(now), textValue(host),
          textValue(programVersion), textValue(outcome),
          clockOffsetS ? QVariant(*clockOffsetS) : QVariant(QMetaType::fromType<double>())})
        query.addBindValue(value);
    if (!exec(query, QStringLiteral("cannot keep the parameter read")) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

std::optional<QSqlQuery> RecordStore::historyQuery(qint64 meterId, int kindCode, const QDateTime& from,
                                                   const QDateTime& to, bool forwardOnly)
{
    return selectHistory(QStringLiteral("*"), meterId, kindCode, from, to, forwardOnly);
}

std::optional<QSqlQuery> RecordStore::selectHistory(const QString& columns, qint64 meterId, int kindCode,
                                                    const QDateTime& from, const QDateTime& to,
                                                    bool forwardOnly)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(forwardOnly);
    const KindTable* table = kindTable(kindCode);
    if (!table) {
        // A kind never stored: an empty answer of the same shape.
        if (!query.exec(QStringLiteral(
                "SELECT id, NULL AS download_id, '' AS seq, '' AS cells FROM meter WHERE 1 = 0"))) {
            fail(QStringLiteral("cannot read the history"), query);
            return std::nullopt;
        }
        return query;
    }
    QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE meter_id = ?").arg(columns, recordTableName(kindCode));
    const QString time =
        table->timeColumn ? columnName(table->timeColumn) + QStringLiteral("_at") : QString();
    if (!time.isEmpty() && from.isValid())
        sql += QStringLiteral(" AND %1 >= ?").arg(time);
    if (!time.isEmpty() && to.isValid())
        sql += QStringLiteral(" AND %1 < ?").arg(time);
    // Times that did not parse come first on both engines; the time index gives the order.
    if (time.isEmpty())
        sql += QStringLiteral(" ORDER BY id");
    else
        sql += QStringLiteral(" ORDER BY %1%2, id")
                   .arg(time, postgres() ? QStringLiteral(" NULLS FIRST") : QString());
    query.prepare(sql);
    query.addBindValue(meterId);
    if (!time.isEmpty() && from.isValid())
        query.addBindValue(timeBound(from));
    if (!time.isEmpty() && to.isValid())
        query.addBindValue(timeBound(to));
    if (!exec(query, QStringLiteral("cannot read the history")))
        return std::nullopt;
    return query;
}

std::optional<std::vector<std::vector<std::string>>>
RecordStore::history(qint64 meterId, int kindCode, const QDateTime& from, const QDateTime& to)
{
    // Only the two texts the rows are made of: every other column would be
    // fetched and converted for nothing.
    std::optional<QSqlQuery> query =
        selectHistory(QStringLiteral("seq, cells"), meterId, kindCode, from, to, true);
    if (!query)
        return std::nullopt;
    const int seq = query->record().indexOf(QStringLiteral("seq"));
    const int cells = query->record().indexOf(QStringLiteral("cells"));
    std::vector<std::vector<std::string>> rows;
    while (query->next())
        rows.push_back(splitCells(query->value(seq).toString(), query->value(cells).toString()));
    return rows;
}

BlockOrder RecordStore::blockOrder(qint64 meterId, int kindCode)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT newest_first FROM block_order WHERE meter_id = ? AND kind = ?"));
    query.addBindValue(meterId);
    query.addBindValue(kindCode);
    if (!exec(query, QStringLiteral("cannot read the block order")) || !query.next())
        return BlockOrder::Unknown;
    return query.value(0).toInt() ? BlockOrder::NewestFirst : BlockOrder::OldestFirst;
}

bool RecordStore::setBlockOrder(qint64 meterId, int kindCode, BlockOrder order)
{
    if (order == BlockOrder::Unknown)
        return true;
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT INTO block_order (meter_id, kind, newest_first) VALUES (?, ?, ?) "
                       "ON CONFLICT (meter_id, kind) DO UPDATE SET newest_first = excluded.newest_first"));
    query.addBindValue(meterId);
    query.addBindValue(kindCode);
    query.addBindValue(order == BlockOrder::NewestFirst ? 1 : 0);
    return exec(query, QStringLiteral("cannot keep the block order"));
}

std::optional<StoreCheck> RecordStore::check()
{
    StoreCheck report;
    QSqlQuery query(m_db);
    const auto count = [&](const QString& table) -> std::optional<qint64> {
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) || !query.next()) {
            fail(QStringLiteral("cannot count %1").arg(table), query);
            return std::nullopt;
        }
        return query.value(0).toLongLong();
    };
    if (!query.exec(QStringLiteral("SELECT version FROM schema_info")) || !query.next()) {
        fail(QStringLiteral("cannot read the schema version"), query);
        return std::nullopt;
    }
    report.schemaVersion = query.value(0).toInt();
    const std::optional<qint64> meters = count(QStringLiteral("meter"));
    const std::optional<qint64> downloads = count(QStringLiteral("download"));
    const std::optional<std::vector<int>> kinds = storedKinds();
    if (!meters || !downloads || !kinds)
        return std::nullopt;
    report.meters = *meters;
    report.downloads = *downloads;
    for (int kind : *kinds) {
        if (!m_db.tables().contains(recordTableName(kind))) {
            report.problems << QStringLiteral("kind %1: its table is missing").arg(kind);
            continue;
        }
        const std::optional<qint64> rows = count(recordTableName(kind));
        if (!rows)
            return std::nullopt;
        report.records.emplace_back(kind, *rows);
    }
    if (!postgres()) {
        // The server keeps its own pages sound; a file can be damaged behind our back.
        for (const QString& pragma :
             {QStringLiteral("PRAGMA integrity_check"), QStringLiteral("PRAGMA foreign_key_check")}) {
            if (!query.exec(pragma)) {
                report.problems << oneLine(query.lastError().text());
                continue;
            }
            while (query.next()) {
                const QString line = query.value(0).toString();
                if (line != QLatin1String("ok"))
                    report.problems << QStringLiteral("%1: %2").arg(pragma.mid(7), line);
            }
        }
    }
    return report;
}

std::optional<StoredCounts> RecordStore::pushTo(RecordStore& target)
{
    const auto targetFailed = [&]() -> std::optional<StoredCounts> {
        m_error = target.error();
        return std::nullopt;
    };
    // Meters and downloads are matched by their uid, which travels with them.
    std::map<qint64, qint64> meterIds, downloadIds;
    QSqlQuery source(m_db);
    if (!source.exec(
            QStringLiteral("SELECT id, uid, name, device_type, address, port, serial, site, notes, every, "
                           "created, retired FROM meter ORDER BY id"))) {
        fail(QStringLiteral("cannot read the meters"), source);
        return std::nullopt;
    }
    while (source.next()) {
        QSqlQuery upsert(target.m_db);
        upsert.prepare(
            QStringLiteral("INSERT INTO meter (uid, name, device_type, address, port, serial, site, notes, "
                           "every, created, retired) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                           "ON CONFLICT (uid) DO NOTHING"));
        for (int i = 1; i <= 11; ++i)
            upsert.addBindValue(source.value(i));
        QSqlQuery id(target.m_db);
        id.prepare(QStringLiteral("SELECT id FROM meter WHERE uid = ?"));
        id.addBindValue(source.value(1));
        if (!target.exec(upsert, QStringLiteral("cannot copy a meter")) ||
            !target.exec(id, QStringLiteral("cannot copy a meter")) || !id.next())
            return targetFailed();
        meterIds[source.value(0).toLongLong()] = id.value(0).toLongLong();
    }
    if (!source.exec(
            QStringLiteral("SELECT id, uid, meter_id, kind, started, ended, host, program_version, "
                           "blocks_asked, blocks_read, new_records, known_records, outcome, clock_offset_s "
                           "FROM download ORDER BY id"))) {
        fail(QStringLiteral("cannot read the downloads"), source);
        return std::nullopt;
    }
    while (source.next()) {
        QSqlQuery upsert(target.m_db);
        upsert.prepare(
            QStringLiteral("INSERT INTO download (uid, meter_id, kind, started, ended, host, "
                           "program_version, blocks_asked, blocks_read, new_records, known_records, "
                           "outcome, clock_offset_s) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                           "ON CONFLICT (uid) DO NOTHING"));
        upsert.addBindValue(source.value(1));
        upsert.addBindValue(meterIds[source.value(2).toLongLong()]);
        for (int i = 3; i <= 13; ++i)
            upsert.addBindValue(source.value(i));
        QSqlQuery id(target.m_db);
        id.prepare(QStringLiteral("SELECT id FROM download WHERE uid = ?"));
        id.addBindValue(source.value(1));
        if (!target.exec(upsert, QStringLiteral("cannot copy a download")) ||
            !target.exec(id, QStringLiteral("cannot copy a download")) || !id.next())
            return targetFailed();
        downloadIds[source.value(0).toLongLong()] = id.value(0).toLongLong();
    }
    const std::optional<std::vector<int>> kinds = storedKinds();
    if (!kinds)
        return std::nullopt;
    StoredCounts total;
    for (int kind : *kinds) {
        const std::optional<std::vector<TableColumn>> columns = kindColumns(kind);
        if (!columns || !target.ensureKindTable(kind, *columns))
            return columns ? targetFailed() : std::nullopt;
        if (!source.exec(QStringLiteral("SELECT meter_id, download_id, seq, cells FROM %1 ORDER BY id")
                             .arg(recordTableName(kind)))) {
            fail(QStringLiteral("cannot read the records of kind %1").arg(kind), source);
            return std::nullopt;
        }
        // Rows of one meter and download travel together, a batch per transaction.
        bool more = source.next();
        while (more) {
            if (!target.m_db.transaction()) {
                target.fail(QStringLiteral("cannot copy records"), target.m_db.lastError().text());
                return targetFailed();
            }
            int batch = 0;
            while (more && batch < kPushBatch) {
                const qint64 meter = meterIds[source.value(0).toLongLong()];
                const std::optional<qint64> download =
                    source.value(1).isNull()
                        ? std::nullopt
                        : std::optional<qint64>(downloadIds[source.value(1).toLongLong()]);
                std::vector<std::vector<std::string>> rows;
                while (more && batch < kPushBatch && meterIds[source.value(0).toLongLong()] == meter &&
                       (source.value(1).isNull()
                            ? !download
                            : download && downloadIds[source.value(1).toLongLong()] == *download)) {
                    rows.push_back(splitCells(source.value(2).toString(), source.value(3).toString()));
                    ++batch;
                    more = source.next();
                }
                const std::optional<StoredCounts> counts = target.insertRows(kind, meter, download, rows);
                if (!counts) {
                    target.m_db.rollback();
                    return targetFailed();
                }
                total.fresh += counts->fresh;
                total.known += counts->known;
            }
            if (!target.m_db.commit()) {
                target.fail(QStringLiteral("cannot copy records"), target.m_db.lastError().text());
                target.m_db.rollback();
                return targetFailed();
            }
        }
    }
    return total;
}

bool RecordStore::updateMeterTexts(qint64 meterId, const QString& name, const QString& site,
                                   const QString& notes)
{
    const QString what = QStringLiteral("cannot change meter %1").arg(meterId);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE meter SET name = ?, site = ?, notes = ? WHERE id = ?"));
    query.addBindValue(textValue(name));
    query.addBindValue(textValue(site));
    query.addBindValue(textValue(notes));
    query.addBindValue(meterId);
    if (!exec(query, what))
        return false;
    return query.numRowsAffected() > 0 || fail(what, QStringLiteral("no such meter"));
}

std::optional<std::map<qint64, MeterActivity>> RecordStore::meterActivity()
{
    std::map<qint64, MeterActivity> activity;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT d.meter_id, d.started, d.outcome, d.kind FROM download d "
                           "WHERE d.id = (SELECT MAX(id) FROM download WHERE meter_id = d.meter_id)"))) {
        fail(QStringLiteral("cannot list the downloads"), query);
        return std::nullopt;
    }
    while (query.next()) {
        MeterActivity& meter = activity[query.value(0).toLongLong()];
        meter.lastStarted = query.value(1).toString();
        meter.lastOutcome = query.value(2).toString();
        meter.lastKind = query.value(3).toInt();
    }
    const std::optional<std::vector<int>> kinds = storedKinds();
    if (!kinds)
        return std::nullopt;
    for (int kind : *kinds) {
        // The identity index starts with meter_id, so this counts from the index alone.
        if (!query.exec(QStringLiteral("SELECT meter_id, COUNT(*) FROM %1 GROUP BY meter_id")
                            .arg(recordTableName(kind)))) {
            fail(QStringLiteral("cannot count the records of kind %1").arg(kind), query);
            return std::nullopt;
        }
        while (query.next())
            activity[query.value(0).toLongLong()].records.emplace_back(kind, query.value(1).toLongLong());
    }
    return activity;
}

std::optional<QSqlQuery> RecordStore::downloadsQuery(qint64 meterId)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id, kind, started, ended, blocks_asked, blocks_read, new_records, "
                                 "known_records, outcome, clock_offset_s FROM download WHERE meter_id = ? "
                                 "ORDER BY id DESC"));
    query.addBindValue(meterId);
    if (!exec(query, QStringLiteral("cannot list the downloads")))
        return std::nullopt;
    return query;
}
