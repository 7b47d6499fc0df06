// Meter address dialog: one spin field, 1 to 247.
#pragma once

#include <QDialog>

class QSpinBox;

class TAddrFrm : public QDialog {
    Q_OBJECT
public:
    explicit TAddrFrm(QWidget* parent = nullptr);

    void SetAddress(int address);
    int Address() const;

    QSpinBox* spAddr = nullptr;
};
