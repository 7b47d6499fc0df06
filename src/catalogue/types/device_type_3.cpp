#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "decoding/param_decoders.h"
#include "decoding/records_types_1_2_3.h"
using namespace type_parts;

DeviceTypeDescription deviceType3()
{
    static const ParamPanelSpec kPanel{
        "pnl55",
        "=================Tamber智能流量计(自定义协议)=================",
        {{"实时数据",
          {paramValue("lbl55Vm", "工况流量(m3/h)："), paramValue("lbl55V0", "标况流量(m3/h)："),
           paramValue("lbl55_T", "温度(℃)："), paramValue("lbl55_P", "压力(Kpa)："),
           paramValue("lbl55_sum", "标况累积量(m3)：")}},
         {"仪表状态与故障",
          {paramStatus("lbl55_cmd", "命令响应：", 5, 7, "无响应", "响应"),
           paramStatus("lbl55_alarm", "标况流量报警：", 5, 6, "异常", "正常"),
           paramStatus("lbl55_sleep", "睡眠：", 5, 5, "睡眠", "无"),
           paramStatus("lbl55_ExV", "外电源：", 5, 4, "有", "无"),
           paramStatus("lbl55_sfc", "压缩因子补偿：", 5, 3, "补偿", "无"),
           paramStatus("lbl55_key", "按键：", 5, 2, "有", "无"),
           paramStatus("lbl55_BatLow", "电池欠压：", 5, 1, "欠压", "正常"),
           paramStatus("lbl55_vm", "流量：", 5, 0, "偏小", "正常"),
           paramStatus("lbl55_f", "频率电路：", 6, 7, "异常", "正常"),
           paramStatus("lbl55_TSensor", "温度传感器：", 6, 6, "异常", "正常"),
           paramStatus("lbl55_PSensor", "压力传感器：", 6, 5, "异常", "正常"),
           paramStatus("lbl55_ad", "A/D转换电路：", 6, 4, "异常", "正常"),
           paramStatus("lbl55_ram", "RAM：", 6, 3, "异常", "正常"),
           paramStatus("lbl55_eeprom", "EEPROM：", 6, 2, "异常", "正常"),
           paramStatus("lbl55_uart", "串行口通信：", 6, 1, "异常", "正常"),
           paramStatus("lbl55_clock", "时钟电路：", 6, 0, "异常", "正常")}}}};
    static const Columns kRealtimeColumns{index(),
                                          timeText("时间", 140),
                                          number("标况累积量(m3)", 100),
                                          number("标况流量(m3/h)", 100),
                                          number("温度(℃)", 75),
                                          number("压力(KPa)", 75)};

    return {
        .code = 3,
        .caption = "Tamber智能流量计(自定义协议)",
        .dialect = &FramingDialect::customSum8(),
        .pollIntervalTreeOrMenuMs = 700,
        .pollIntervalRangeOrIdentificationMs = 700,
        .kinds =
            {
                {.ordinal = 1,
                 .caption = "实时记录360组",
                 .selector = 0x02,
                 .blockCount = 360,
                 .progressCaption = "正在读取实时记录,请稍后...",
                 .readStartLogLine = "===========Tamber智能流量计实时记录===========",
                 .decode = decodeRealtimeType3,
                 .columns = kRealtimeColumns,
                 .frame = {.length = 30},
                 .menuItem = "N15"},
                {.ordinal = 2,
                 .caption = "月记录48组",
                 .selector = 0x00,
                 .blockCount = 48,
                 .progressCaption = "正在读取月记录,请稍后...",
                 .readStartLogLine = "===========Tamber智能流量计月记录===========",
                 .decode = decodeMonthType3,
                 .columns = monthColumns(),
                 .frame = {.length = 15},
                 .menuItem = "N17",
                 .intervalMinutes = 44640},
                {.ordinal = 3,
                 .caption = "启停记录400组",
                 .selector = 0x01,
                 .blockCount = 400,
                 .progressCaption = "正在读取启停记录,请稍后...",
                 .readStartLogLine = "===========Tamber智能流量计启停记录===========",
                 .decode = decodeStartStopType3,
                 .columns = startStopRecordColumns(),
                 .frame = {.length = 19},
                 .menuItem = "N18"},
            },
        // The status request; 30 bytes with a 48-bit volume, 28 with a 32-bit one.
        .identification = {.rank = 4,
                           .probe = {.logLine =
                                         "=================Tamber智能流量计(自定义协议)=================",
                                     .body = {0x02, 0x00},
                                     .replyLengths = {28, 30},
                                     .pauseMs = 400}},
        .recordReaderProbe = {.rank = 3,
                              .probe = {.logLine =
                                            "===============Tamber智能流量计(自定义协议)===============",
                                        .body = {0x28, 0x03, 0x02, 0x00, 0x01},
                                        .replyLengths = {30},
                                        .pauseMs = 200}},
        .params = {.panel = &kPanel,
                   .steps = {{.body = {0x02, 0x00}, .waitMs = 400, .decode = decodeParamsType3}},
                   .detectionRank = 6,
                   .selectorRank = 4,
                   .selectorItem = "Tamber智能流量计(自定义协议)",
                   .selectorTitle = "Tamber智能流量计(自定义协议)",
                   .selectorCaption = "实时数据----Tamber智能流量计(自定义协议)",
                   .detectedTitle = "Tamber智能流量计(自定义协议)",
                   .detectedCaption = "用户只读参数----Tamber智能流量计(自定义协议)"},
    };
}
