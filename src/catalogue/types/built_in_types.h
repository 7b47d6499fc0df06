// The device types this program knows, one file each.
#pragma once

#include "catalogue/device_registry.h"

#include <vector>

DeviceTypeDescription deviceType1();
DeviceTypeDescription deviceType2();
DeviceTypeDescription deviceType3();
DeviceTypeDescription deviceType4();
DeviceTypeDescription deviceType5();
DeviceTypeDescription deviceType6();
DeviceTypeDescription deviceType7();

// All of the above, in code order.
std::vector<DeviceTypeDescription> builtInDeviceTypes();
