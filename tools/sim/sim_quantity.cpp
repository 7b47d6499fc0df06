#include "sim/sim_quantity.h"

namespace {

bool Has(const std::string& caption, const char* word)
{
    return caption.find(word) != std::string::npos;
}

} // namespace

SimQuantity QuantityOfCaption(const std::string& caption)
{
    // Working ("工况") quantities are named as such; standard ones are the default.
    const bool working = Has(caption, "工况");
    if (Has(caption, "温度"))
        return SimQuantity::Temperature;
    if (Has(caption, "压缩因子"))
        return SimQuantity::CompressFactor;
    if (Has(caption, "压力"))
        return SimQuantity::Pressure;
    if (Has(caption, "流量"))
        return working ? SimQuantity::WorkFlow : SimQuantity::StdFlow;
    if (Has(caption, "用量"))
        return working ? SimQuantity::WorkUsage : SimQuantity::StdUsage;
    if (Has(caption, "累积") || Has(caption, "总量"))
        return working ? SimQuantity::WorkVolume : SimQuantity::StdVolume;
    if (Has(caption, "系数"))
        return SimQuantity::MeterFactor;
    if (Has(caption, "电池") || Has(caption, "电压"))
        return SimQuantity::Battery;
    if (Has(caption, "报警状态字") || Has(caption, "报警字"))
        return SimQuantity::AlarmWord;
    return SimQuantity::Unknown;
}
