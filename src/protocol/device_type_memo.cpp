#include "protocol/device_type_memo.h"

int DeviceTypeMemo::typeAt(const std::string& port, int address) const
{
    const auto found = m_types.find({port, address});
    return found == m_types.end() ? 0 : found->second;
}

void DeviceTypeMemo::remember(const std::string& port, int address, int deviceType)
{
    if (deviceType == 0)
        m_types.erase({port, address});
    else
        m_types[{port, address}] = deviceType;
}
