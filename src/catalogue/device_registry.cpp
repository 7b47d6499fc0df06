#include "catalogue/device_registry.h"

#include "decoding/records_money.h"
#include "decoding/records_v12.h"
#include "decoding/records_v14.h"
#include "decoding/records_v20.h"
#include "decoding/typed_fields.h"
#include "params/param_decoders.h"

#include <algorithm>
#include <string>

namespace {

// Types 1 and 2 answer an empty month, start/stop or anti-cut slot with a 5-byte
// frame (three bytes and a CRC) instead of a full record.
constexpr size_t kShortAnswerLength = 5;

// The parameter window's and the record-type menu's probes of the Modbus-style
// types are register reads: function 3, first register, register count.
Bytes registerReadBody(uint16_t first, uint16_t count)
{
    return {0x03, static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first & 0xFF),
            static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF)};
}

// Column helpers, so a table reads as captions, widths and what the cells hold.
// "序号" is the record number the decoder writes.
TableColumn index()
{
    return {"序号", 45, ColumnType::Number};
}

TableColumn timeText(std::string caption, int width)
{
    return {std::move(caption), width, ColumnType::Time};
}

TableColumn number(std::string caption, int width)
{
    return {std::move(caption), width, ColumnType::Number};
}

// Status and alarm words, flags, marks, hex codes and parameter names: never
// charted, even where a cell happens to look like a number.
TableColumn text(std::string caption, int width)
{
    return {std::move(caption), width, ColumnType::Text};
}

