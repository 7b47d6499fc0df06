// The serial ports present on the machine, for the port dialog's list and the
// command-line reader's `ports`.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the system knows of one serial port; empty texts where it knows nothing.
struct SerialPortDetails {
    QString path; // "/dev/ttyUSB0", "COM3"
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbId; // "0403:6001" (vendor:product, four hex digits each) for USB adapters
    bool operator==(const SerialPortDetails&) const = default;
};

// Port names as Qt lists them ("COM3", "ttyUSB0"; pseudo-terminals are not
// listed), without duplicates, sorted alphabetically without regard to case so
// "COM10" comes before "COM2".
QStringList availablePortNames();
// The sorting and de-duplication of AvailablePortNames, for any list of names.
QStringList sortPortNames(QStringList names);

// Every port Qt enumerates, by device path (the port name on Windows), sorted as
// SortPortNames sorts.
QList<SerialPortDetails> availablePorts();

// The links in `byIdFolder` (on Linux /dev/serial/by-id, names that stay the same
// whichever order adapters are plugged in), sorted by name, each with the details
// of the port it points to; a link to a port not in `ports` keeps only its path.
QList<SerialPortDetails> stablePortNames(const QList<SerialPortDetails>& ports, const QString& byIdFolder);

// path, description, manufacturer, serial number and vendor:product, TAB-separated.
QString portDetailsLine(const SerialPortDetails& port);
