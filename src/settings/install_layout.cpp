#include "settings/install_layout.h"

#include <QDir>
#include <QFileInfo>

QString installedDataFolder(const QString& programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/ql-rs485"));
}

QString programDataFile(const QString& programFolder, const QString& relativePath)
{
    const QString beside = QDir(programFolder).filePath(relativePath);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir(installedDataFolder(programFolder)).filePath(relativePath);
    return QFileInfo::exists(installed) ? installed : beside;
}

bool isInstalledProgram(const QString& programFolder)
{
    return !QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("Excel"))) &&
           QFileInfo(installedDataFolder(programFolder)).isDir();
}