// Built on first use (function-local), so the registry can be asked during the
// static initialisation of other files.
std::vector<DeviceTypeDefinition> builtInDeviceTypes()
{
    using Columns = std::vector<TableColumn>;

    // ---- Columns of the one-record kinds (device types 1, 2 and 3) ----

    static const Columns kRealtimeV12Columns{index(),
                                             timeText("时间", 145),
                                             number("工况累积量(m3)", 103),
                                             number("标况累积量(m3)", 103),
                                             number("标况瞬时流量(m3/h)", 123),
                                             number("温度(℃)", 65),
                                             number("压力(KPa)", 70)};
    static const Columns kRealtimeCustomColumns{index(),
                                                timeText("时间", 140),
                                                number("标况累积量(m3)", 100),
                                                number("标况流量(m3/h)", 100),
                                                number("温度(℃)", 75),
                                                number("压力(KPa)", 75)};
    static const Columns kMonthV12Columns{index(), timeText("日期", 100), number("标况累积量(m3)", 120)};
    static const Columns kStartStopV12Columns{index(), timeText("记录时间", 135),
                                              number("标况累积量(m3)", 100), text("标记", 55)};
    static const Columns kAntiCutV12Columns{index(), timeText("记录时间", 135), text("标记", 55)};

    // ---- Columns of device type 4 ----

    static const Columns kDailyV14Columns{index(), timeText("记录时间", 145), number("日标况累积量(m3)", 113),
                                          number("日工况累积量(m3)", 113)};
    static const Columns kCurrentHourColumns{index(), timeText("记录时间", 145),
                                             number("当前小时标况累积量(m3)", 150),
                                             number("当前小时工况累积量(m3)", 150)};
    static const Columns kPrevHourColumns{index(),
                                          timeText("记录时间", 145),
                                          number("前1小时标况累积量(m3)", 146),
                                          number("前1小时工况累积量(m3)", 146),
                                          number("压缩系数", 80),
                                          number("标况压缩因子", 90),
                                          number("工况压缩因子", 90)};
    static const Columns kParamChangeV14Columns{index(), timeText("参数修改起始时间", 145),
                                                text("参数修改状态字", 130), text("原参数", 80),
                                                text("修改后参数", 80)};
    static const Columns kAlarmEventColumns{index(),
                                            timeText("报警时间", 135),
                                            number("标况累积量(m3)", 102),
                                            number("工况累积量(m3)", 102),
                                            number("标况瞬时流量(m3/h)", 125),
                                            number("工况瞬时流量(m3/h)", 125),
                                            number("燃气温度(℃)", 88),
                                            number("燃气绝对压力(KPa)", 117),
                                            text("状态字", 70),
                                            text("报警字", 70)};
    static const Columns kAlarmEvent2V14Columns{index(),
                                                timeText("报警时间", 145),
                                                number("标况累积量替代(m3)", 125),
                                                number("标况累积量(m3)", 100),
                                                number("工况累积量(m3)", 100),
                                                number("标况瞬时流量替代(m3/h)", 150),
                                                number("标况瞬时流量(m3/h)", 127),
                                                number("工况瞬时流量(m3/h)", 125),
                                                number("燃气温度(℃)", 88),
                                                number("燃气绝对压力(KPa)", 118),
                                                text("状态字", 70),
                                                text("报警字", 70)};
    static const Columns kStartStopColumns{index(), timeText("报警时间", 145), number("标况累积量(m3)", 102),
                                           text("启停标志", 80)};
    static const Columns kTamperV14Columns{index(), timeText("报警时间", 145), text("标志", 80)};

    // ---- Columns of device type 6, shared by device type 7 where the records are the same ----

    static const Columns kDailyV20Columns{index(), timeText("时间", 145), number("日标况累积量(m3)", 120),
                                          number("日工况累积量(m3)", 120)};
    static const Columns kParamChangeV20Columns{index(), timeText("参数修改起始时间", 145),
                                                text("参数修改状态字", 145), text("原参数", 100),
                                                text("修改后参数", 100)};
    static const Columns kLimitAlarmV20Columns{index(),
                                               timeText("报警时间", 135),
                                               number("替代标况累积量(m3)", 125),
                                               number("标况累积量(m3)", 102),
                                               number("工况累积量(m3)", 102),
                                               number("替代标况瞬时流量(m3/h)", 150),
                                               number("标况瞬时流量(m3/h)", 125),
                                               number("工况瞬时流量(m3/h)", 125),
                                               number("温度(℃)", 70),
                                               number("绝对压力(KPa)", 95),
                                               text("状态字", 60),
                                               text("报警字", 60)};
    static const Columns kAntiCutV20Columns{index(),
                                            timeText("报警时间", 145),
                                            text("剪断标志", 80),
                                            number("工况累积量(m3)", 102),
                                            number("标况累积量(m3)", 102),
                                            number("标况瞬时流量(m3/h)", 125),
                                            number("工况瞬时流量(m3/h)", 125)};
    static const Columns kAntiRemovalV20Columns{index(),
                                                timeText("报警时间", 145),
                                                text("拆卸标志", 80),
                                                number("工况累积量(m3)", 102),
                                                number("标况累积量(m3)", 102),
                                                number("标况瞬时流量(m3/h)", 125),
                                                number("工况瞬时流量(m3/h)", 125)};
    static const Columns kMonthV20Columns{index(), timeText("报警时间", 145), number("标况累积量(m3)", 102)};
    static const Columns kRealtimeV20Columns{index(),
                                             timeText("报警时间", 145),
                                             number("工况累积量(m3)", 102),
                                             number("标况累积量(m3)", 102),
                                             number("标况瞬时流量(m3/h)", 125),
                                             number("温度(℃)", 70),
                                             number("压力(KPa)", 70)};
    static const Columns kVolumeChangeColumns{index(), timeText("时间", 145), number("原参数", 80),
                                              number("修改后参数", 80)};
    static const Columns kMeterFactorChangeColumns{index(), timeText("时间", 145), number("原参数", 80),
                                                   number("修改后参数", 80), text("参数指示", 80)};

    // ---- Columns of device type 7's own kinds ----

    static const Columns kAntiCutMoneyColumns{index(),
                                              timeText("报警时间", 145),
                                              number("标况累积量(m3)", 102),
                                              number("工况累积量(m3)", 102),
                                              number("标况瞬时流量(m3/h)", 125),
                                              number("工况瞬时流量(m3/h)", 125),
                                              number("温度(℃)", 70),
                                              number("压力(KPa)", 70),
                                              text("状态字", 60),
                                              text("报警字", 60),
                                              text("剪断标志", 70)};
    static const Columns kAntiRemovalMoneyColumns{index(), timeText("报警时间", 145), text("拆卸标志", 70)};
    static const Columns kConsumptionMoneyColumns{index(),
                                                  timeText("报警时间", 145),
                                                  number("工况累积量(m3)", 102),
                                                  number("标况累积量(m3)", 102),
                                                  number("标况瞬时流量(m3/h)", 125),
                                                  number("温度(℃)", 70),
                                                  number("压力(KPa)", 70),
                                                  number("剩余量(元)", 90),
                                                  number("用户卡累计输入量(元)", 135),
                                                  number("应急卡累计输入量(元)", 135),
                                                  number("累积用量(元)", 90)};
    static const Columns kRechargeMoneyColumns{index(),
                                               timeText("报警时间", 145),
                                               text("应用类型标识", 105),
                                               number("本次输入量", 102),
                                               number("累计输入量", 102),
                                               number("剩余量", 90),
                                               number("累积用量", 90)};

    static const std::vector<RecordKindDefinition> kKindsOfType1 = {
        {1,
         "实时记录700组",
         0x64,
         700,
         1,
         "正在读取实时记录,请稍后...",
         "===========智能体积修正仪(ModBus V1.2)实时记录===========",
         nullptr,
         decodeRealtimeV12,
         &kRealtimeV12Columns,
         {39},
         "N15"},
        {2,
         "月记录100组",
         0x65,
         100,
         1,
         "正在读取月记录,请稍后...",
         "===========智能体积修正仪(ModBus V1.2)月记录===========",
         nullptr,
         decodeMonthV12,
         &kMonthV12Columns,
         {15, true},
         "N17"},
        {3,
         "启停记录500组",
         0x66,
         500,
         1,
         "正在读取启停记录,请稍后...",
         "===========智能体积修正仪(ModBus V1.2)启停记录===========",
         nullptr,
         decodeStartStopV12,
         &kStartStopV12Columns,
         {21, true},
         "N18"},
        {4,
         "防剪断记录16组",
         0x67,
         16,
         1,
         "正在读取防剪断记录,请稍后...",
         "===========智能体积修正仪(ModBus V1.2)防剪断记录===========",
         nullptr,
         decodeAntiCutV12,
         &kAntiCutV12Columns,
         {13, true},
         "N19"},
    };

    static const std::vector<RecordKindDefinition> kKindsOfType2 = {
        {1,
         "实时记录700组",
         0x64,
         700,
         1,
         "正在读取实时记录,请稍后...",
         "===========IC卡燃气流量计实时记录===========",
         nullptr,
         decodeRealtimeV12,
         &kRealtimeV12Columns,
         {39},
         "N15"},
        {2,
         "月记录100组",
         0x65,
         100,
         1,
         "正在读取月记录,请稍后...",
         "===========IC卡燃气流量计月记录===========",
         nullptr,
         decodeMonthV12,
         &kMonthV12Columns,
         {15, true},
         "N17"},
        {3,
         "启停记录500组",
         0x66,
         500,
         1,
         "正在读取启停记录,请稍后...",
         "===========IC卡燃气流量计启停记录===========",
         nullptr,
         decodeStartStopV12,
         &kStartStopV12Columns,
         {21, true},
         "N18"},
        {4,
         "防剪断记录16组",
         0x67,
         16,
         1,
         "正在读取防剪断记录,请稍后...",
         "===========IC卡燃气流量计防剪断记录===========",
         nullptr,
         decodeAntiCutV12,
         &kAntiCutV12Columns,
         {13, true},
         "N19"},
    };

    static const std::vector<RecordKindDefinition> kKindsOfType3 = {
        {1,
         "实时记录360组",
         0x02,
         360,
         1,
         "正在读取实时记录,请稍后...",
         "===========Tamber智能流量计实时记录===========",
         nullptr,
         decodeRealtimeCustom,
         &kRealtimeCustomColumns,
         {30},
         "N15"},
        {2,
         "月记录48组",
         0x00,
         48,
         1,
         "正在读取月记录,请稍后...",
         "===========Tamber智能流量计月记录===========",
         nullptr,
         decodeMonthCustom,
         &kMonthV12Columns,
         {15},
         "N17"},
        {3,
         "启停记录400组",
         0x01,
         400,
         1,
         "正在读取启停记录,请稍后...",
         "===========Tamber智能流量计启停记录===========",
         nullptr,
         decodeStartStopCustom,
         &kStartStopV12Columns,
         {19},
         "N18"},
    };

    static const std::vector<RecordKindDefinition> kKindsOfType4 = {
        {1,
         "日累积数据45组",
         0x01,
         9,
         5,
         "",
         "===========日累积数据记录(ModBus V1.4)===========",
         &kDailyV14,
         nullptr,
         &kDailyV14Columns,
         {},
         {}},
        {2,
         "当前小时累积量1440组",
         0x02,
         144,
         10,
         "",
         "===========当前小时累积量记录(ModBus V1.4)===========",
         &kCurrentHourV14,
         nullptr,
         &kCurrentHourColumns,
         {},
         {}},
        {3,
         "前1小时累积数据360组",
         0x03,
         72,
         5,
         "",
         "===========前1小时累积数据记录(ModBus V1.4)===========",
         &kPrevHourV14,
         nullptr,
         &kPrevHourColumns,
         {},
         {}},
        {4,
         "参数修改记录200组",
         0x04,
         40,
         5,
         "",
         "===========参数修改记录(ModBus V1.4)===========",
         &kParamChangeV14,
         nullptr,
         &kParamChangeV14Columns,
         {},
         {}},
        {5,
         "报警事件1记录240组",
         0x05,
         48,
         5,
         "",
         "===========报警事件1记录(ModBus V1.4)===========",
         &kAlarmEventV14,
         nullptr,
         &kAlarmEventColumns,
         {},
         {}},
        {6,
         "报警事件2记录240组",
         0x06,
         60,
         4,
         "",
         "===========报警事件2记录(ModBus V1.4)===========",
         &kAlarmEvent2V14,
         nullptr,
         &kAlarmEvent2V14Columns,
         {},
         {}},
        {7,
         "报警事件3记录20组",
         0x07,
         4,
         5,
         "",
         "===========报警事件3记录(ModBus V1.4)===========",
         &kAlarmEventV14,
         nullptr,
         &kAlarmEventColumns,
         {},
         {}},
        {8,
         "报警事件4记录10组",
         0x08,
         2,
         5,
         "",
         "===========报警事件4记录(ModBus V1.4)===========",
         &kAlarmEventV14,
         nullptr,
         &kAlarmEventColumns,
         {},
         {}},
        {9,
         "启停记录100组",
         0x09,
         10,
         10,
         "",
         "===========启停记录(ModBus V1.4)===========",
         &kStartStopV14,
         nullptr,
         &kStartStopColumns,
         {},
         {}},
        {10,
         "防剪断记录100组",
         0x0A,
         10,
         10,
         "",
         "===========防剪断记录(ModBus V1.4)===========",
         &kTamperV14,
         nullptr,
         &kTamperV14Columns,
         {},
         {}},
        {11,
         "防拆卸记录100组",
         0x0B,
         10,
         10,
         "",
         "===========防拆卸记录(ModBus V1.4)===========",
         &kTamperV14,
         nullptr,
         &kTamperV14Columns,
         {},
         {}},
    };

    static const std::vector<RecordKindDefinition> kKindsOfType5 = {
        {1,
         "实时记录120组",
         0,
         120,
         1,
         "正在读取实时记录,请稍后...",
         "===========Pellin电子气体体积修正仪实时记录===========",
         nullptr,
         decodeTypedFields,
         nullptr,
         {},
         "N15"},
        {2,
         "日记录120组",
         1,
         120,
         1,
         "正在读取日记录,请稍后...",
         "===========Pellin电子气体体积修正仪日记录===========",
         nullptr,
         decodeTypedFields,
         nullptr,
         {},
         "N5"},
        {3,
         "月记录25组",
         2,
         25,
         1,
         "正在读取月记录,请稍后...",
         "===========Pellin电子气体体积修正仪月记录===========",
         nullptr,
         decodeTypedFields,
         nullptr,
         {},
         "N17"},
        {4,
         "报警记录100组",
         3,
         100,
         1,
         "正在读取报警记录,请稍后...",
         "===========Pellin电子气体体积修正仪报警记录===========",
         nullptr,
         decodeTypedAlarmFields,
         nullptr,
         {},
         "N25"},
    };

    static const std::vector<RecordKindDefinition> kKindsOfType6 = {
        {1,
         "日累积记录45组",
         0x01,
         9,
         5,
         "正在读取日累积数据,请稍后...",
         "===========Corvex 日累积数据记录45组===========",
         &kDailyV20,
         nullptr,
         &kDailyV20Columns,
         {},
         "N20"},
        {2,
         "当前小时累积量记录1440组",
         0x02,
         288,
         5,
         "正在读取当前小时累积量,请稍后...",
         "===========Corvex 当前小时累积量记录1440组===========",
         &kCurrentHourV20,
         nullptr,
         &kCurrentHourColumns,
         {},
         "N21"},
        {3,
         "前1小时累积记录360组",
         0x03,
         72,
         5,
         "正在读取前1小时累积数据,请稍后...",
         "===========Corvex 前1小时累积数据360组===========",
         &kPrevHourV20,
         nullptr,
         &kPrevHourColumns,
         {},
         "N110"},
        {4,
         "参数修改记录200组",
         0x04,
         40,
         5,
         "正在读取参数修改记录,请稍后...",
         "===========Corvex 参数修改记录200组===========",
         &kParamChangeV20,
         nullptr,
         &kParamChangeV20Columns,
         {},
         "N22"},
        {5,
         "传感器故障报警记录240组",
         0x05,
         60,
         4,
         "正在读取传感器故障报警记录,请稍后...",
         "===========Corvex 传感器故障报警记录240组===========",
         &kSensorAlarmV20,
         nullptr,
         &kAlarmEventColumns,
         {},
         "N111"},
        {6,
         "温压超限报警记录240组",
         0x06,
         60,
         4,
         "正在读取温压超限报警记录,请稍后...",
         "===========Corvex 温压超限报警记录240组===========",
         &kLimitAlarmV20,
         nullptr,
         &kLimitAlarmV20Columns,
         {},
         "N23"},
        {7,
         "失电或换电池记录20组",
         0x07,
         5,
         4,
         "正在读取失电、换电池记录,请稍后...",
         "===========Corvex 失电记录、换电池记录20组===========",
         &kSensorAlarmV20,
         nullptr,
         &kAlarmEventColumns,
         {},
         "N31"},
        {8,
         "启停记录100组",
         0x09,
         20,
         5,
         "正在读取启停记录,请稍后...",
         "===========Corvex 启停记录100组===========",
         &kStartStopV20,
         nullptr,
         &kStartStopColumns,
         {},
         "N18"},
        {9,
         "防剪断防磁干扰记录100组",
         0x0A,
         20,
         5,
         "正在读取剪断磁干扰记录,请稍后...",
         "===========Corvex 剪断磁干扰记录100组===========",
         &kAntiCutV20,
         nullptr,
         &kAntiCutV20Columns,
         {},
         "N19"},
        {10,
         "防拆卸记录100组",
         0x0B,
         20,
         5,
         "正在读取防拆卸记录,请稍后...",
         "===========Corvex 防拆卸记录100组===========",
         &kAntiRemovalV20,
         nullptr,
         &kAntiRemovalV20Columns,
         {},
         "N24"},
        {11,
         "月记录200组",
         0x0C,
         40,
         5,
         "正在读取月记录,请稍后...",
         "===========Corvex 月记录200组===========",
         &kMonthV20,
         nullptr,
         &kMonthV20Columns,
         {},
         "N17"},
        {12,
         "实时记录500组",
         0x0D,
         100,
         5,
         "正在读取实时记录,请稍后...",
         "===========Corvex 实时记录500组===========",
         &kRealtimeV20,
         nullptr,
         &kRealtimeV20Columns,
         {},
         "N15"},
        {13,
         "标况累积量修改记录50组",
         0x0E,
         10,
         5,
         "正在读取标况累积量修改记录,请稍后...",
         "===========Corvex 标况累积量修改记录50组===========",
         &kVolumeChangeV20,
         nullptr,
         &kVolumeChangeColumns,
         {},
         "N27"},
        {14,
         "工况累积量修改记录50组",
         0x0F,
         10,
         5,
         "正在读取工况累积量修改记录,请稍后...",
         "===========Corvex 工况累积量修改记录50组===========",
         &kVolumeChangeV20,
         nullptr,
         &kVolumeChangeColumns,
         {},
         "N28"},
        {15,
         "仪表系数修改记录50组",
         0x10,
         10,
         5,
         "正在读取仪表系数修改记录,请稍后...",
         "===========Corvex 仪表系数修改记录50组===========",
         &kMeterFactorChangeV20,
         nullptr,
         &kMeterFactorChangeColumns,
         {},
         "N29"},
        {16,
         "错误标况累积量修改记录50组",
         0x11,
         10,
         5,
         "正在读取错误标况累积量修改,请稍后...",
         "===========Corvex 错误标况累积量修改记录50组===========",
         &kVolumeChangeV20,
         nullptr,
         &kVolumeChangeColumns,
         {},
         "N30"},
        {17,
         "错误工况累积量修改记录50组",
         0x12,
         10,
         5,
         "正在读取错误工况累积量修改,请稍后...",
         "===========Corvex 错误工况累积量修改记录50组===========",
         &kVolumeChangeV20,
         nullptr,
         &kVolumeChangeColumns,
         {},
         "N32"},
    };

    static const std::vector<RecordKindDefinition> kKindsOfType7 = {
        {1,
         "日累积记录45组",
         0x01,
         9,
         5,
         "正在读取日累积数据,请稍后...",
         "===========金额版IC卡燃气流量计 日累积数据记录45组===========",
         &kDailyV20,
         nullptr,
         &kDailyV20Columns,
         {},
         "N20"},
        {2,
         "当前小时累积量记录1440组",
         0x02,
         288,
         5,
         "正在读取当前小时累积量,请稍后...",
         "===========金额版IC卡燃气流量计 当前小时累积量记录1440组===========",
         &kCurrentHourV20,
         nullptr,
         &kCurrentHourColumns,
         {},
         "N21"},
        {3,
         "前1小时累积记录360组",
         0x03,
         72,
         5,
         "正在读取前1小时累积数据,请稍后...",
         "===========金额版IC卡燃气流量计 前1小时累积数据360组===========",
         &kPrevHourV20,
         nullptr,
         &kPrevHourColumns,
         {},
         "N110"},
        {4,
         "参数修改记录200组",
         0x04,
         40,
         5,
         "正在读取参数修改记录,请稍后...",
         "===========金额版IC卡燃气流量计 参数修改记录200组===========",
         &kParamChangeMoney,
         nullptr,
         &kParamChangeV20Columns,
         {},
         "N22"},
        {5,
         "传感器故障报警记录240组",
         0x05,
         60,
         4,
         "正在读取传感器故障报警记录,请稍后...",
         "===========金额版IC卡燃气流量计 传感器故障报警记录240组===========",
         &kSensorAlarmV20,
         nullptr,
         &kAlarmEventColumns,
         {},
         "N111"},
        {6,
         "温压超限报警记录240组",
         0x06,
         60,
         4,
         "正在读取温压超限报警记录,请稍后...",
         "===========金额版IC卡燃气流量计 温压超限报警记录240组===========",
         &kLimitAlarmV20,
         nullptr,
         &kLimitAlarmV20Columns,
         {},
         "N23"},
        {7,
         "失电或换电池记录20组",
         0x07,
         5,
         4,
         "正在读取失电、换电池记录,请稍后...",
         "===========金额版IC卡燃气流量计 失电记录、换电池记录20组===========",
         &kSensorAlarmV20,
         nullptr,
         &kAlarmEventColumns,
         {},
         "N31"},
        {8,
         "启停记录100组",
         0x09,
         20,
         5,
         "正在读取启停记录,请稍后...",
         "===========金额版IC卡燃气流量计 启停记录100组===========",
         &kStartStopV20,
         nullptr,
         &kStartStopColumns,
         {},
         "N18"},
        {9,
         "防剪断防磁干扰记录100组",
         0x0A,
         25,
         4,
         "正在读取剪断磁干扰记录,请稍后...",
         "===========金额版IC卡燃气流量计 防剪断/磁干扰记录100组===========",
         &kAntiCutMoney,
         nullptr,
         &kAntiCutMoneyColumns,
         {},
         "N19"},
        {10,
         "防拆卸记录100组",
         0x0B,
         20,
         5,
         "正在读取防拆卸记录,请稍后...",
         "===========金额版IC卡燃气流量计 防拆卸记录100组===========",
         &kAntiRemovalMoney,
         nullptr,
         &kAntiRemovalMoneyColumns,
         {},
         "N24"},
        {11,
         "月记录200组",
         0x0C,
         40,
         5,
         "正在读取月记录,请稍后...",
         "===========金额版IC卡燃气流量计 月记录200组===========",
         &kMonthV20,
         nullptr,
         &kMonthV20Columns,
         {},
         "N17"},
        {12,
         "消费记录200组",
         0x0D,
         100,
         2,
         "正在读取消费记录,请稍后...",
         "===========金额版IC卡燃气流量计 消费记录200组===========",
         &kConsumptionMoney,
         nullptr,
         &kConsumptionMoneyColumns,
         {},
         "N15",
         true},
        {13,
         "充值记录200组",
         0x0E,
         40,
         5,
         "正在读取充值记录,请稍后...",
         "===========金额版IC卡燃气流量计 充值记录200组===========",
         &kRechargeMoney,
         nullptr,
         &kRechargeMoneyColumns,
         {},
         "N41"},
    };

    std::vector<DeviceTypeDefinition> types(7);

    DeviceTypeDefinition& v12 = types[0];
    v12.code = 1;
    v12.caption = "智能体积修正仪(modbus V1.2)";
    v12.dialect = &FramingDialect::recordByIndex();
    v12.firstRecord = 1;
    v12.kinds = kKindsOfType1;
    v12.identification = {3,
                          {"=================智能体积修正仪(ModBus V1.2)=================",
                           registerReadBody(0x0000, 0x10),
                           {37},
                           300},
                          {},
                          0};
    v12.recordReaderProbe = {1,
                             {"===============智能体积修正仪实时记录(ModBus协议)===============",
                              {0x66, 0x00, 0x64, 0x02, 0x00, 0x01},
                              {39},
                              200},
                             {},
                             0};
    v12.params.panel = panelSpecOf(1);
    v12.params.steps = {{registerReadBody(0, 19), 400, 0, decodeParamsV12}};
    v12.params.detectionRank = 3;
    v12.params.selectorRank = 1;
    v12.params.selectorItem = "智能体积修正仪(ModBus V1.2)";
    v12.params.selectorTitle = "智能体积修正仪(ModBus V1.2)";
    v12.params.selectorCaption = "实时数据----智能体积修正仪(ModBus V1.2)";
    v12.params.detectedTitle = "智能体积修正仪(ModBus V1.2协议)";
    v12.params.detectedCaption = "用户只读参数----智能体积修正仪(ModBus V1.2协议)";

    DeviceTypeDefinition& v13 = types[1];
    v13.code = 2;
    v13.caption = "IC卡燃气流量计(modbus V1.3)";
    v13.dialect = &FramingDialect::recordByIndex();
    v13.firstRecord = 1;
    v13.kinds = kKindsOfType2;
    // Answers the first window as type 1 does; only this type has the second,
    // after a long pause the meter needs.
    v13.identification = {2,
                          {"=================IC卡燃气流量计(ModBus V1.3)=================",
                           registerReadBody(0x0000, 0x10),
                           {37},
                           300},
                          {{}, registerReadBody(0x0106, 0x1B), {59}, 300},
                          1700};
    v13.params.panel = panelSpecOf(2);
    v13.params.steps = {{registerReadBody(0, 16), 300, 0, decodeLiveV13},
                        {registerReadBody(0x0106, 27), 300, 1700, decodeCardParamsV13}};
    v13.params.detectionRank = 2;
    v13.params.detectionAttempts = 2;
    v13.params.selectorRank = 2;
    v13.params.selectorItem = "IC卡燃气流量计(ModBus V1.3)";
    v13.params.selectorTitle = "IC卡燃气流量计(ModBus V1.3)";
    v13.params.selectorCaption = "实时数据----IC卡燃气流量计(ModBus V1.3)";
    v13.params.detectedTitle = "IC卡燃气流量计(ModBus V1.3协议)";
    v13.params.detectedCaption = "用户只读参数----IC卡燃气流量计(ModBus V1.3协议)";

    DeviceTypeDefinition& custom = types[2];
    custom.code = 3;
    custom.caption = "Tamber智能流量计(自定义协议)";
    custom.dialect = &FramingDialect::customSum8();
    custom.pollIntervalTreeOrMenuMs = 700;
    custom.pollIntervalRangeOrIdentificationMs = 700;
    custom.kinds = kKindsOfType3;
    // The status request; 30 bytes with a 48-bit volume, 28 with a 32-bit one.
    custom.identification = {
        4,
        {"=================Tamber智能流量计(自定义协议)=================", {0x02, 0x00}, {28, 30}, 400},
        {},
        0};
    custom.recordReaderProbe = {3,
                                {"===============Tamber智能流量计(自定义协议)===============",
                                 {0x28, 0x03, 0x02, 0x00, 0x01},
                                 {30},
                                 200},
                                {},
                                0};
    custom.params.panel = panelSpecOf(3);
    custom.params.steps = {{{0x02, 0x00}, 400, 0, decodeParamsCustom}};
    custom.params.detectionRank = 6;
    custom.params.selectorRank = 4;
    custom.params.selectorItem = "Tamber智能流量计(自定义协议)";
    custom.params.selectorTitle = "Tamber智能流量计(自定义协议)";
    custom.params.selectorCaption = "实时数据----Tamber智能流量计(自定义协议)";
    custom.params.detectedTitle = "Tamber智能流量计(自定义协议)";
    custom.params.detectedCaption = "用户只读参数----Tamber智能流量计(自定义协议)";

    // Kept for its requests and decoders; identification never yields it, so the
    // tree and the record-type menu leave it out.
    DeviceTypeDefinition& v14 = types[3];
    v14.code = 4;
    v14.caption = "智能体积修正仪(modbus V1.4)";
    v14.dialect = &FramingDialect::recordRange();
    v14.firstRecord = 1;
    v14.pollIntervalTreeOrMenuMs = 1200;
    v14.pollIntervalRangeOrIdentificationMs = 1200;
    v14.shownInTree = false;
    v14.inRecordMenu = false;
    v14.kinds = kKindsOfType4;
    v14.recordReaderProbe = {2,
                             {"===============智能体积修正仪(北京燃总协议)===============",
                              {0x65, 0x09, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01},
                              {35},
                              200},
                             {},
                             0};

    DeviceTypeDefinition& typed = types[4];
    typed.code = 5;
    typed.caption = "Pellin气体体积修正仪(modbus V2.2)";
    typed.dialect = &FramingDialect::modbusRegisters();
    typed.kinds = kKindsOfType5;
    typed.identification = {1,
                            {"=================Quosta电子气体体积修正仪=================",
                             registerReadBody(0x0FA1, 0x26),
                             {81},
                             300},
                            {},
                            0};
    typed.params.panel = panelSpecOf(5);
    typed.params.fromWorkbook = true;
    typed.params.detectionRank = 1;
    typed.params.selectorRank = 5;
    typed.params.selectorItem = "PELLIN气体体积修正仪(ModBus V2.2)";
    typed.params.selectorTitle = "PELLIN气体体积修正仪";
    typed.params.selectorCaption = "PELLIN气体体积修正仪";
    typed.params.detectedTitle = "PELLIN气体体积修正仪";
    typed.params.detectedCaption = "用户只读参数----PELLIN气体体积修正仪";

    DeviceTypeDefinition& v20 = types[5];
    v20.code = 6;
    v20.caption = "Corvex智能体积修正仪(modbus V2.0)";
    v20.dialect = &FramingDialect::recordRange();
    v20.pollIntervalTreeOrMenuMs = 1200;
    v20.pollIntervalRangeOrIdentificationMs = 1000;
    v20.kinds = kKindsOfType6;
    v20.identification = {
        5,
        {"=================Corvex智能体积修正仪=================", registerReadBody(0x000A, 0x19), {55}, 300},
        {},
        0};
    v20.params.panel = panelSpecOf(6);
    v20.params.steps = {{registerReadBody(10, 25), 400, 0, decodeParamsV20}};
    v20.params.detectionRank = 4;
    v20.params.selectorRank = 3;
    v20.params.selectorItem = "Corvex体积修正仪(ModBus V2.0)";
    v20.params.selectorTitle = "Corvex智能体积修正仪";
    v20.params.selectorCaption = "实时数据----Corvex智能体积修正仪";
    v20.params.detectedTitle = "Corvex智能体积修正仪";
    v20.params.detectedCaption = "用户只读参数----Corvex智能体积修正仪";

    DeviceTypeDefinition& money = types[6];
    money.code = 7;
    money.caption = "金额版IC卡燃气流量计(modbus V3.1)";
    money.dialect = &FramingDialect::recordRange();
    money.kinds = kKindsOfType7;
    money.identification = {
        6,
        {"=================金额版IC卡燃气流量计=================", registerReadBody(0x000A, 0x15), {47}, 300},
        {},
        0};
    money.params.panel = panelSpecOf(7);
    money.params.steps = {{registerReadBody(10, 21), 400, 0, decodeParamsMoney}};
    money.params.busyCursor = true;
    money.params.detectionRank = 5;
    money.params.selectorRank = 6;
    money.params.selectorItem = "金额版IC卡燃气流量计(ModBus V3.1)";
    money.params.selectorTitle = "金额版IC卡燃气流量计";
    money.params.selectorCaption = "金额版IC卡燃气流量计";
    money.params.detectedTitle = "金额版IC卡燃气流量计";
    money.params.detectedCaption = "用户只读参数----金额版IC卡燃气流量计";
    return types;
}

