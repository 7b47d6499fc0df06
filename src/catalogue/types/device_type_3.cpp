#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "decoding/records_v12.h"
#include "params/param_decoders.h"
using namespace type_parts;

DeviceTypeDescription deviceType3()
{
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
                 .decode = decodeRealtimeCustom,
                 .columns = kRealtimeColumns,
                 .frame = {.length = 30},
                 .menuItem = "N15"},
                {.ordinal = 2,
                 .caption = "月记录48组",
                 .selector = 0x00,
                 .blockCount = 48,
                 .progressCaption = "正在读取月记录,请稍后...",
                 .readStartLogLine = "===========Tamber智能流量计月记录===========",
                 .decode = decodeMonthCustom,
                 .columns = monthColumns(),
                 .frame = {.length = 15},
                 .menuItem = "N17"},
                {.ordinal = 3,
                 .caption = "启停记录400组",
                 .selector = 0x01,
                 .blockCount = 400,
                 .progressCaption = "正在读取启停记录,请稍后...",
                 .readStartLogLine = "===========Tamber智能流量计启停记录===========",
                 .decode = decodeStartStopCustom,
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
        .params = {.panel = panelSpecOf(3),
                   .steps = {{.body = {0x02, 0x00}, .waitMs = 400, .decode = decodeParamsCustom}},
                   .detectionRank = 6,
                   .selectorRank = 4,
                   .selectorItem = "Tamber智能流量计(自定义协议)",
                   .selectorTitle = "Tamber智能流量计(自定义协议)",
                   .selectorCaption = "实时数据----Tamber智能流量计(自定义协议)",
                   .detectedTitle = "Tamber智能流量计(自定义协议)",
                   .detectedCaption = "用户只读参数----Tamber智能流量计(自定义协议)"},
    };
}
