// The built-in device types for tests: built once per test program, never changed.
#pragma once

#include "catalogue/device_registry.h"

inline const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

// The row of a kind code the built-in types know.
inline const RecordKind& kindOf(int kindCode)
{
    return *builtIn().recordKind(kindCode);
}
