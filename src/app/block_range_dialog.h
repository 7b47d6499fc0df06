// Record-range dialog of a range read: from block m_beginSpin to block m_endSpin.
#pragma once

#include <QDialog>

class Prompter;
class QLabel;
class QSpinBox;

class BlockRangeDialog : public QDialog {
    Q_OBJECT
public:
    // `prompter` tells the operator why a range is refused; without one the
    // dialog refuses silently.
    explicit BlockRangeDialog(QWidget* parent = nullptr, Prompter* prompter = nullptr);

    // Shows `kindCaption` in the title panel; the end field's limit and value
    // become the kind's block count.
    void prepare(const QString& kindCaption, int blockCount);
    int beginBlock() const;
    int endBlock() const;
    // Refuses a range that ends before it begins: the dialog stays open.
    void accept() override;

    QLabel* m_captionLabel = nullptr;
    QSpinBox* m_beginSpin = nullptr;
    QSpinBox* m_endSpin = nullptr;

private:
    Prompter* m_prompter = nullptr;
};
