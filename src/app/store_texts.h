// How the meter book and the history word what the store keeps as values:
// outcomes, kinds, device types and UTC time stamps.
#pragma once

#include <QString>

class DeviceRegistry;

// "completed" → "完成", "block 3 failed" → "第3块失败" …; unknown values as they are.
QString outcomeCaption(const QString& value);
// "612 日累积记录45组"; the bare code for a kind the catalogue does not know.
QString kindLabel(const DeviceRegistry& registry, int kindCode);
// The device type's caption, or its number when the catalogue does not know it.
QString deviceTypeLabel(const DeviceRegistry& registry, int deviceType);
// An ISO 8601 UTC time stamp as the PC's local "yyyy-MM-dd HH:mm:ss"; empty stays empty.
QString localTimeText(const QString& utc);
