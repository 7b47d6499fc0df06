// The windows' Chinese words for why a port failed or was lost; the
// command-line reader keeps the link's own English.
#pragma once

#include "serial/byte_link.h"

#include <QString>

// The cause in Chinese; a cause only the system can word (LinkReasonCode::Other)
// as the system gave it. Empty for an empty reason.
QString reasonText(const LinkReason& reason);

// What failed ("发送数据失败") and, after "：", why; for errors caught while
// the port was in use.
QString portErrorText(const ComPortError& error);

// Why, alone, for messages that say what failed themselves; what failed when
// the error knows no cause.
QString causeText(const ComPortError& error);

// "串口打开失败或被占用，请检查" (or "串口打开超时，请检查") and, under it, which
// port and why: a server that cannot be reached is named by its address, a
// device by its name.
QString openFailedText(const QString& portName, const ComPortError& error);
