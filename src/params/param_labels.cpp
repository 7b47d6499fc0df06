#include "params/param_labels.h"

namespace {

ParamLabelSpec valueOf(const char* name, const char* caption, const char* resetText = "0")
{
    return {name, caption, LabelKind::Value, resetText};
}

ParamLabelSpec status(const char* name, const char* caption, int offset, int bit, const char* setText,
                      const char* clearText)
{
    return {name, caption, LabelKind::Status, clearText, offset, bit, setText, clearText};
}

std::vector<ParamPanelSpec> buildPanels()
{
    std::vector<ParamPanelSpec> panels;

    panels.push_back({1,
                      "pnlV18",
                      "=================智能体积修正仪(ModBus V1.2)=================",
                      {{"实时数据",
                        {valueOf("lblV18_psum", "工况累积量(m3)："),
                         valueOf("lblV18_sum", "标况累积量(m3)："), valueOf("lblV18_Vm", "工况流量(m3/h)："),
                         valueOf("lblV18_V0", "标况流量(m3/h)："), valueOf("lblV18_T", "温度(℃)："),
                         valueOf("lblV18_P", "压力(Kpa)："), valueOf("lblV18_SFC", "压缩因子(Fc)：")}},
                       // Offset 39 is not used.
                       {"仪表故障",
                        {status("lblV18_GZ", "硬件故障：", 40, 7, "异常", "正常"),
                         status("lblV18_VmAL", "工况流量低报警：", 40, 6, "异常", "正常"),
                         status("lblV18_VmALH", "工况流量高报警：", 40, 5, "异常", "正常"),
                         status("lblV18_LowBat1", "电池欠压1报警：", 40, 4, "异常", "正常"),
                         status("lblV18_LowBat2", "电池欠压2报警：", 40, 3, "异常", "正常"),
                         status("lblV18_V", "瞬时流量：", 40, 2, "异常", "正常"),
                         status("lblV18_Key", "按键操作：", 40, 1, "有", "无"),
                         status("lblV18_Bat", "外电源：", 40, 0, "有", "无")}}}});

    panels.push_back(
        {2,
         "pnlCPU",
         "=================IC卡燃气流量计(ModBus V1.3)=================",
         {{"实时数据",
           {valueOf("lblCPU_psum", "工况累积量(m3)："), valueOf("lblCPU_sum", "标况累积量(m3)："),
            valueOf("lblCPU_vm", "工况流量(m3/h)："), valueOf("lblCPU_v0", "标况流量(m3/h)："),
            valueOf("lblCPU_t", "温度(℃)："), valueOf("lblCPU_p", "压力(Kpa)：")}},
          {"CPU卡参数",
           {valueOf("lblCPU_UserNo", "用户号："), valueOf("lblCPU_MeterType", "表型号："),
            valueOf("lblCPU_MeterState", "表状态："), valueOf("lblCPU_Remain", "剩余气量："),
            valueOf("lblCPU_BuyTime", "购气次数："), valueOf("lblCPU_TotalBuy", "累计购气量："),
            valueOf("lblCPU_ThisBuy", "本次购气量："), valueOf("lblCPU_YingjiBuy", "累计应急购气量："),
            valueOf("lblCPU_YingjiThisBuy", "本次应急购气量："),
            valueOf("lblCPU_YingjiTime", "应急购气次数："), valueOf("lblCPU_AL", "报警气量："),
            valueOf("lblCPU_BuyLimit", "充值限："), valueOf("lblCPU_TouZhi", "透支限："),
            valueOf("lblCPU_zero", "过零气量："), valueOf("lblCPU_ProTime", "拆卸次数："),
            valueOf("lblCPU_ValTime", "阀开关次数："), valueOf("lblCPU_LowBat", "低电压次数：")}}}});

    panels.push_back(
        {6,
         "pnlCorvex",
         "=================Corvex智能体积修正仪=================",
         {{"实时数据",
           {valueOf("lblCorvex_time", "采集时间：", "2000-00-00 00:00:00"),
            valueOf("lblCorvex_Sum", "标况累积量(m3)："), valueOf("lblCorvex_psum", "工况累积量(m3)："),
            valueOf("lblCorvex_v0", "标况瞬时流量(m3/h)："), valueOf("lblCorvex_vm", "工况瞬时流量(m3/h)："),
            valueOf("lblCorvex_t", "燃气温度(℃)："), valueOf("lblCorvex_p", "燃气绝对压力(Kpa)："),
            valueOf("lblCorvex_SumErr", "错误标况累积量(m3)：")}},
          // Bits 5 and 0 of offset 43 and bits 5 and 4 of offset 44 are not shown.
          {"仪表报警",
           {status("lblCorvex_Pl", "压力超下限报警：", 43, 7, "超限", "正常"),
            status("lblCorvex_Tl", "温度超下限报警：", 43, 6, "超限", "正常"),
            status("lblCorvex_Pro", "防剪断：", 43, 4, "剪断", "正常"),
            status("lblCorvex_Mag", "磁干扰：", 43, 3, "干扰", "正常"),
            status("lblCorvex_BatEx", "外电源失电：", 43, 2, "失电", "正常"),
            status("lblCorvex_ChgBat", "更换积算仪电池：", 43, 1, "更换", "正常"),
            status("lblCorvex_TErr", "温度传感器故障：", 44, 7, "故障", "正常"),
            status("lblCorvex_PErr", "压力传感器故障：", 44, 6, "故障", "正常"),
            status("lblCorvex_BatLow", "积算仪电量不足：", 44, 3, "电量不足", "正常"),
            status("lblCorvex_Ph", "压力上限报警：", 44, 2, "超限", "正常"),
            status("lblCorvex_Th", "温度上限报警：", 44, 1, "超限", "正常"),
            status("lblCorvex_Vmh", "工况流量上限报警：", 44, 0, "超限", "正常")}}}});

    panels.push_back({3,
                      "pnl55",
                      "=================Tamber智能流量计(自定义协议)=================",
                      {{"实时数据",
                        {valueOf("lbl55Vm", "工况流量(m3/h)："), valueOf("lbl55V0", "标况流量(m3/h)："),
                         valueOf("lbl55_T", "温度(℃)："), valueOf("lbl55_P", "压力(Kpa)："),
                         valueOf("lbl55_sum", "标况累积量(m3)：")}},
                       {"仪表状态与故障",
                        {status("lbl55_cmd", "命令响应：", 5, 7, "无响应", "响应"),
                         status("lbl55_alarm", "标况流量报警：", 5, 6, "异常", "正常"),
                         status("lbl55_sleep", "睡眠：", 5, 5, "睡眠", "无"),
                         status("lbl55_ExV", "外电源：", 5, 4, "有", "无"),
                         status("lbl55_sfc", "压缩因子补偿：", 5, 3, "补偿", "无"),
                         status("lbl55_key", "按键：", 5, 2, "有", "无"),
                         status("lbl55_BatLow", "电池欠压：", 5, 1, "欠压", "正常"),
                         status("lbl55_vm", "流量：", 5, 0, "偏小", "正常"),
                         status("lbl55_f", "频率电路：", 6, 7, "异常", "正常"),
                         status("lbl55_TSensor", "温度传感器：", 6, 6, "异常", "正常"),
                         status("lbl55_PSensor", "压力传感器：", 6, 5, "异常", "正常"),
                         status("lbl55_ad", "A/D转换电路：", 6, 4, "异常", "正常"),
                         status("lbl55_ram", "RAM：", 6, 3, "异常", "正常"),
                         status("lbl55_eeprom", "EEPROM：", 6, 2, "异常", "正常"),
                         status("lbl55_uart", "串行口通信：", 6, 1, "异常", "正常"),
                         status("lbl55_clock", "时钟电路：", 6, 0, "异常", "正常")}}}});

    panels.push_back({5, "pnlQuosta", "=================Pellin电子气体体积修正仪=================", {}});

    ParamLabelSpec tErr = status("lblICMoney_TErr", "温度传感器故障：", 44, 7, "有", "无");
    // The reset shows "正常", not the clear text of the bit.
    tErr.resetText = "正常";
    panels.push_back(
        {7,
         "pnlICMoney",
         "=================金额版IC卡燃气流量计=================",
         {{"实时数据",
           {valueOf("lblICMoney_time", "采集时间：", "2000-01-01 00:00:00"),
            valueOf("lblICMoney_sum", "标况累积量(m3)："),
            valueOf("lblICMoney_psum", "工况累积量(m3)："),
            valueOf("lblICMoney_v0", "标况流量(m3/h)："),
            valueOf("lblICMoney_vm", "工况流量(m3/h)："),
            valueOf("lblICMoney_t", "温度(℃)："),
            valueOf("lblICMoney_p", "压力(Kpa)："),
            {"lblICMoney_st", "状态字：", LabelKind::Kept, "0000"},
            {"lblICMoney_alarm", "报警字：", LabelKind::Kept, "0000"}}},
          // Offset 44 is the low byte of the alarm word, 43 its high byte, 42 the low
          // byte of the status word.
          {"仪表状态",
           {status("lblICMoney_vmh", "瞬时工况流量上限报警：", 44, 0, "超上限", "正常"),
            status("lblICMoney_th", "温度上限报警：", 44, 1, "超上限", "正常"),
            status("lblICMoney_ph", "压力上限报警：", 44, 2, "超上限", "正常"),
            status("lblICMoney_LJSBat", "积算仪电量不足：", 44, 3, "不足", "充足"),
            status("lblICMoney_CardBat", "卡控电量不足：", 44, 4, "不足", "充足"),
            status("lblICMoney_Valve", "阀门故障：", 44, 5, "异常", "正常"),
            status("lblICMoney_PErr", "压力传感器故障：", 44, 6, "异常", "正常"),
            tErr,
            status("lblICMoney_ChgCardBat", "更换卡控电池：", 43, 0, "有", "无"),
            status("lblICMoney_ChgLJSBat", "更换积算仪电池：", 43, 1, "有", "无"),
            status("lblICMoney_BatEx", "外电源失电：", 43, 2, "失电", "正常"),
            status("lblICMoney_BuySt", "购气提示状态：", 42, 4, "购气异常", "购气正常"),
            status("lblICMoney_Tz", "透支状态：", 42, 2, "有透支", "无透支"),
            // Bits 1 and 0 of offset 42 together: 0 closed, 1 open, 2 or 3 a fault.
            {"lblICMoney_ValveSt", "阀门状态：", LabelKind::Status, "正常", 42, -1, "异常", nullptr},
            // The meter reports no bits for these two; the panel keeps them.
            {"lblICMoney_TLow", "温度低报警：", LabelKind::Fixed, "正常"},
            {"lblICMoney_THigh", "温度高报警：", LabelKind::Fixed, "正常"}}}}});
    return panels;
}

} // namespace

