#include "sim/sim_params.h"

#include "sim/sim_device_types.h"
#include "sim/sim_encode.h"
#include "sim/sim_identify.h"
#include "sim/sim_quantity.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

int fromBcd(uint8_t value)
{
    return (value >> 4) * 10 + (value & 0x0F);
}

// A small periodic wobble, one step per answer, so values move but stay near
// where the operator set them.
constexpr std::array<int, 8> kWobble = {0, 1, 2, 1, 0, -1, -2, -1};

int wobbleAt(int64_t seconds)
{
    return kWobble[static_cast<size_t>(seconds / kSimParamStepSeconds % 8)];
}

constexpr const char* kSerialNumber = "QL2024000123";
constexpr double kMeterFactor = 1000.0;
constexpr double kBatteryVolts = 3.6;
constexpr int32_t kRunningDays = 123;

} // namespace

SimLiveValues reportedValues(const SimConfig& config, const SimLiveValues& live)
{
    SimLiveValues shown = live;
    if (!hasFault(config, "alarm"))
        return shown;
    shown.statusV12 |= 0xA0;
    shown.customStatus1 |= 0x40;
    shown.customStatus2 |= 0x40;
    shown.alarmV20Hi |= 0x80;
    shown.alarmV20Lo |= 0x41;
    shown.alarmWordMoney |= 0x0441;
    shown.statusWordMoney = static_cast<uint16_t>((shown.statusWordMoney & ~0x0003) | 0x0002);
    return shown;
}

namespace {

double liveQuantity(SimQuantity quantity, const SimLiveValues& live)
{
    switch (quantity) {
    case SimQuantity::StdVolume:
        return live.stdVolume;
    case SimQuantity::WorkVolume:
        return live.workVolume;
    case SimQuantity::StdFlow:
        return live.stdFlow;
    case SimQuantity::WorkFlow:
        return live.workFlow;
    case SimQuantity::Temperature:
        return live.temperature;
    case SimQuantity::Pressure:
        return live.pressure;
    case SimQuantity::CompressFactor:
        return live.compressFactor;
    case SimQuantity::MeterFactor:
        return kMeterFactor;
    case SimQuantity::Battery:
        return kBatteryVolts;
    default:
        return 0.0;
    }
}

Bytes paramValue(const SimConfig& config, const SimLiveValues& live, const SimTypedParam& param)
{
    const SimQuantity quantity = quantityOfCaption(param.caption);
    Bytes data;
    if (param.type == "DT2") {
        data.assign(live.clock.begin(), live.clock.end());
    } else if (param.type == "DBL") {
        putDouble(data, liveQuantity(quantity, live));
    } else if (param.type == "FLT") {
        putSingle(data, liveQuantity(quantity, live));
    } else if (param.type == "LNG") {
        putU32(data, static_cast<uint32_t>(kRunningDays));
    } else if (param.type == "BYTE" || param.type == "BIT") {
        putU16(data, static_cast<uint16_t>(config.address & 0xFF));
    } else if (param.type == "S8") {
        putU32(data, quantity == SimQuantity::AlarmWord ? live.alarmV20Hi << 8 | live.alarmV20Lo : 0);
    } else if (param.type == "S16") {
        data.assign(kSerialNumber, kSerialNumber + std::strlen(kSerialNumber));
    }
    data.resize(static_cast<size_t>(2 * std::max(param.registers, 0)), 0x00);
    return data;
}

} // namespace

Bytes typedParamData(const SimConfig& config, const SimLiveValues& live)
{
    if (!config.typedParams.empty()) {
        Bytes data;
        for (const SimTypedParam& param : config.typedParams) {
            const Bytes value = paramValue(config, live, param);
            data.insert(data.end(), value.begin(), value.end());
        }
        data.resize(2 * kTypedParamCount, 0x00);
        return data;
    }
    Bytes data;
    data.reserve(2 * kTypedParamCount);
    data.resize(16, 0x00);
    std::memcpy(data.data(), kSerialNumber, std::strlen(kSerialNumber));
    data.insert(data.end(), live.clock.begin(), live.clock.end());
    putDouble(data, live.stdVolume);
    putDouble(data, live.workVolume);
    putSingle(data, live.stdFlow);
    putSingle(data, live.workFlow);
    putSingle(data, live.temperature);
    putSingle(data, live.pressure);
    putSingle(data, live.compressFactor);
    putSingle(data, kMeterFactor);
    putSingle(data, kBatteryVolts);
    putU32(data, live.alarmV20Hi << 8 | live.alarmV20Lo);
    putU32(data, static_cast<uint32_t>(kRunningDays));
    putU16(data, static_cast<uint16_t>(config.address & 0xFF));
    data.resize(2 * kTypedParamCount, 0x00);
    return data;
}

void advanceLiveValues(SimLiveValues& live, int seconds)
{
    SimTime clock;
    clock.year = 2000 + fromBcd(live.clock[0]);
    clock.month = fromBcd(live.clock[1]);
    clock.day = fromBcd(live.clock[2]);
    clock.hour = fromBcd(live.clock[3]);
    clock.minute = fromBcd(live.clock[4]);
    clock.second = fromBcd(live.clock[5]);
    const int64_t before = simTimeToSeconds(clock);
    const int64_t after = before + seconds;
    Bytes bcd;
    putBcdTime(bcd, simTimeFromSeconds(after));
    std::copy(bcd.begin(), bcd.end(), live.clock.begin());

    live.workVolume += live.workFlow * seconds / 3600.0;
    live.stdVolume += live.stdFlow * seconds / 3600.0;
    const int step = wobbleAt(after) - wobbleAt(before);
    live.workFlow += 0.05 * step;
    live.stdFlow += 0.05 * step;
    live.temperature += 0.05 * step;
    live.pressure += 0.01 * step;
}

std::optional<Bytes> answerParameterRead(const SimConfig& config, SimLiveValues& live, ByteView request)
{
    const SimDeviceType* type = findSimDeviceType(config.deviceType);
    if (!type)
        return std::nullopt;
    for (const SimWindow& window : type->paramWindows) {
        if (!window.matches(request))
            continue;
        const Bytes reply = window.reply(config, reportedValues(config, live));
        advanceLiveValues(live, kSimParamStepSeconds);
        return reply;
    }
    return std::nullopt;
}
