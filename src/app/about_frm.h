// About box: product name, the version of this build, the licence and where the
// manual lies, with a button that opens it.
#pragma once

#include <QDialog>

class Prompter;
class QLabel;

class TAboutFrm : public QDialog {
    Q_OBJECT
public:
    TAboutFrm(Prompter& prompter, const QString& programDir, QWidget* parent = nullptr);

    QLabel* lblLicence = nullptr;
    QLabel* lblManual = nullptr;

private:
    void ShowHelp();

    Prompter& FPrompter;
    QString FProgramDir;
};
