// What a field of the protocol workbook holds, told by its caption: the simulated
// meter of device type 5 fills each field with the quantity its caption names, so
// the standard-flow column shows a flow and the pressure column a pressure.
#pragma once

#include <string>

enum class SimQuantity {
    Unknown,
    StdVolume,
    WorkVolume,
    StdUsage, // standard volume used in one record's period (day, month)
    WorkUsage,
    StdFlow,
    WorkFlow,
    Temperature,
    Pressure,
    CompressFactor,
    MeterFactor,
    Battery,
    AlarmWord,
};

// The quantity a caption such as "标况流量(m3/h)" or "平均温度(℃)" names; Unknown for
// captions that name none of them (times, counters, codes).
SimQuantity quantityOfCaption(const std::string& caption);
