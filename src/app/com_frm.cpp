#include "app/com_frm.h"

#include "serial/link_factory.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The baud-rate list starts at ordinal 4 (1200 baud) of the port's enumeration.
constexpr int kFirstListedBaudOrdinal = 4;

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    return list;
}

void SelectIndex(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int SelectedOr(const QComboBox* list, int current, int offset = 0)
{
    return list->currentIndex() < 0 ? current : list->currentIndex() + offset;
}

constexpr int kDescriptionRole = Qt::UserRole + 1;

// Shows "name    description" in the drop-down while the item's text, which
// the field takes when the item is picked, stays the bare port name.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(kDescriptionRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral("    ") + description;
    }
};

} // namespace

TComFrm::TComFrm(QWidget* parent, PortLister lister) : QDialog(parent), FLister(std::move(lister))
{
    setObjectName(QStringLiteral("TComFrm"));
    setWindowTitle(QStringLiteral("串口设置"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (!FLister)
        FLister = &TComFrm::MachinePorts;

    auto* group = new QGroupBox(this);
    QStringList designPorts;
    for (int i = 1; i <= 10; ++i)
        designPorts << QStringLiteral("COM%1").arg(i);
    cbCom = MakeList(group, "cbCom", designPorts);
    cbCom->setEditable(true);
    cbCom->setInsertPolicy(QComboBox::NoInsert);
    cbCom->setItemDelegate(new PortItemDelegate(cbCom));
    cbBaudRate = MakeList(group, "cbBaudRate", {"1200", "2400", "4800", "9600", "14400", "19200", "38400"});
    cbDataBit = MakeList(group, "cbDataBit", {"5", "6", "7", "8"});
    cbStopBit = MakeList(group, "cbStopBit", {"1", "1.5", "2"});
    cbParity = MakeList(group, "cbParity", {"None", "Odd", "Even", "Mark", "Space"});
    // Only the port name may be typed; the other values are picked with the mouse.
    for (QComboBox* list : {cbBaudRate, cbDataBit, cbStopBit, cbParity})
        list->installEventFilter(this);

    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("串口号："), cbCom);
    form->addRow(QStringLiteral("波特率："), cbBaudRate);
    form->addRow(QStringLiteral("数据位："), cbDataBit);
    form->addRow(QStringLiteral("停止位："), cbStopBit);
    form->addRow(QStringLiteral("校验位："), cbParity);
    cbEcho = new QCheckBox(QStringLiteral("去除回显"), group);
    cbEcho->setObjectName(QStringLiteral("cbEcho"));
    form->addRow(QString(), cbEcho);
    connect(cbCom, &QComboBox::editTextChanged, this, &TComFrm::UpdateLineLists);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setMinimumSize(285, 201);
}

void TComFrm::SetPortName(const QString& name)
{
    cbCom->setEditText(name);
}

void TComFrm::SetBaudRateOrdinal(int ordinal)
{
    SelectIndex(cbBaudRate, ordinal - kFirstListedBaudOrdinal);
}

void TComFrm::SetDataBitsOrdinal(int ordinal)
{
    SelectIndex(cbDataBit, ordinal);
}

void TComFrm::SetStopBitsOrdinal(int ordinal)
{
    SelectIndex(cbStopBit, ordinal);
}

void TComFrm::SetParityOrdinal(int ordinal)
{
    SelectIndex(cbParity, ordinal);
}

void TComFrm::SetEcho(bool echo)
{
    cbEcho->setChecked(echo);
}

bool TComFrm::Echo() const
{
    return cbEcho->isChecked();
}

void TComFrm::UpdateLineLists(const QString& portName)
{
    // Only a serial port and RFC 2217 carry line settings; raw and Modbus TCP do not.
    const std::optional<NetworkScheme> scheme = NetworkSchemeOf(portName.trimmed());
    const bool lineControl = !scheme || *scheme == NetworkScheme::Rfc2217;
    for (QComboBox* list : {cbBaudRate, cbDataBit, cbStopBit, cbParity})
        list->setEnabled(lineControl);
}

QString TComFrm::PortName() const
{
    return cbCom->currentText().trimmed();
}

int TComFrm::BaudRateOrdinal(int current) const
{
    return SelectedOr(cbBaudRate, current, kFirstListedBaudOrdinal);
}

int TComFrm::DataBitsOrdinal(int current) const
{
    return SelectedOr(cbDataBit, current);
}

int TComFrm::StopBitsOrdinal(int current) const
{
    return SelectedOr(cbStopBit, current);
}

int TComFrm::ParityOrdinal(int current) const
{
    return SelectedOr(cbParity, current);
}

QStringList TComFrm::SortedPortNames(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QList<SerialPortDetails> TComFrm::MachinePorts()
{
    return AvailablePorts();
}

void TComFrm::LoadPortList()
{
    const QString typed = cbCom->currentText();
    QList<SerialPortDetails> ports = FLister();
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortDetails& a, const SerialPortDetails& b) {
        return QString::compare(a.path, b.path, Qt::CaseInsensitive) < 0;
    });
    cbCom->clear();
    for (const SerialPortDetails& port : ports) {
        cbCom->addItem(port.path);
        cbCom->setItemData(cbCom->count() - 1, port.description, kDescriptionRole);
        cbCom->setItemData(cbCom->count() - 1, port.description, Qt::ToolTipRole);
    }
    // The drop-down is as wide as its longest "name    description" line.
    cbCom->view()->setMinimumWidth(cbCom->view()->sizeHintForColumn(0) + 24);
    cbCom->setEditText(typed);
}

QString TComFrm::PortDescription(int index) const
{
    return cbCom->itemData(index, kDescriptionRole).toString();
}

void TComFrm::showEvent(QShowEvent* event)
{
    LoadPortList();
    QDialog::showEvent(event);
}

bool TComFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        // Focus moves and the dialog's own keys still work.
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool dialogKey = key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Escape ||
                               key == Qt::Key_Return || key == Qt::Key_Enter;
        return !dialogKey;
    }
    return QDialog::eventFilter(watched, event);
}
