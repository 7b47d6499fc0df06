#include "store/store_location.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

const QString kScheme = QStringLiteral("postgresql://");

} // namespace

QString StoreLocation::displayName() const
{
    if (engine == Engine::Sqlite)
        return file;
    return kScheme + user + QLatin1Char('@') + host + QLatin1Char(':') + QString::number(port) +
           QLatin1Char('/') + database;
}

std::optional<StoreLocation> parseStoreLocation(const QString& text, QString* error)
{
    StoreLocation location;
    if (!text.startsWith(kScheme, Qt::CaseInsensitive)) {
        if (text.isEmpty()) {
            if (error)
                *error = QStringLiteral("no store named");
            return std::nullopt;
        }
        location.file = text;
        return location;
    }
    static const QRegularExpression uri(
        QStringLiteral("^([A-Za-z0-9_.-]+)(:[^@]*)?@([A-Za-z0-9_.-]+|\\[[0-9A-Fa-f:]+\\])(?::([0-9]{1,5}))?/"
                       "([A-Za-z0-9_.-]+)$"));
    const QRegularExpressionMatch match = uri.match(text.mid(kScheme.size()));
    if (!match.hasMatch()) {
        if (error)
            *error = QStringLiteral("%1: not postgresql://USER@HOST[:PORT]/DB").arg(text);
        return std::nullopt;
    }
    if (match.capturedLength(2) > 0) {
        // Refused rather than used: it would end up in shell histories and the settings file.
        if (error)
            *error =
                QStringLiteral("a password does not belong in the store's name; use ~/.pgpass or PGPASSWORD");
        return std::nullopt;
    }
    location.engine = StoreLocation::Engine::Postgres;
    location.user = match.captured(1);
    location.host = match.captured(3);
    if (location.host.startsWith(QLatin1Char('[')))
        location.host = location.host.mid(1, location.host.size() - 2);
    if (match.capturedLength(4) > 0) {
        location.port = match.captured(4).toInt();
        if (location.port < 1 || location.port > 65535) {
            if (error)
                *error = QStringLiteral("%1: port out of range").arg(text);
            return std::nullopt;
        }
    }
    location.database = match.captured(5);
    return location;
}

QString defaultStoreFile(const QString& programFolder, bool settingsBesideProgram)
{
    const QString name = QStringLiteral("readings.sqlite");
#ifdef Q_OS_WIN
    if (settingsBesideProgram && !programFolder.isEmpty())
        return QDir(programFolder).filePath(name);
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return QDir::fromNativeSeparators(appData) + QStringLiteral("/ql-rs485/") + name;
#else
    Q_UNUSED(programFolder)
    Q_UNUSED(settingsBesideProgram)
#endif
    // The generic folder, so every program of the suite shares one file whatever its
    // own application name.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/ql-rs485/") + name;
}
