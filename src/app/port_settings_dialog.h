// Port settings dialog. Works on ordinals (baud rate, data bits, stop bits,
// parity) as the port and the settings file store them.
#pragma once

#include "serial/port_list.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;

class PortSettingsDialog : public QDialog {
    Q_OBJECT
public:
    using PortLister = std::function<QList<SerialPortDetails>()>;

    // `lister` gives the ports present on the machine; by default the serial
    // ports Qt enumerates.
    explicit PortSettingsDialog(QWidget* parent = nullptr, PortLister lister = {});

    // Fills the fields from the port's settings. An ordinal outside a list
    // leaves that list without a selection.
    void setPortName(const QString& name);
    void setBaudRateOrdinal(int ordinal);
    void setDataBitsOrdinal(int ordinal);
    void setStopBitsOrdinal(int ordinal);
    void setParityOrdinal(int ordinal);
    void setEcho(bool echo);

    QString portName() const;
    // Each returns `current` when its list has no selection, so confirming
    // the dialog keeps a setting the lists cannot show.
    int baudRateOrdinal(int current) const;
    int dataBitsOrdinal(int current) const;
    int stopBitsOrdinal(int current) const;
    int parityOrdinal(int current) const;
    bool echo() const;

    // Puts the machine's ports, sorted without regard to case, into m_portCombo's
    // list, each shown with its description; the text in the field stays as it
    // was, and picking an item puts only the port's name there.
    void loadPortList();
    // The description of list item `index` (empty when the system has none).
    QString portDescription(int index) const;

    // The ports as Qt enumerates them: device paths outside Windows.
    static QList<SerialPortDetails> machinePorts();
    static QStringList sortedPortNames(QStringList names);

    QComboBox* m_portCombo = nullptr;
    QComboBox* m_baudRateCombo = nullptr;
    QComboBox* m_dataBitsCombo = nullptr;
    QComboBox* m_stopBitsCombo = nullptr;
    QComboBox* m_parityCombo = nullptr;
    QCheckBox* m_echoCheck = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A raw TCP server passes bytes on without any line control, so the line
    // lists mean nothing for "tcp://" names.
    void updateLineLists(const QString& portName);

    PortLister m_lister;
};
