#include "serial/port_list.h"

#include <QSerialPortInfo>

#include <algorithm>

QStringList AvailablePortNames()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names.append(info.portName());
    return SortPortNames(names);
}

QStringList SortPortNames(QStringList names)
{
    names.removeDuplicates();
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}
