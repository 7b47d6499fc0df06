// Record-range dialog of a range read: from block SPBegin to block SpEnd.
#pragma once

#include <QDialog>

class Prompter;
class QLabel;
class QSpinBox;

class TNumFrm : public QDialog {
    Q_OBJECT
public:
    // `prompter` tells the operator why a range is refused; without one the
    // dialog refuses silently.
    explicit TNumFrm(QWidget* parent = nullptr, Prompter* prompter = nullptr);

    // Shows `kindCaption` in the title panel; the end field's limit and value
    // become the kind's block count.
    void Prepare(const QString& kindCaption, int blockCount);
    int BeginBlock() const;
    int EndBlock() const;
    // Refuses a range that ends before it begins: the dialog stays open.
    void accept() override;

    QLabel* Panel1 = nullptr;
    QSpinBox* SPBegin = nullptr;
    QSpinBox* SpEnd = nullptr;

private:
    Prompter* FPrompter = nullptr;
};
