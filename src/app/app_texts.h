// Texts every window shows alike: the captions of its message boxes and the
// answer when another exchange holds the port.
#pragma once

#include <QString>

#include <string_view>

inline const QString kInfoCaption = QStringLiteral("信息提示");
inline const QString kWarnCaption = QStringLiteral("警告信息");
inline const QString kPortBusy = QStringLiteral("串口正在通信，请等当前的读取结束后再试！");
