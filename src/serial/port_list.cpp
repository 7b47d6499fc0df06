#include "serial/port_list.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

bool lessWithoutCase(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

QString usbId(const QSerialPortInfo& info)
{
    if (!info.hasVendorIdentifier() || !info.hasProductIdentifier())
        return {};
    return QStringLiteral("%1:%2")
        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
}

// Tabs or line breaks inside a field would break the line into wrong fields.
QString oneField(QString text)
{
    for (QChar& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text.trimmed();
}

} // namespace

QStringList availablePortNames()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names.append(info.portName());
    return sortPortNames(names);
}

QStringList sortPortNames(QStringList names)
{
    names.removeDuplicates();
    std::stable_sort(names.begin(), names.end(), lessWithoutCase);
    return names;
}

QList<SerialPortDetails> availablePorts()
{
    QList<SerialPortDetails> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString path = info.portName();
#else
        const QString path = info.systemLocation();
#endif
        ports.append({path, info.description(), info.manufacturer(), info.serialNumber(), usbId(info)});
    }
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortDetails& a, const SerialPortDetails& b) {
        return lessWithoutCase(a.path, b.path);
    });
    return ports;
}

QList<SerialPortDetails> stablePortNames(const QList<SerialPortDetails>& ports, const QString& byIdFolder)
{
    QList<SerialPortDetails> links;
    const QDir folder(byIdFolder);
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        if (!link.isSymLink())
            continue;
        const QString target = link.canonicalFilePath();
        const auto found = std::find_if(ports.begin(), ports.end(), [&](const SerialPortDetails& port) {
            return QFileInfo(port.path).canonicalFilePath() == target;
        });
        SerialPortDetails entry = found == ports.end() ? SerialPortDetails{} : *found;
        entry.path = link.absoluteFilePath();
        links.append(entry);
    }
    return links;
}

QString portDetailsLine(const SerialPortDetails& port)
{
    return QStringList{oneField(port.path), oneField(port.description), oneField(port.manufacturer),
                       oneField(port.serialNumber), port.usbId}
        .join('\t');
}
