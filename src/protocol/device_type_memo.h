// The device type last found at a port and meter address, so that fast
// identification can ask that type first instead of probing every type. The
// program keeps one for its session; a meter book can stand behind it by
// overriding both calls.
#pragma once

#include <map>
#include <string>
#include <utility>

class DeviceTypeMemo {
public:
    virtual ~DeviceTypeMemo() = default;
    // 0 when no type is known there.
    virtual int typeAt(const std::string& port, int address) const;
    // A type of 0 forgets what was known there.
    virtual void remember(const std::string& port, int address, int deviceType);

private:
    std::map<std::pair<std::string, int>, int> m_types;
};
