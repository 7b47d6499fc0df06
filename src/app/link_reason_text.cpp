#include "app/link_reason_text.h"

#include "serial/com_port.h"
#include "serial/com_port_error.h"
#include "serial/link_factory.h"

namespace {

QString arg(const LinkReason& reason, size_t index)
{
    return index < reason.args.size() ? QString::fromStdString(reason.args[index]) : QString();
}

QString settingName(const QString& setting)
{
    if (setting == QLatin1String("baud rate"))
        return QStringLiteral("波特率");
    if (setting == QLatin1String("data size"))
        return QStringLiteral("数据位");
    if (setting == QLatin1String("parity"))
        return QStringLiteral("校验位");
    if (setting == QLatin1String("stop size"))
        return QStringLiteral("停止位");
    return setting;
}

// An error raised with a system code but no reason still has the code's cause.
LinkReason causeOf(const ComPortError& error)
{
    return error.reason.empty() ? systemReason(error.systemErrorNumber) : error.reason;
}

} // namespace

QString reasonText(const LinkReason& reason)
{
    switch (reason.code) {
    case LinkReasonCode::Other:
        return QString::fromStdString(reason.text);
    case LinkReasonCode::NoSuchDevice:
        return QStringLiteral("设备不存在");
    case LinkReasonCode::PermissionDenied:
        return QStringLiteral("没有访问权限");
    case LinkReasonCode::DeviceBusy:
        return QStringLiteral("设备正被其他程序占用");
    case LinkReasonCode::ConnectionRefused:
        return QStringLiteral("连接被拒绝");
    case LinkReasonCode::ConnectionReset:
        return QStringLiteral("连接被重置");
    case LinkReasonCode::TimedOut:
        return QStringLiteral("操作超时");
    case LinkReasonCode::HostUnreachable:
        return QStringLiteral("主机不可达");
    case LinkReasonCode::HostNotFound:
        return QStringLiteral("找不到主机");
    case LinkReasonCode::IoError:
        return QStringLiteral("输入/输出错误");
    case LinkReasonCode::DeviceGone:
        return QStringLiteral("设备已断开（适配器被拔出或对端关闭了线路）");
    case LinkReasonCode::NotSerialPort:
        return QStringLiteral("%1 不是串口").arg(arg(reason, 0));
    case LinkReasonCode::NoNetworkAddress:
        return QStringLiteral("%1 不是“主机:端口”形式的地址").arg(arg(reason, 0));
    case LinkReasonCode::ServerClosed:
        return QStringLiteral("服务器关闭了连接");
    case LinkReasonCode::ServerSilent:
        return QStringLiteral("服务器 %1 秒内没有应答").arg(arg(reason, 0));
    case LinkReasonCode::ServerNotTaking:
        return QStringLiteral("服务器不接收发出的数据");
    case LinkReasonCode::NotConnected:
        return QStringLiteral("未连接");
    case LinkReasonCode::PortControlRefused:
        return QStringLiteral("服务器拒绝 RFC 2217 串口控制");
    case LinkReasonCode::PortControlSilent:
        return QStringLiteral("服务器不响应 RFC 2217 串口控制");
    case LinkReasonCode::LineNotConfirmed:
        return QStringLiteral("服务器未确认串口参数");
    case LinkReasonCode::LineDiffers:
        return QStringLiteral("服务器的%1为 %2，而不是 %3")
            .arg(settingName(arg(reason, 0)), arg(reason, 1), arg(reason, 2));
    }
    return QString::fromStdString(reason.text);
}

QString portErrorText(const ComPortError& error)
{
    QString what;
    switch (error.errorNumber) {
    case kComErrOpen:
        what = QStringLiteral("串口打开失败");
        break;
    case kComErrWrite:
        what = QStringLiteral("发送数据失败");
        break;
    case kComErrRead:
        what = QStringLiteral("接收数据失败");
        break;
    case kComErrPurge:
        what = QStringLiteral("清空串口缓冲区失败");
        break;
    case kComErrSetState:
        what = QStringLiteral("串口参数设置失败");
        break;
    default:
        return QString::fromStdString(error.what());
    }
    const QString why = reasonText(causeOf(error));
    return why.isEmpty() ? what : what + QStringLiteral("：") + why;
}

QString causeText(const ComPortError& error)
{
    const QString why = reasonText(causeOf(error));
    return why.isEmpty() ? portErrorText(error) : why;
}

namespace {

const QString kOpenFailed = QStringLiteral("串口打开失败或被占用，请检查");
const QString kOpenTimedOut = QStringLiteral("串口打开超时，请检查");

} // namespace

QString openFailedText(const QString& portName, const ComPortError& error)
{
    if (error.errorNumber == kComErrOpenTimeout)
        return kOpenTimedOut + u'\n' + portName +
               QStringLiteral("：%1 秒内没有打开").arg((ComPort::kOpenTimeoutMs + 999) / 1000);
    const QString reason = causeText(error);
    const std::optional<NetworkAddress> address = parseNetworkPortName(portName);
    if (address && error.errorNumber == kComErrOpen) {
        const QString host = address->host.contains(u':') ? u'[' + address->host + u']' : address->host;
        return kOpenFailed +
               QStringLiteral("\n无法连接 %1:%2（%3）").arg(host).arg(address->port).arg(reason);
    }
    return kOpenFailed + u'\n' + portName + QStringLiteral("：") + reason;
}
