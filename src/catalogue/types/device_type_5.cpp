#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "decoding/workbook_fields.h"
using namespace type_parts;

// Its record fields come from the protocol workbook, not from columns of its own.
DeviceTypeDescription deviceType5()
{
    static const ParamPanelSpec kPanel{
        "pnlQuosta", "=================Pellin电子气体体积修正仪=================", {}};
    return {
        .code = 5,
        .caption = "Pellin气体体积修正仪(modbus V2.2)",
        .dialect = &FramingDialect::modbusRegisters(),
        .kinds =
            {
                {.ordinal = 1,
                 .caption = "实时记录120组",
                 .selector = 0,
                 .blockCount = 120,
                 .progressCaption = "正在读取实时记录,请稍后...",
                 .readStartLogLine = "===========Pellin电子气体体积修正仪实时记录===========",
                 .decode = decodeWorkbookFields,
                 .menuItem = "N15"},
                {.ordinal = 2,
                 .caption = "日记录120组",
                 .selector = 1,
                 .blockCount = 120,
                 .progressCaption = "正在读取日记录,请稍后...",
                 .readStartLogLine = "===========Pellin电子气体体积修正仪日记录===========",
                 .decode = decodeWorkbookFields,
                 .menuItem = "N5",
                 .intervalMinutes = 1440},
                {.ordinal = 3,
                 .caption = "月记录25组",
                 .selector = 2,
                 .blockCount = 25,
                 .progressCaption = "正在读取月记录,请稍后...",
                 .readStartLogLine = "===========Pellin电子气体体积修正仪月记录===========",
                 .decode = decodeWorkbookFields,
                 .menuItem = "N17",
                 .intervalMinutes = 44640},
                {.ordinal = 4,
                 .caption = "报警记录100组",
                 .selector = 3,
                 .blockCount = 100,
                 .progressCaption = "正在读取报警记录,请稍后...",
                 .readStartLogLine = "===========Pellin电子气体体积修正仪报警记录===========",
                 .decode = decodeWorkbookAlarmFields,
                 .menuItem = "N25"},
            },
        .identification = {.rank = 1,
                           .probe = {.logLine = "=================Quosta电子气体体积修正仪=================",
                                     .body = registerReadBody(0x0FA1, 0x26),
                                     .replyLengths = {81},
                                     .pauseMs = 300}},
        .params = {.panel = &kPanel,
                   .fromWorkbook = true,
                   .detectionRank = 1,
                   .selectorRank = 5,
                   .selectorItem = "PELLIN气体体积修正仪(ModBus V2.2)",
                   .selectorTitle = "PELLIN气体体积修正仪",
                   .selectorCaption = "PELLIN气体体积修正仪",
                   .detectedTitle = "PELLIN气体体积修正仪",
                   .detectedCaption = "用户只读参数----PELLIN气体体积修正仪",
                   .gridSheetName = "Pellin实时数据",
                   .gridSheetTitle = "Pellin电子体积修正仪实时数据"},
    };
}
