#include "sim/sim_identify.h"

#include "sim/sim_device_types.h"
#include "sim/sim_encode.h"
#include "sim/sim_params.h"

#include <algorithm>

namespace {

Bytes ModbusReply(const SimConfig& config, const Bytes& data)
{
    Bytes reply = {static_cast<uint8_t>(config.address), 0x03, static_cast<uint8_t>(data.size())};
    reply.insert(reply.end(), data.begin(), data.end());
    return SealModbus(std::move(reply));
}

} // namespace

Bytes LiveReplyV12(const SimConfig& config, const SimLiveValues& live, int registers)
{
    Bytes data;
    PutFixed48_16(data, live.workVolume);
    PutFixed48_16(data, live.stdVolume);
    PutFixed23_8(data, live.workFlow);
    PutFixed23_8(data, live.stdFlow);
    PutFixed23_8(data, live.temperature);
    PutFixed23_8(data, live.pressure);
    PutFixed7_24(data, live.compressFactor);
    PutU8(data, 0x00);
    PutU8(data, live.statusV12);
    data.resize(static_cast<size_t>(2 * std::clamp(registers, 0, 19)));
    return ModbusReply(config, data);
}

Bytes CardReplyV13(const SimConfig& config, const SimLiveValues& live)
{
    Bytes data(live.userNumberBcd.begin(), live.userNumberBcd.end());
    PutU8(data, 0x00);
    PutU8(data, live.meterTypeBcd);
    PutU8(data, 0x00);
    data.insert(data.end(), live.meterState.begin(), live.meterState.end());
    PutU32(data, static_cast<uint32_t>(live.remainingGas));
    PutU16(data, live.buyCount);
    PutU32(data, static_cast<uint32_t>(live.totalBought));
    PutU32(data, static_cast<uint32_t>(live.lastBought));
    PutU32(data, static_cast<uint32_t>(live.emergencyTotal));
    PutU32(data, static_cast<uint32_t>(live.emergencyLast));
    PutU16(data, live.emergencyCount);
    PutFixed23_8(data, live.alarmGas);
    PutFixed23_8(data, live.rechargeLimit);
    PutU16(data, live.overdraftLimit);
    PutU32(data, static_cast<uint32_t>(live.zeroCrossGas));
    PutU16(data, live.removalCount);
    PutU16(data, live.valveCount);
    data.insert(data.end(), live.lowVoltageCount.begin(), live.lowVoltageCount.end());
    return ModbusReply(config, data);
}

Bytes StatusReplyCustom(const SimConfig& config, const SimLiveValues& live)
{
    Bytes reply = {
        0x55, 0x55, static_cast<uint8_t>(config.address), 0x02, 0x00, live.customStatus1, live.customStatus2};
    PutFloat32Exp(reply, live.workFlow);
    PutFloat32Exp(reply, live.stdFlow);
    PutFloat32Exp(reply, live.temperature);
    PutFloat32Exp(reply, live.pressure);
    if (config.customStatusLength == 28)
        PutFloat32Exp(reply, live.stdVolume);
    else
        PutFloat48Exp(reply, live.stdVolume);
    return SealCustom(std::move(reply));
}

Bytes LiveReplyV20(const SimConfig& config, const SimLiveValues& live)
{
    Bytes data(live.clock.begin(), live.clock.end());
    PutDouble(data, live.stdVolume);
    PutDouble(data, live.workVolume);
    PutSingle(data, live.stdFlow);
    PutSingle(data, live.workFlow);
    PutSingle(data, live.temperature);
    PutSingle(data, live.pressure);
    PutU16(data, 0x0000);
    PutU8(data, live.alarmV20Hi);
    PutU8(data, live.alarmV20Lo);
    PutDouble(data, live.errStdVolume);
    return ModbusReply(config, data);
}

Bytes LiveReplyMoney(const SimConfig& config, const SimLiveValues& live)
{
    Bytes data(live.clock.begin(), live.clock.end());
    PutDouble(data, live.stdVolume);
    PutDouble(data, live.workVolume);
    PutSingle(data, live.stdFlow);
    PutSingle(data, live.workFlow);
    PutSingle(data, live.temperature);
    PutSingle(data, live.pressure);
    PutU16(data, live.statusWordMoney);
    PutU16(data, live.alarmWordMoney);
    return ModbusReply(config, data);
}

Bytes ParamBlockReplyTyped(const SimConfig& config, const SimLiveValues& live)
{
    return ModbusReply(config, TypedParamData(config, live));
}

std::optional<Bytes> AnswerProbe(const SimConfig& config, const SimLiveValues& live, ByteView request)
{
    if (const SimDeviceType* type = FindSimDeviceType(config.deviceType))
        for (const SimWindow& window : type->probeWindows)
            if (window.matches(request))
                return window.reply(config, live);
    return std::nullopt;
}
