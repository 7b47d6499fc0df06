#include "cli_store.h"

#include "ql_version.h"

#include <QSysInfo>

#include <cstdio>

std::unique_ptr<RecordStore> openCliStore(const std::string& text, const char* command)
{
    QString error;
    const std::optional<StoreLocation> location = parseStoreLocation(QString::fromStdString(text), &error);
    if (!location) {
        std::fprintf(stderr, "ql-rs485-cli %s: --db: %s\n", command, error.toStdString().c_str());
        return nullptr;
    }
    auto store = std::make_unique<RecordStore>(*location);
    if (!store->open()) {
        std::fprintf(stderr, "ql-rs485-cli %s: %s\n", command, store->error().toStdString().c_str());
        return nullptr;
    }
    return store;
}

void CliStoreWriter::report()
{
    if (!m_failed)
        std::fprintf(stderr, "ql-rs485-cli %s: %s\n", m_command, m_store->error().toStdString().c_str());
    m_failed = true;
    m_download.reset();
}

bool CliStoreWriter::useMeter(const std::string& port, int address, int deviceType)
{
    if (!m_store || m_failed)
        return false;
    const std::optional<qint64> meter = m_store->meterAt(QString::fromStdString(port), address, deviceType);
    if (!meter) {
        report();
        return false;
    }
    m_meterId = *meter;
    return true;
}

void CliStoreWriter::begin(int kindCode, const RecordTable& table, int blocksAsked)
{
    m_kindCounts = {};
    m_kindCode = kindCode;
    m_stored = table.rowCount();
    m_download.reset();
    if (!m_store || m_failed || m_meterId == 0)
        return;
    DownloadStart start;
    start.meterId = m_meterId;
    start.kindCode = kindCode;
    start.columns = table.columns();
    start.blocksAsked = blocksAsked;
    start.host = QSysInfo::machineHostName();
    start.programVersion = QString::fromLatin1(kQlVersion);
    m_download = m_store->startDownload(start);
    if (!m_download)
        report();
}

void CliStoreWriter::flush(const RecordTable& table, int blocksRead)
{
    if (!m_download || table.rowCount() <= m_stored)
        return;
    const std::span<const std::vector<std::string>> rows(table.rows().data() + m_stored,
                                                         static_cast<size_t>(table.rowCount() - m_stored));
    const std::optional<StoredCounts> counts = m_store->storeRows(*m_download, rows, blocksRead);
    if (!counts) {
        report();
        return;
    }
    m_stored = table.rowCount();
    m_kindCounts.fresh += counts->fresh;
    m_kindCounts.known += counts->known;
    m_counts.fresh += counts->fresh;
    m_counts.known += counts->known;
    m_perKind[m_kindCode] = m_kindCounts;
}

void CliStoreWriter::finish(const RecordTable& table, int blocksRead, const std::string& outcome)
{
    flush(table, blocksRead);
    if (m_download && !m_store->finishDownload(*m_download, QString::fromStdString(outcome)))
        report();
    m_download.reset();
}

void printStoredLine(const StoredCounts& counts)
{
    std::printf("stored %d %d\n", counts.fresh, counts.known);
}
