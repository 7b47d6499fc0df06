#include "catalogue/types/built_in_types.h"
#include "catalogue/types/type_parts.h"

#include "decoding/param_decoders.h"
using namespace type_parts;

DeviceTypeDescription deviceType1()
{
    static const ParamPanelSpec kPanel{
        "pnlV18",
        "=================智能体积修正仪(ModBus V1.2)=================",
        {{"实时数据",
          {paramValue("lblV18_psum", "工况累积量(m3)："), paramValue("lblV18_sum", "标况累积量(m3)："),
           paramValue("lblV18_Vm", "工况流量(m3/h)："), paramValue("lblV18_V0", "标况流量(m3/h)："),
           paramValue("lblV18_T", "温度(℃)："), paramValue("lblV18_P", "压力(Kpa)："),
           paramValue("lblV18_SFC", "压缩因子(Fc)：")}},
         // Offset 39 is not used.
         {"仪表故障",
          {paramStatus("lblV18_GZ", "硬件故障：", 40, 7, "异常", "正常"),
           paramStatus("lblV18_VmAL", "工况流量低报警：", 40, 6, "异常", "正常"),
           paramStatus("lblV18_VmALH", "工况流量高报警：", 40, 5, "异常", "正常"),
           paramStatus("lblV18_LowBat1", "电池欠压1报警：", 40, 4, "异常", "正常"),
           paramStatus("lblV18_LowBat2", "电池欠压2报警：", 40, 3, "异常", "正常"),
           paramStatus("lblV18_V", "瞬时流量：", 40, 2, "异常", "正常"),
           paramStatus("lblV18_Key", "按键操作：", 40, 1, "有", "无"),
           paramStatus("lblV18_Bat", "外电源：", 40, 0, "有", "无")}}}};
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
         .params = {.panel = &kPanel,
                    .steps = {{.body = registerReadBody(0, 19), .waitMs = 400, .decode = decodeParamsType1}},
                    .detectionRank = 3,
                    .selectorRank = 1,
                    .selectorItem = "智能体积修正仪(ModBus V1.2)",
                    .selectorTitle = "智能体积修正仪(ModBus V1.2)",
                    .selectorCaption = "实时数据----智能体积修正仪(ModBus V1.2)",
                    .detectedTitle = "智能体积修正仪(ModBus V1.2协议)",
                    .detectedCaption = "用户只读参数----智能体积修正仪(ModBus V1.2协议)"}},
        "智能体积修正仪(ModBus V1.2)");
}
