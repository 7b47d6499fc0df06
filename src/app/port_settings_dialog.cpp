#include "app/port_settings_dialog.h"
#include "app/dialog_buttons.h"

#include "serial/link_factory.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The baud-rate list starts at ordinal 4 (1200 baud) of the port's enumeration.
constexpr int kFirstListedBaudOrdinal = 4;

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    return list;
}

void selectIndex(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int selectedOr(const QComboBox* list, int current, int offset = 0)
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

PortSettingsDialog::PortSettingsDialog(QWidget* parent, PortLister lister)
    : QDialog(parent), m_lister(std::move(lister))
{
    setObjectName(QStringLiteral("TComFrm"));
    setWindowTitle(QStringLiteral("串口设置"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (!m_lister)
        m_lister = &PortSettingsDialog::machinePorts;

    auto* group = new QGroupBox(this);
    QStringList designPorts;
    for (int i = 1; i <= 10; ++i)
        designPorts << QStringLiteral("COM%1").arg(i);
    m_portCombo = makeList(group, "cbCom", designPorts);
    m_portCombo->setEditable(true);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    m_portCombo->setItemDelegate(new PortItemDelegate(m_portCombo));
    m_baudRateCombo =
        makeList(group, "cbBaudRate", {"1200", "2400", "4800", "9600", "14400", "19200", "38400"});
    m_dataBitsCombo = makeList(group, "cbDataBit", {"5", "6", "7", "8"});
    m_stopBitsCombo = makeList(group, "cbStopBit", {"1", "1.5", "2"});
    m_parityCombo = makeList(group, "cbParity", {"None", "Odd", "Even", "Mark", "Space"});
    // Only the port name may be typed; the other values are picked with the mouse.
    for (QComboBox* list : {m_baudRateCombo, m_dataBitsCombo, m_stopBitsCombo, m_parityCombo})
        list->installEventFilter(this);

    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("串口号："), m_portCombo);
    form->addRow(QStringLiteral("波特率："), m_baudRateCombo);
    form->addRow(QStringLiteral("数据位："), m_dataBitsCombo);
    form->addRow(QStringLiteral("停止位："), m_stopBitsCombo);
    form->addRow(QStringLiteral("校验位："), m_parityCombo);
    m_echoCheck = new QCheckBox(QStringLiteral("去除回显"), group);
    m_echoCheck->setObjectName(QStringLiteral("cbEcho"));
    form->addRow(QString(), m_echoCheck);
    connect(m_portCombo, &QComboBox::editTextChanged, this, &PortSettingsDialog::updateLineLists);

    QDialogButtonBox* buttons = okCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    setMinimumSize(285, 201);
}

void PortSettingsDialog::setPortName(const QString& name)
{
    m_portCombo->setEditText(name);
}

void PortSettingsDialog::setBaudRateOrdinal(int ordinal)
{
    selectIndex(m_baudRateCombo, ordinal - kFirstListedBaudOrdinal);
}

void PortSettingsDialog::setDataBitsOrdinal(int ordinal)
{
    selectIndex(m_dataBitsCombo, ordinal);
}

void PortSettingsDialog::setStopBitsOrdinal(int ordinal)
{
    selectIndex(m_stopBitsCombo, ordinal);
}

void PortSettingsDialog::setParityOrdinal(int ordinal)
{
    selectIndex(m_parityCombo, ordinal);
}

void PortSettingsDialog::setEcho(bool echo)
{
    m_echoCheck->setChecked(echo);
}

bool PortSettingsDialog::echo() const
{
    return m_echoCheck->isChecked();
}

void PortSettingsDialog::updateLineLists(const QString& portName)
{
    // Only a serial port and RFC 2217 carry line settings; raw and Modbus TCP do not.
    const std::optional<NetworkScheme> scheme = networkSchemeOf(portName.trimmed());
    const bool lineControl = !scheme || *scheme == NetworkScheme::Rfc2217;
    for (QComboBox* list : {m_baudRateCombo, m_dataBitsCombo, m_stopBitsCombo, m_parityCombo})
        list->setEnabled(lineControl);
    // A Modbus TCP gateway speaks RTU on its own line: no echo reaches us.
    m_echoCheck->setEnabled(!hasNoEcho(portName.trimmed()));
}

QString PortSettingsDialog::portName() const
{
    return m_portCombo->currentText().trimmed();
}

int PortSettingsDialog::baudRateOrdinal(int current) const
{
    return selectedOr(m_baudRateCombo, current, kFirstListedBaudOrdinal);
}

int PortSettingsDialog::dataBitsOrdinal(int current) const
{
    return selectedOr(m_dataBitsCombo, current);
}

int PortSettingsDialog::stopBitsOrdinal(int current) const
{
    return selectedOr(m_stopBitsCombo, current);
}

int PortSettingsDialog::parityOrdinal(int current) const
{
    return selectedOr(m_parityCombo, current);
}

QStringList PortSettingsDialog::sortedPortNames(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QList<SerialPortDetails> PortSettingsDialog::machinePorts()
{
    return availablePorts();
}

void PortSettingsDialog::loadPortList()
{
    const QString typed = m_portCombo->currentText();
    QList<SerialPortDetails> ports = m_lister();
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortDetails& a, const SerialPortDetails& b) {
        return QString::compare(a.path, b.path, Qt::CaseInsensitive) < 0;
    });
    m_portCombo->clear();
    for (const SerialPortDetails& port : ports) {
        m_portCombo->addItem(port.path);
        m_portCombo->setItemData(m_portCombo->count() - 1, port.description, kDescriptionRole);
        m_portCombo->setItemData(m_portCombo->count() - 1, port.description, Qt::ToolTipRole);
    }
    // The drop-down is as wide as its longest "name    description" line.
    m_portCombo->view()->setMinimumWidth(m_portCombo->view()->sizeHintForColumn(0) + 24);
    m_portCombo->setEditText(typed);
}

QString PortSettingsDialog::portDescription(int index) const
{
    return m_portCombo->itemData(index, kDescriptionRole).toString();
}

void PortSettingsDialog::showEvent(QShowEvent* event)
{
    loadPortList();
    QDialog::showEvent(event);
}

bool PortSettingsDialog::eventFilter(QObject* watched, QEvent* event)
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
