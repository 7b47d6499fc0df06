#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "params/param_decoders.h"
using namespace type_parts;

DeviceTypeDescription deviceType1()
{
    return withRecordByIndexKinds(
        {.code = 1,
         .caption = "智能体积修正仪(modbus V1.2)",
         .identification = {.rank = 3,
                            .probe = {.logLine =
                                          "=================智能体积修正仪(ModBus V1.2)=================",
                                      .body = registerReadBody(0x0000, 0x10),
                                      .replyLengths = {37},
                                      .pauseMs = 300}},
         .recordReaderProbe =
             {.rank = 1,
              .probe = {.logLine = "===============智能体积修正仪实时记录(ModBus协议)===============",
                        .body = {0x66, 0x00, 0x64, 0x02, 0x00, 0x01},
                        .replyLengths = {39},
                        .pauseMs = 200}},
         .params = {.panel = panelSpecOf(1),
                    .steps = {{.body = registerReadBody(0, 19), .waitMs = 400, .decode = decodeParamsV12}},
                    .detectionRank = 3,
                    .selectorRank = 1,
                    .selectorItem = "智能体积修正仪(ModBus V1.2)",
                    .selectorTitle = "智能体积修正仪(ModBus V1.2)",
                    .selectorCaption = "实时数据----智能体积修正仪(ModBus V1.2)",
                    .detectedTitle = "智能体积修正仪(ModBus V1.2协议)",
                    .detectedCaption = "用户只读参数----智能体积修正仪(ModBus V1.2协议)"}},
        "智能体积修正仪(ModBus V1.2)");
}
