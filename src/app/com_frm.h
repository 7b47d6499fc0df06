// Port settings dialog. Works on ordinals (baud rate, data bits, stop bits,
// parity) as the port and the settings file store them.
#pragma once

#include "serial/port_list.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;

class TComFrm : public QDialog {
    Q_OBJECT
public:
    using PortLister = std::function<QList<SerialPortDetails>()>;

    // `lister` gives the ports present on the machine; by default the serial
    // ports Qt enumerates.
    explicit TComFrm(QWidget* parent = nullptr, PortLister lister = {});

    // Fills the fields from the port's settings. An ordinal outside a list
    // leaves that list without a selection.
    void SetPortName(const QString& name);
    void SetBaudRateOrdinal(int ordinal);
    void SetDataBitsOrdinal(int ordinal);
    void SetStopBitsOrdinal(int ordinal);
    void SetParityOrdinal(int ordinal);
    void SetEcho(bool echo);

    QString PortName() const;
    // Each returns `current` when its list has no selection, so confirming
    // the dialog keeps a setting the lists cannot show.
    int BaudRateOrdinal(int current) const;
    int DataBitsOrdinal(int current) const;
    int StopBitsOrdinal(int current) const;
    int ParityOrdinal(int current) const;
    bool Echo() const;

    // Puts the machine's ports, sorted without regard to case, into cbCom's
    // list, each shown with its description; the text in the field stays as it
    // was, and picking an item puts only the port's name there.
    void LoadPortList();
    // The description of list item `index` (empty when the system has none).
    QString PortDescription(int index) const;

    // The ports as Qt enumerates them: device paths outside Windows.
    static QList<SerialPortDetails> MachinePorts();
    static QStringList SortedPortNames(QStringList names);

    QComboBox* cbCom = nullptr;
    QComboBox* cbBaudRate = nullptr;
    QComboBox* cbDataBit = nullptr;
    QComboBox* cbStopBit = nullptr;
    QComboBox* cbParity = nullptr;
    QCheckBox* cbEcho = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A raw TCP server passes bytes on without any line control, so the line
    // lists mean nothing for "tcp://" names.
    void UpdateLineLists(const QString& portName);

    PortLister FLister;
};
