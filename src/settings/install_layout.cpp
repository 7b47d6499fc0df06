#include "settings/install_layout.h"

#include <QDir>
#include <QFileInfo>

QString InstalledDataFolder(const QString& programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/ql-rs485"));
}

QString ProgramDataFile(const QString& programFolder, const QString& relativePath)
{
    const QString beside = QDir(programFolder).filePath(relativePath);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir(InstalledDataFolder(programFolder)).filePath(relativePath);
    return QFileInfo::exists(installed) ? installed : beside;
}

bool IsInstalledProgram(const QString& programFolder)
{
    return !QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("Excel"))) &&
           QFileInfo(InstalledDataFolder(programFolder)).isDir();
}
