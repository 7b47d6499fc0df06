// Qt's own texts (file dialogs, the Yes/No/OK buttons of message boxes) in
// Chinese like the rest of the program.
#pragma once

#include <QString>

class QTranslator;

// Loads qtbase_zh_CN from the translations/ folder beside the program (where the
// Windows folder ships it) or else from Qt's installed translations, and
// installs `translator`, which must outlive the application's use of it. False
// when neither has the file: Qt's texts then stay English.
bool installQtTranslation(QTranslator& translator, const QString& programDir);
