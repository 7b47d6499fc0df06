// The serial ports present on the machine, for the port dialog's list.
#pragma once

#include <QStringList>

// Port names as Qt lists them ("COM3", "ttyUSB0"; pseudo-terminals are not
// listed), without duplicates, sorted alphabetically without regard to case so
// "COM10" comes before "COM2".
QStringList AvailablePortNames();
// The sorting and de-duplication of AvailablePortNames, for any list of names.
QStringList SortPortNames(QStringList names);
