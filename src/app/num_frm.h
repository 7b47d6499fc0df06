// Record-range dialog of a range read: from block SPBegin to block SpEnd.
#pragma once

#include <QDialog>

class QLabel;
class QSpinBox;

class TNumFrm : public QDialog {
    Q_OBJECT
public:
    explicit TNumFrm(QWidget* parent = nullptr);

    // Shows `kindCaption` in the title panel; the end field's limit and value
    // become the kind's block count.
    void Prepare(const QString& kindCaption, int blockCount);
    int BeginBlock() const;
    int EndBlock() const;

    QLabel* Panel1 = nullptr;
    QSpinBox* SPBegin = nullptr;
    QSpinBox* SpEnd = nullptr;
};
