#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "params/param_decoders.h"
using namespace type_parts;

DeviceTypeDescription deviceType2()
{
    return withRecordByIndexKinds(
        {.code = 2,
         .caption = "IC卡燃气流量计(modbus V1.3)",
         // Answers the first window as type 1 does; only this type has the second,
         // after a long pause the meter needs.
         .identification =
             {.rank = 2,
              .probe = {.logLine = "=================IC卡燃气流量计(ModBus V1.3)=================",
                        .body = registerReadBody(0x0000, 0x10),
                        .replyLengths = {37},
                        .pauseMs = 300},
              .confirm = {.body = registerReadBody(0x0106, 0x1B), .replyLengths = {59}, .pauseMs = 300},
              .confirmPauseMs = 1700},
         .params = {.panel = panelSpecOf(2),
                    .steps = {{.body = registerReadBody(0, 16), .waitMs = 300, .decode = decodeLiveV13},
                              {.body = registerReadBody(0x0106, 27),
                               .waitMs = 300,
                               .pauseBeforeMs = 1700,
                               .decode = decodeCardParamsV13}},
                    .detectionRank = 2,
                    .detectionAttempts = 2,
                    .selectorRank = 2,
                    .selectorItem = "IC卡燃气流量计(ModBus V1.3)",
                    .selectorTitle = "IC卡燃气流量计(ModBus V1.3)",
                    .selectorCaption = "实时数据----IC卡燃气流量计(ModBus V1.3)",
                    .detectedTitle = "IC卡燃气流量计(ModBus V1.3协议)",
                    .detectedCaption = "用户只读参数----IC卡燃气流量计(ModBus V1.3协议)"}},
        "IC卡燃气流量计");
}
