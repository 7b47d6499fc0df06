#include "decoding/records_type7.h"

#include <vector>

namespace {

constexpr ParamChangeEntry kParamTableMoney[] = {
    {0x101, "价格1", ParamChangeFormat::Uint32},
    {0x102, "调价时间2", ParamChangeFormat::DateHour},
    {0x104, "时长2", ParamChangeFormat::Uint32},
    {0x108, "价格2", ParamChangeFormat::Uint32},
    {0x110, "价格体系版本号", ParamChangeFormat::Uint32},
    {0x120, "仪表系数", ParamChangeFormat::Single4},
    {0x201, "价格启用时间", ParamChangeFormat::DateHour},
    {0x202, "阶梯量1", ParamChangeFormat::Uint32},
    {0x204, "价格1", ParamChangeFormat::Uint32},
    {0x208, "阶梯量2", ParamChangeFormat::Uint32},
    {0x210, "价格2", ParamChangeFormat::Uint32},
    {0x220, "阶梯价周期", ParamChangeFormat::Uint32},
    {0x240, "调价时间1", ParamChangeFormat::DateHour},
    {0x280, "时长1", ParamChangeFormat::Uint32},
    {0x301, "仪表系数3", ParamChangeFormat::Single4},
    {0x302, "仪表系数4", ParamChangeFormat::Single4},
    {0x304, "仪表系数5", ParamChangeFormat::Single4},
    {0x308, "通讯密钥", ParamChangeFormat::Hex32},
    {0x310, "加密因子", ParamChangeFormat::Hex32},
    {0x320, "常规燃气价格", ParamChangeFormat::Uint32},
    {0x340, "价格启动状态码", ParamChangeFormat::Hex16},
    {0x380, "时间单位状态码", ParamChangeFormat::Hex16},
    {0x401, "H2摩尔百分含量", ParamChangeFormat::Single4},
    {0x402, "高位发热量", ParamChangeFormat::Single4},
    {0x404, "相对密度", ParamChangeFormat::Single4},
    {0x408, "标准密度", ParamChangeFormat::Single4},
    {0x410, "当前小时累积量采样周期", ParamChangeFormat::Uint32},
    {0x420, "日累计量结算时间", ParamChangeFormat::BcdPair},
    {0x440, "仪表系数1", ParamChangeFormat::Single4},
    {0x480, "仪表系数2", ParamChangeFormat::Single4},
    {0x501, "N2摩尔百分含量", ParamChangeFormat::Single4},
    {0x502, "CO2摩尔百分含量", ParamChangeFormat::Single4},
    {0x504, "CH4摩尔百分含量", ParamChangeFormat::Single4},
    {0x508, "C2H6摩尔百分含量", ParamChangeFormat::Single4},
    {0x510, "C3H8摩尔百分含量", ParamChangeFormat::Single4},
    {0x520, "C4H10摩尔百分含量", ParamChangeFormat::Single4},
    {0x540, "C5H12摩尔百分含量", ParamChangeFormat::Single4},
    {0x580, "C+摩尔百分含量", ParamChangeFormat::Single4},
    {0x601, "工况流量报警上限", ParamChangeFormat::Uint32},
    {0x602, "温度报警上限值", ParamChangeFormat::Int16},
    {0x604, "温度报警下限值", ParamChangeFormat::Int16},
    {0x608, "替代温度值", ParamChangeFormat::Int16},
    {0x610, "压力报警上限值", ParamChangeFormat::Uint32},
    {0x620, "压力报警下限值", ParamChangeFormat::Uint32},
    {0x640, "替代压力值", ParamChangeFormat::Uint32},
    {0x680, "脉冲当量", ParamChangeFormat::Single4},
};

struct ApplicationType {
    uint8_t code;
    const char* text;
};

// High nibble: 1 user card, 2 emergency card, 3 remote; low nibble: 1 money, 2 gas.
constexpr ApplicationType kApplicationTypes[] = {
    {0x11, "用户卡金额充值"}, {0x21, "应急卡金额充值"}, {0x31, "远程金额充值"},
    {0x12, "用户卡气量充值"}, {0x22, "应急卡气量充值"}, {0x32, "远程气量充值"},
};

void paramChangeValues(const SlotReader& s, RecordCells& c)
{
    appendParamChange(lookupParamType7(findChangedParameter(s.bytesAt(8, 6))), s, 14, 18, c);
}

// Byte 44 is not shown; the flag is the last byte of the record.
void antiCutValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
    for (int offset : {24, 28, 32, 36})
        c.push_back(s.single(offset, 2));
    c.push_back(s.hex(40, 2));
    c.push_back(s.hex(42, 2));
    c.push_back(s.byte(45) == 0x55 ? "正常" : "剪断");
}

void antiRemovalValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.byte(8) == 0x55 ? "正常" : "拆卸");
}

// Money amounts are whole numbers in the meter's smallest unit, shown unscaled.
void consumptionValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(s.doubleText(8));
    c.push_back(s.doubleText(16));
    for (int offset : {24, 28, 32})
        c.push_back(s.single(offset, 2));
    for (int offset : {36, 44, 52, 60})
        c.push_back(s.int64(offset));
}

void rechargeValues(const SlotReader& s, RecordCells& c)
{
    c.push_back(applicationTypeText(s.byte(8)));
    c.push_back(s.uint32(9));
    for (int offset : {13, 21, 29})
        c.push_back(s.int64(offset));
}

} // namespace

std::span<const ParamChangeEntry> paramTableType7()
{
    return kParamTableMoney;
}

const ParamChangeEntry* lookupParamType7(uint16_t code)
{
    for (const ParamChangeEntry& entry : paramTableType7()) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

const char* applicationTypeText(uint8_t type)
{
    for (const ApplicationType& entry : kApplicationTypes) {
        if (entry.code == type)
            return entry.text;
    }
    return "";
}

constexpr RecordBlockLayout kParamChangeType7{5, 22, paramChangeValues};
constexpr RecordBlockLayout kAntiCutType7{4, 46, antiCutValues};
constexpr RecordBlockLayout kAntiRemovalType7{5, 10, antiRemovalValues};
constexpr RecordBlockLayout kConsumptionType7{2, 68, consumptionValues};
constexpr RecordBlockLayout kRechargeType7{5, 37, rechargeValues};
