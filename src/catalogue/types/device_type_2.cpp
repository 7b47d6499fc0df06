#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "decoding/param_decoders.h"
using namespace type_parts;

DeviceTypeDescription deviceType2()
{
    static const ParamPanelSpec kPanel{
        "pnlCPU",
        "=================IC卡燃气流量计(ModBus V1.3)=================",
        {{"实时数据",
          {paramValue("lblCPU_psum", "工况累积量(m3)："), paramValue("lblCPU_sum", "标况累积量(m3)："),
           paramValue("lblCPU_vm", "工况流量(m3/h)："), paramValue("lblCPU_v0", "标况流量(m3/h)："),
           paramValue("lblCPU_t", "温度(℃)："), paramValue("lblCPU_p", "压力(Kpa)：")}},
         {"CPU卡参数",
          {paramValue("lblCPU_UserNo", "用户号："), paramValue("lblCPU_MeterType", "表型号："),
           paramValue("lblCPU_MeterState", "表状态："), paramValue("lblCPU_Remain", "剩余气量："),
           paramValue("lblCPU_BuyTime", "购气次数："), paramValue("lblCPU_TotalBuy", "累计购气量："),
           paramValue("lblCPU_ThisBuy", "本次购气量："), paramValue("lblCPU_YingjiBuy", "累计应急购气量："),
           paramValue("lblCPU_YingjiThisBuy", "本次应急购气量："),
           paramValue("lblCPU_YingjiTime", "应急购气次数："), paramValue("lblCPU_AL", "报警气量："),
           paramValue("lblCPU_BuyLimit", "充值限："), paramValue("lblCPU_TouZhi", "透支限："),
           paramValue("lblCPU_zero", "过零气量："), paramValue("lblCPU_ProTime", "拆卸次数："),
           paramValue("lblCPU_ValTime", "阀开关次数："), paramValue("lblCPU_LowBat", "低电压次数：")}}}};
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
         .params = {.panel = &kPanel,
                    .steps = {{.body = registerReadBody(0, 16), .waitMs = 300, .decode = decodeLiveType2},
                              {.body = registerReadBody(0x0106, 27),
                               .waitMs = 300,
                               .pauseBeforeMs = 1700,
                               .decode = decodeCardParamsType2}},
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
