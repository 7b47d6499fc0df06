#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtTranslation(QTranslator& translator, const QString& programDir)
{
    const QString name = QStringLiteral("qtbase_zh_CN");
    for (const QString& folder : {QDir(programDir).filePath(QStringLiteral("translations")),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (translator.load(name, folder))
            return QCoreApplication::installTranslator(&translator);
    }
    return false;
}
