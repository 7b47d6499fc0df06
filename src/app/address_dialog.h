// Meter address dialog: one spin field, 1 to 247.
#pragma once

#include <QDialog>

class QSpinBox;

class AddressDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddressDialog(QWidget* parent = nullptr);

    void setAddress(int address);
    int address() const;

    QSpinBox* m_addressSpin = nullptr;
};
