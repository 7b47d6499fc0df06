#include "app/read_storing.h"

#include "ql_version.h"

#include <QSysInfo>

namespace {

StoringOutcome failed(const QString& reason)
{
    StoringOutcome outcome;
    outcome.message = QStringLiteral("记录未能存入数据库（表中的记录仍在，可照常导出）：%1").arg(reason);
    return outcome;
}

} // namespace

std::optional<StoreLocation> storeLocationOf(const StoreChoice& choice, const QString& defaultFile,
                                             QString* error)
{
    switch (choice.mode) {
    case StoreChoice::Mode::Off:
        return std::nullopt;
    case StoreChoice::Mode::DefaultFile:
        return StoreLocation::sqliteFile(defaultFile);
    case StoreChoice::Mode::File:
        return StoreLocation::sqliteFile(choice.location);
    case StoreChoice::Mode::Server:
        break;
    }
    QString reason;
    std::optional<StoreLocation> location = parseStoreLocation(choice.location, &reason);
    if (location && location->engine != StoreLocation::Engine::Postgres) {
        reason = QStringLiteral("not a postgresql:// address");
        location.reset();
    }
    if (!location && error)
        *error = QStringLiteral("store %1: %2").arg(choice.location, reason);
    return location;
}

StoringOutcome storeFinishedRead(RecordStore& store, const FinishedRead& read)
{
    if (!read.table || read.table->columns().empty())
        return {};
    const std::optional<qint64> meter = store.meterAt(read.port, read.address, read.deviceType);
    if (!meter)
        return failed(store.error());
    DownloadStart start;
    start.meterId = *meter;
    start.kindCode = read.kindCode;
    start.columns = read.table->columns();
    start.blocksAsked = read.blocksAsked;
    start.host = QSysInfo::machineHostName();
    start.programVersion = QString::fromLatin1(kQlVersion);
    const std::optional<qint64> download = store.startDownload(start);
    if (!download)
        return failed(store.error());
    const std::optional<StoredCounts> counts =
        store.storeRows(*download, read.table->rows(), read.blocksRead);
    // The download ends with its outcome even when its rows could not be stored.
    const bool finished = store.finishDownload(*download, read.outcome, read.clockOffsetS);
    if (!counts || !finished)
        return failed(store.error());
    StoringOutcome outcome;
    outcome.stored = true;
    outcome.counts = *counts;
    outcome.message = QStringLiteral("已保存%1条新记录，%2条已存在").arg(counts->fresh).arg(counts->known);
    return outcome;
}

StoringOutcome storeFinishedRead(const StoreChoice& choice, const QString& defaultFile,
                                 const FinishedRead& read)
{
    QString error;
    const std::optional<StoreLocation> location = storeLocationOf(choice, defaultFile, &error);
    if (!location)
        return error.isEmpty() ? StoringOutcome{} : failed(error);
    RecordStore store(*location);
    if (!store.open())
        return failed(store.error());
    return storeFinishedRead(store, read);
}
