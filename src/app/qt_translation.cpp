#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

#include <cstring>

QString QtBaseTranslator::translate(const char* context, const char* sourceText, const char* disambiguation,
                                    int n) const
{
    QString text = QTranslator::translate(context, sourceText, disambiguation, n);
    if (text.isEmpty() && context && std::strcmp(context, "QAbstractFileIconProvider") == 0)
        text = QTranslator::translate("QFileDialog", sourceText, disambiguation, n);
    return text;
}

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