ReplyLengths lengthsOf(const RecordKindDefinition& kind, const FramingDialect& dialect)
{
    ReplyLengths lengths;
    lengths.hasByteCount = dialect.hasByteCount();
    if (!kind.block && !kind.columns) {
        lengths.lengthInByteCount = true;
    } else if (kind.block) {
        lengths.accepted.push_back(static_cast<size_t>(recordBlockLength(*kind.block)));
    } else {
        if (kind.frame.shortAnswer)
            lengths.accepted.push_back(kShortAnswerLength);
        lengths.accepted.push_back(kind.frame.length);
    }
    return lengths;
}

RecordKind makeKind(const DeviceTypeDefinition& type, const RecordKindDefinition& definition)
{
    RecordKind kind;
    kind.deviceType = type.code;
    kind.ordinal = definition.ordinal;
    kind.code = kindCodeOf(type.code, definition.ordinal);
    kind.caption = definition.caption;
    kind.selector = definition.selector;
    kind.blockCount = definition.blockCount;
    kind.recordsPerBlock = definition.recordsPerBlock;
    kind.firstRecord = type.firstRecord;
    kind.progressCaption = definition.progressCaption;
    kind.readStartLogLine = definition.readStartLogLine;
    kind.block = definition.block;
    kind.decode = definition.decode;
    if (definition.columns)
        kind.columns = *definition.columns;
    kind.fieldsFromWorkbook = !definition.block && !definition.columns;
    kind.dialect = type.dialect;
    kind.reply = lengthsOf(definition, *type.dialect);
    kind.menuItem = definition.menuItem;
    kind.plainSelectedImage = definition.plainSelectedImage;
    return kind;
}

} // namespace

