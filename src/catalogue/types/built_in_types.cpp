#include "catalogue/types/built_in_types.h"

std::vector<DeviceTypeDescription> builtInDeviceTypes()
{
    std::vector<DeviceTypeDescription> types;
    types.push_back(deviceType1());
    types.push_back(deviceType2());
    types.push_back(deviceType3());
    types.push_back(deviceType4());
    types.push_back(deviceType5());
    types.push_back(deviceType6());
    types.push_back(deviceType7());
    return types;
}
