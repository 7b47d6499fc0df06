// About box: product name, the version of this build, the licence and where the
// manual lies, with a button that opens it.
#pragma once

#include <QDialog>

class Prompter;
class QLabel;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(Prompter& prompter, const QString& programDir, QWidget* parent = nullptr);

    QLabel* m_licenceLabel = nullptr;
    QLabel* m_manualLabel = nullptr;

private:
    void showHelp();

    Prompter& m_prompter;
    QString m_programDir;
};