DecodeResult RecordKind::decodeReply(const DecodeContext& context, ByteView reply, RecordTable& table) const
{
    if (block)
        return decodeRecordBlock(*block, reply, table);
    return decode ? decode(context, reply, table) : DecodeResult::Stop;
}

int kindCodeOf(int deviceType, int ordinal)
{
    return std::stoi(std::to_string(deviceType) + std::to_string(ordinal));
}

DeviceRegistry::DeviceRegistry()
{
    for (const DeviceTypeDefinition& type : builtInDeviceTypes())
        add(type);
}

DeviceRegistry& DeviceRegistry::instance()
{
    static DeviceRegistry registry;
    return registry;
}

bool DeviceRegistry::add(const DeviceTypeDefinition& definition)
{
    if (definition.code <= 0 || deviceType(definition.code) || !definition.dialect)
        return false;
    DeviceTypeDescription description;
    description.code = definition.code;
    description.caption = definition.caption;
    description.dialect = definition.dialect;
    description.pollIntervalTreeOrMenuMs = definition.pollIntervalTreeOrMenuMs;
    description.pollIntervalRangeOrIdentificationMs = definition.pollIntervalRangeOrIdentificationMs;
    description.shownInTree = definition.shownInTree;
    description.inRecordMenu = definition.inRecordMenu;
    for (const RecordKindDefinition& kind : definition.kinds) {
        const int code = kindCodeOf(definition.code, kind.ordinal);
        if (kind.ordinal <= 0 || recordKind(code))
            return false;
        description.kinds.push_back(makeKind(definition, kind));
    }
    description.identification = definition.identification;
    description.recordReaderProbe = definition.recordReaderProbe;
    description.params = definition.params;
    m_types.push_back(std::move(description));
    rebuildOrder();
    return true;
}

