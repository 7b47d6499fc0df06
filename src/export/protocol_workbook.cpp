#include "export/protocol_workbook.h"

#include "catalogue/catalogue.h"
#include "settings/install_layout.h"
#include "settings/shipped_workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString protocolWorkbookPath(const QString& programFolder, const QString& fileName)
{
    const QString relative = QString::fromLatin1(kProtocolWorkbookFolder) + '/' + fileName;
    const QString found = programDataFile(programFolder, relative);
    if (QFileInfo::exists(found) || !QCoreApplication::instance())
        return found;
    // An installed program keeps its settings in the per-user folder, which then
    // stands in for the program folder; the shipped workbook stays with the program.
    const QString shipped = programDataFile(QCoreApplication::applicationDirPath(), relative);
    return QFileInfo::exists(shipped) ? shipped : found;
}

ProtocolWorkbook openProtocolWorkbook(const QString& programFolder, const QString& fileName)
{
    ProtocolWorkbook workbook;
    workbook.path = protocolWorkbookPath(programFolder, fileName);
    WorkbookReadResult read = readFirstWorksheet(workbook.path);
    if (!read.ok()) {
        workbook.message = QStringLiteral("Excel打开失败！请确定Excel是否安装，确认后,再重新试一次！");
        workbook.detail = read.error;
        return workbook;
    }
    workbook.cells = std::move(read.cells);
    return workbook;
}

ProtocolCells readProtocolCells(const std::optional<std::string>& path, const QString& programFolder)
{
    ProtocolCells result;
    if (path) {
        WorkbookReadResult read = readFirstWorksheet(QString::fromStdString(*path));
        if (!read.ok())
            result.error = "cannot read the protocol workbook " + *path + ": " + read.error.toStdString();
        else
            result.cells = std::move(read.cells);
        return result;
    }
    ProtocolWorkbook opened =
        openProtocolWorkbook(programFolder, QString::fromLatin1(kShippedProtocolWorkbook));
    if (!opened.ok())
        result.error = "cannot read the protocol workbook " + opened.path.toStdString() + ": " +
                       opened.detail.toStdString();
    else
        result.cells = std::move(opened.cells);
    return result;
}
