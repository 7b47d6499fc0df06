#include "sim/sim_quantity.h"

namespace {

bool has(const std::string& caption, const char* word)
{
    return caption.find(word) != std::string::npos;
}

} // namespace

SimQuantity quantityOfCaption(const std::string& caption)
{
    // Working ("工况") quantities are named as such; standard ones are the default.
    const bool working = has(caption, "工况");
    if (has(caption, "温度"))
        return SimQuantity::Temperature;
    if (has(caption, "压缩因子"))
        return SimQuantity::CompressFactor;
    if (has(caption, "压力"))
        return SimQuantity::Pressure;
    if (has(caption, "流量"))
        return working ? SimQuantity::WorkFlow : SimQuantity::StdFlow;
    if (has(caption, "用量"))
        return working ? SimQuantity::WorkUsage : SimQuantity::StdUsage;
    if (has(caption, "累积") || has(caption, "总量"))
        return working ? SimQuantity::WorkVolume : SimQuantity::StdVolume;
    if (has(caption, "系数"))
        return SimQuantity::MeterFactor;
    if (has(caption, "电池") || has(caption, "电压"))
        return SimQuantity::Battery;
    if (has(caption, "报警状态字") || has(caption, "报警字"))
        return SimQuantity::AlarmWord;
    return SimQuantity::Unknown;
}