void DeviceRegistry::remove(int code)
{
    m_types.remove_if([code](const DeviceTypeDescription& type) { return type.code == code; });
    rebuildOrder();
}

void DeviceRegistry::rebuildOrder()
{
    m_order.clear();
    for (const DeviceTypeDescription& type : m_types)
        m_order.push_back(&type);
    std::sort(
        m_order.begin(), m_order.end(),
        [](const DeviceTypeDescription* a, const DeviceTypeDescription* b) { return a->code < b->code; });
}

const DeviceTypeDescription* DeviceRegistry::deviceType(int code) const
{
    for (const DeviceTypeDescription* type : m_order)
        if (type->code == code)
            return type;
    return nullptr;
}

const RecordKind* DeviceRegistry::recordKind(int kindCode) const
{
    for (const DeviceTypeDescription* type : m_order)
        for (const RecordKind& kind : type->kinds)
            if (kind.code == kindCode)
                return &kind;
    return nullptr;
}

const RecordKind* DeviceRegistry::recordKind(int deviceTypeCode, int ordinal) const
{
    if (const DeviceTypeDescription* type = deviceType(deviceTypeCode))
        for (const RecordKind& kind : type->kinds)
            if (kind.ordinal == ordinal)
                return &kind;
    return nullptr;
}

std::vector<const DeviceTypeDescription*>
DeviceRegistry::probeOrder(Identification DeviceTypeDescription::*probes) const
{
    std::vector<const DeviceTypeDescription*> order;
    for (const DeviceTypeDescription* type : m_order)
        if ((type->*probes).rank > 0)
            order.push_back(type);
    std::stable_sort(order.begin(), order.end(), [probes](const auto* a, const auto* b) {
        return (a->*probes).rank < (b->*probes).rank;
    });
    return order;
}

std::vector<const DeviceTypeDescription*> DeviceRegistry::paramOrder(int ParamRead::*rank) const
{
    std::vector<const DeviceTypeDescription*> order;
    for (const DeviceTypeDescription* type : m_order)
        if (type->params.panel)
            order.push_back(type);
    std::stable_sort(order.begin(), order.end(),
                     [rank](const auto* a, const auto* b) { return a->params.*rank < b->params.*rank; });
    return order;
}