const std::vector<ParamPanelSpec>& paramPanels()
{
    static const std::vector<ParamPanelSpec> panels = buildPanels();
    return panels;
}

const ParamPanelSpec* panelSpecOf(int deviceType)
{
    for (const ParamPanelSpec& panel : paramPanels())
        if (panel.deviceType == deviceType)
            return &panel;
    return nullptr;
}

const ParamLabelSpec* findLabelSpec(const std::string& name)
{
    for (const ParamPanelSpec& panel : paramPanels())
        for (const ParamGroupSpec& group : panel.groups)
            for (const ParamLabelSpec& label : group.labels)
                if (name == label.name)
                    return &label;
    return nullptr;
}

void blankParamLabels(const ParamPanelSpec& panel, LabelValues& values)
{
    for (const ParamGroupSpec& group : panel.groups) {
        for (const ParamLabelSpec& label : group.labels)
            values[label.name] = {label.kind == LabelKind::Fixed ? label.resetText : "", LabelState::Normal};
    }
}

void resetParamLabels(const ParamPanelSpec& panel, LabelValues& values)
{
    for (const ParamGroupSpec& group : panel.groups) {
        for (const ParamLabelSpec& label : group.labels) {
            const bool keep = label.kind == LabelKind::Kept || label.kind == LabelKind::Fixed;
            if (keep && values.count(label.name))
                continue;
            values[label.name] = {label.resetText, LabelState::Normal};
        }
    }
}
