#include "sim/sim_identify.h"

#include "sim/sim_device_types.h"
#include "sim/sim_encode.h"
#include "sim/sim_params.h"

#include <algorithm>

namespace {

Bytes modbusReply(const SimConfig& config, const Bytes& data)
{
    Bytes reply = {static_cast<uint8_t>(config.address), 0x03, static_cast<uint8_t>(data.size())};
    reply.insert(reply.end(), data.begin(), data.end());
    return sealModbus(std::move(reply));
}

} // namespace

Bytes liveReplyV12(const SimConfig& config, const SimLiveValues& live, int registers)
{
    Bytes data;
    putFixed48_16(data, live.workVolume);
    putFixed48_16(data, live.stdVolume);
    putFixed23_8(data, live.workFlow);
    putFixed23_8(data, live.stdFlow);
    putFixed23_8(data, live.temperature);
    putFixed23_8(data, live.pressure);
    putFixed7_24(data, live.compressFactor);
    putU8(data, 0x00);
    putU8(data, live.statusV12);
    data.resize(static_cast<size_t>(2 * std::clamp(registers, 0, 19)));
    return modbusReply(config, data);
}

Bytes cardReplyV13(const SimConfig& config, const SimLiveValues& live)
{
    Bytes data(live.userNumberBcd.begin(), live.userNumberBcd.end());
    putU8(data, 0x00);
    putU8(data, live.meterTypeBcd);
    putU8(data, 0x00);
    data.insert(data.end(), live.meterState.begin(), live.meterState.end());
    putU32(data, static_cast<uint32_t>(live.remainingGas));
    putU16(data, live.buyCount);
    putU32(data, static_cast<uint32_t>(live.totalBought));
    putU32(data, static_cast<uint32_t>(live.lastBought));
    putU32(data, static_cast<uint32_t>(live.emergencyTotal));
    putU32(data, static_cast<uint32_t>(live.emergencyLast));
    putU16(data, live.emergencyCount);
    putFixed23_8(data, live.alarmGas);
    putFixed23_8(data, live.rechargeLimit);
    putU16(data, live.overdraftLimit);
    putU32(data, static_cast<uint32_t>(live.zeroCrossGas));
    putU16(data, live.removalCount);
    putU16(data, live.valveCount);
    data.insert(data.end(), live.lowVoltageCount.begin(), live.lowVoltageCount.end());
    return modbusReply(config, data);
}

Bytes statusReplyCustom(const SimConfig& config, const SimLiveValues& live)
{
    Bytes reply = {
        0x55, 0x55, static_cast<uint8_t>(config.address), 0x02, 0x00, live.customStatus1, live.customStatus2};
    putFloat32Exp(reply, live.workFlow);
    putFloat32Exp(reply, live.stdFlow);
    putFloat32Exp(reply, live.temperature);
    putFloat32Exp(reply, live.pressure);
    if (config.customStatusLength == 28)
        putFloat32Exp(reply, live.stdVolume);
    else
        putFloat48Exp(reply, live.stdVolume);
    return sealCustom(std::move(reply));
}

Bytes liveReplyV20(const SimConfig& config, const SimLiveValues& live)
{
    Bytes data(live.clock.begin(), live.clock.end());
    putDouble(data, live.stdVolume);
    putDouble(data, live.workVolume);
    putSingle(data, live.stdFlow);
    putSingle(data, live.workFlow);
    putSingle(data, live.temperature);
    putSingle(data, live.pressure);
    putU16(data, 0x0000);
    putU8(data, live.alarmV20Hi);
    putU8(data, live.alarmV20Lo);
    putDouble(data, live.errStdVolume);
    return modbusReply(config, data);
}

Bytes liveReplyMoney(const SimConfig& config, const SimLiveValues& live)
{
    Bytes data(live.clock.begin(), live.clock.end());
    putDouble(data, live.stdVolume);
    putDouble(data, live.workVolume);
    putSingle(data, live.stdFlow);
    putSingle(data, live.workFlow);
    putSingle(data, live.temperature);
    putSingle(data, live.pressure);
    putU16(data, live.statusWordMoney);
    putU16(data, live.alarmWordMoney);
    return modbusReply(config, data);
}

Bytes paramBlockReplyTyped(const SimConfig& config, const SimLiveValues& live)
{
    return modbusReply(config, typedParamData(config, live));
}

std::optional<Bytes> answerProbe(const SimConfig& config, const SimLiveValues& live, ByteView request)
{
    if (const SimDeviceType* type = findSimDeviceType(config.deviceType))
        for (const SimWindow& window : type->probeWindows)
            if (window.matches(request))
                return window.reply(config, live);
    return std::nullopt;
}
