// About box: product name, the version of this build, the maker's contact lines, the manual.
#pragma once

#include <QDialog>

class Prompter;
class QGroupBox;
class QLabel;

class TAboutFrm : public QDialog {
    Q_OBJECT
public:
    TAboutFrm(Prompter& prompter, const QString& programDir, QWidget* parent = nullptr);

    QLabel* lblWeb = nullptr;
    static const char* const kWebAddress;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowHelp();
    void SetLinkHot(bool hot);

    Prompter& FPrompter;
    QString FProgramDir;
    QGroupBox* FContactGroup = nullptr;
};
