#include "app/address_dialog.h"
#include "app/dialog_buttons.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

AddressDialog::AddressDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TAddrFrm"));
    setWindowTitle(QStringLiteral("流量计地址设置"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* group = new QGroupBox(QStringLiteral("流量计地址"), this);
    auto* label = new QLabel(QStringLiteral("地址："), group);
    m_addressSpin = new QSpinBox(group);
    m_addressSpin->setObjectName(QStringLiteral("spAddr"));
    m_addressSpin->setRange(1, 247);
    auto* row = new QHBoxLayout(group);
    row->addWidget(label);
    row->addWidget(m_addressSpin, 1);

    QDialogButtonBox* buttons = okCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    setFixedSize(260, 140);
}

void AddressDialog::setAddress(int address)
{
    m_addressSpin->setValue(address);
}

int AddressDialog::address() const
{
    return m_addressSpin->value();
}
