#include "app/store_texts.h"

#include "catalogue/catalogue.h"

#include <QDateTime>
#include <QRegularExpression>

QString outcomeCaption(const QString& value)
{
    if (value.isEmpty() || value == QLatin1String("running"))
        return QStringLiteral("未结束");
    if (value == QLatin1String("completed"))
        return QStringLiteral("完成");
    if (value == QLatin1String("stopped"))
        return QStringLiteral("表计结束");
    if (value == QLatin1String("port lost"))
        return QStringLiteral("端口断开");
    if (value == QLatin1String("cancelled"))
        return QStringLiteral("已取消");
    static const QRegularExpression failedBlock(QStringLiteral("^block (\\d+) failed$"));
    if (const QRegularExpressionMatch match = failedBlock.match(value); match.hasMatch())
        return QStringLiteral("第%1块失败").arg(match.captured(1));
    return value;
}

QString kindLabel(const DeviceRegistry& registry, int kindCode)
{
    const std::string_view caption = recordKindCaption(registry, kindCode);
    if (caption.empty())
        return QString::number(kindCode);
    return QStringLiteral("%1 %2").arg(kindCode).arg(
        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

QString deviceTypeLabel(const DeviceRegistry& registry, int deviceType)
{
    const std::string_view caption = deviceTypeCaption(registry, deviceType);
    if (caption.empty())
        return QString::number(deviceType);
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString localTimeText(const QString& utc)
{
    QDateTime time = QDateTime::fromString(utc, Qt::ISODate);
    if (!time.isValid())
        return utc;
    time.setTimeSpec(Qt::UTC);
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
