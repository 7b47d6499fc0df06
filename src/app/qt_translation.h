// Qt's own texts (file dialogs, the Yes/No/OK buttons of message boxes) in
// Chinese like the rest of the program.
#pragma once

#include <QString>
#include <QTranslator>

// Qt's Chinese translations, with the file types ("Folder", "%1 File") found
// where the shipped file keeps them: under QFileDialog, where Qt 5 asked for
// them, while Qt 6 asks under QAbstractFileIconProvider.
class QtBaseTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
};

// Loads qtbase_zh_CN from the translations/ folder beside the program (where the
// Windows folder ships it) or else from Qt's installed translations, and
// installs `translator`, which must outlive the application's use of it. False
// when neither has the file: Qt's texts then stay English.
bool installQtTranslation(QTranslator& translator, const QString& programDir);
