// Where the readings are kept: a SQLite file, or a PostgreSQL server named as
// postgresql://USER@HOST[:PORT]/DB. A password never appears here: libpq finds
// it in ~/.pgpass or PGPASSWORD, so nothing writes it into the settings file.
#pragma once

#include <QString>

#include <optional>

struct StoreLocation {
    enum class Engine { Sqlite, Postgres };
    Engine engine = Engine::Sqlite;
    QString file; // Sqlite
    QString user, host, database;
    int port = 5432;

    static StoreLocation sqliteFile(const QString& path)
    {
        StoreLocation location;
        location.file = path;
        return location;
    }
    // The file path, or the URI without anything secret: how messages name the store.
    QString displayName() const;
};

// A `postgresql://` URI or else a file name. nullopt for a URI that is not
// USER@HOST[:PORT]/DB or that carries a password; `error` then says why.
std::optional<StoreLocation> parseStoreLocation(const QString& text, QString* error);

// readings.sqlite in the per-user data folder (~/.local/share/ql-rs485 on
// Linux). On Windows: in `programFolder` when the settings are kept there,
// else %APPDATA%\ql-rs485.
QString defaultStoreFile(const QString& programFolder = {}, bool settingsBesideProgram = false);
