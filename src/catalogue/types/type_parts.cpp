#include "catalogue/types/type_parts.h"

#include "decoding/records_types_1_2_3.h"

namespace type_parts {

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

TableColumn text(std::string caption, int width)
{
    return {std::move(caption), width, ColumnType::Text};
}

Bytes registerReadBody(uint16_t first, uint16_t count)
{
    return {0x03, static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first & 0xFF),
            static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF)};
}

const Columns& monthColumns()
{
    static const Columns columns{index(), timeText("日期", 100), number("标况累积量(m3)", 120)};
    return columns;
}

const Columns& startStopRecordColumns()
{
    static const Columns columns{index(), timeText("记录时间", 135), number("标况累积量(m3)", 100),
                                 text("标记", 55)};
    return columns;
}

const Columns& currentHourColumns()
{
    static const Columns columns{index(), timeText("记录时间", 145), number("当前小时标况累积量(m3)", 150),
                                 number("当前小时工况累积量(m3)", 150)};
    return columns;
}

const Columns& prevHourColumns()
{
    static const Columns columns{index(),
                                 timeText("记录时间", 145),
                                 number("前1小时标况累积量(m3)", 146),
                                 number("前1小时工况累积量(m3)", 146),
                                 number("压缩系数", 80),
                                 number("标况压缩因子", 90),
                                 number("工况压缩因子", 90)};
    return columns;
}

const Columns& alarmEventColumns()
{
    static const Columns columns{index(),
                                 timeText("报警时间", 135),
                                 number("标况累积量(m3)", 102),
                                 number("工况累积量(m3)", 102),
                                 number("标况瞬时流量(m3/h)", 125),
                                 number("工况瞬时流量(m3/h)", 125),
                                 number("燃气温度(℃)", 88),
                                 number("燃气绝对压力(KPa)", 117),
                                 text("状态字", 70),
                                 text("报警字", 70)};
    return columns;
}

const Columns& startStopColumns()
{
    static const Columns columns{index(), timeText("报警时间", 145), number("标况累积量(m3)", 102),
                                 text("启停标志", 80)};
    return columns;
}

const Columns& dailyColumns()
{
    static const Columns columns{index(), timeText("时间", 145), number("日标况累积量(m3)", 120),
                                 number("日工况累积量(m3)", 120)};
    return columns;
}

const Columns& paramChangeColumns()
{
    static const Columns columns{index(), timeText("参数修改起始时间", 145), text("参数修改状态字", 145),
                                 text("原参数", 100), text("修改后参数", 100)};
    return columns;
}

const Columns& limitAlarmColumns()
{
    static const Columns columns{index(),
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
    return columns;
}

const Columns& monthBlockColumns()
{
    static const Columns columns{index(), timeText("报警时间", 145), number("标况累积量(m3)", 102)};
    return columns;
}

DeviceTypeDescription withRecordByIndexKinds(DeviceTypeDescription type, std::string_view logName)
{
    static const Columns realtimeColumns{index(),
                                         timeText("时间", 145),
                                         number("工况累积量(m3)", 103),
                                         number("标况累积量(m3)", 103),
                                         number("标况瞬时流量(m3/h)", 123),
                                         number("温度(℃)", 65),
                                         number("压力(KPa)", 70)};
    static const Columns antiCutColumns{index(), timeText("记录时间", 135), text("标记", 55)};
    const auto logLine = [logName](std::string_view record) {
        return "===========" + std::string(logName) + std::string(record) + "===========";
    };
    type.dialect = &FramingDialect::recordByIndex();
    type.firstRecord = 1;
    type.kinds = {
        {.ordinal = 1,
         .caption = "实时记录700组",
         .selector = 0x64,
         .blockCount = 700,
         .progressCaption = "正在读取实时记录,请稍后...",
         .readStartLogLine = logLine("实时记录"),
         .decode = decodeRealtimeTypes1And2,
         .columns = realtimeColumns,
         .frame = {.length = 39},
         .menuItem = "N15"},
        {.ordinal = 2,
         .caption = "月记录100组",
         .selector = 0x65,
         .blockCount = 100,
         .progressCaption = "正在读取月记录,请稍后...",
         .readStartLogLine = logLine("月记录"),
         .decode = decodeMonthTypes1And2,
         .columns = monthColumns(),
         .frame = {.length = 15, .shortAnswer = true},
         .menuItem = "N17",
         .intervalMinutes = 44640},
        {.ordinal = 3,
         .caption = "启停记录500组",
         .selector = 0x66,
         .blockCount = 500,
         .progressCaption = "正在读取启停记录,请稍后...",
         .readStartLogLine = logLine("启停记录"),
         .decode = decodeStartStopTypes1And2,
         .columns = startStopRecordColumns(),
         .frame = {.length = 21, .shortAnswer = true},
         .menuItem = "N18"},
        {.ordinal = 4,
         .caption = "防剪断记录16组",
         .selector = 0x67,
         .blockCount = 16,
         .progressCaption = "正在读取防剪断记录,请稍后...",
         .readStartLogLine = logLine("防剪断记录"),
         .decode = decodeAntiCutTypes1And2,
         .columns = antiCutColumns,
         .frame = {.length = 13, .shortAnswer = true},
         .menuItem = "N19"},
    };
    return type;
}

} // namespace type_parts
