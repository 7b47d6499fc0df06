#include "params/param_decoders.h"

#include <cstdint>

namespace {

void SetValue(LabelValues& values, const char* name, std::string text)
{
    values[name] = {std::move(text), LabelState::Normal};
}

// The reply has exactly `length` bytes and its last two are the CRC of the rest,
// high byte first.
int CheckParamReply(ByteView reply, size_t length)
{
    switch (CheckModbusReply(reply, length)) {
    case FrameCheck::Ok:
        return ParamResult::Decoded;
    case FrameCheck::BadLength:
        return ParamResult::BadLength;
    case FrameCheck::BadCheck:
        break;
    }
    return ParamResult::BadCheck;
}

// Every single-bit status label of the panel, from the reply bytes they name.
void ShowStatusBits(int deviceType, ByteView reply, LabelValues& values)
{
    const ParamPanelSpec* panel = PanelSpecOf(deviceType);
    for (const ParamGroupSpec& group : panel->groups) {
        for (const ParamLabelSpec& label : group.labels) {
            if (label.kind != LabelKind::Status || label.bit < 0 ||
                static_cast<size_t>(label.offset) >= reply.size())
                continue;
            const bool set = (reply[static_cast<size_t>(label.offset)] >> label.bit) & 1;
            values[label.name] = set ? LabelValue{label.setText, LabelState::Alarm}
                                     : LabelValue{label.clearText, LabelState::Normal};
        }
    }
}

std::string Int32Text(ByteView bytes)
{
    return std::to_string(static_cast<int32_t>(ReadUInt32(bytes)));
}

std::string UInt16Text(ByteView bytes)
{
    return std::to_string(bytes[0] << 8 | bytes[1]);
}

// The live values that device types 1 and 2 both put at offsets 3 to 34.
void ShowFixedPointLive(ByteView reply, LabelValues& values, const char* psum, const char* sum,
                        const char* vm, const char* v0, const char* t, const char* p)
{
    SetValue(values, psum, Format("%6.4f", ReadFixed48_16(reply.subspan(3, 8))));
    SetValue(values, sum, Format("%6.4f", ReadFixed48_16(reply.subspan(11, 8))));
    SetValue(values, vm, TrimBlanks(Format("%6.2f", ReadFixed23_8(reply.subspan(19, 4)))));
    SetValue(values, v0, TrimBlanks(Format("%6.2f", ReadFixed23_8(reply.subspan(23, 4)))));
    SetValue(values, t, TrimBlanks(Format("%6.1f", ReadFixed23_8(reply.subspan(27, 4)))));
    SetValue(values, p, TrimBlanks(Format("%6.1f", ReadFixed23_8(reply.subspan(31, 4)))));
}

} // namespace

std::string BytesToDecimalDigits(int width, ByteView bytes)
{
    std::string text;
    for (uint8_t b : bytes)
        text += std::to_string(b);
    return PadLeftZeros(std::move(text), width);
}

int DecodeParamsV12(ByteView reply, LabelValues& values)
{
    if (const int check = CheckParamReply(reply, kReplyLengthV12); check != ParamResult::Decoded)
        return check;
    ShowFixedPointLive(reply, values, "lblV18_psum", "lblV18_sum", "lblV18_Vm", "lblV18_V0", "lblV18_T",
                       "lblV18_P");
    SetValue(values, "lblV18_SFC", Format("%6.4f", ReadFixed7_24(reply.subspan(35, 4))));
    ShowStatusBits(1, reply, values);
    return ParamResult::Decoded;
}

int DecodeLiveV13(ByteView reply, LabelValues& values)
{
    if (const int check = CheckParamReply(reply, kReplyLengthLiveV13); check != ParamResult::Decoded)
        return check;
    ShowFixedPointLive(reply, values, "lblCPU_psum", "lblCPU_sum", "lblCPU_vm", "lblCPU_v0", "lblCPU_t",
                       "lblCPU_p");
    return ParamResult::Decoded;
}

int DecodeCardParamsV13(ByteView reply, LabelValues& values)
{
    if (const int check = CheckParamReply(reply, kReplyLengthCardV13); check != ParamResult::Decoded)
        return check;
    // Offsets 8 and 10 are not used.
    SetValue(values, "lblCPU_UserNo", BcdToDigits(reply.subspan(3, 5)));
    SetValue(values, "lblCPU_MeterType", BcdToDigits(reply.subspan(9, 1)));
    // The meter keeps its state low byte first.
    SetValue(values, "lblCPU_MeterState", std::to_string(reply[12]) + std::to_string(reply[11]));
    SetValue(values, "lblCPU_Remain", Int32Text(reply.subspan(13, 4)));
    SetValue(values, "lblCPU_BuyTime", UInt16Text(reply.subspan(17, 2)));
    SetValue(values, "lblCPU_TotalBuy", Int32Text(reply.subspan(19, 4)));
    SetValue(values, "lblCPU_ThisBuy", Int32Text(reply.subspan(23, 4)));
    SetValue(values, "lblCPU_YingjiBuy", Int32Text(reply.subspan(27, 4)));
    SetValue(values, "lblCPU_YingjiThisBuy", Int32Text(reply.subspan(31, 4)));
    SetValue(values, "lblCPU_YingjiTime", UInt16Text(reply.subspan(35, 2)));
    SetValue(values, "lblCPU_AL", Format("%.2f", ReadFixed23_8(reply.subspan(37, 4))));
    SetValue(values, "lblCPU_BuyLimit", Format("%.2f", ReadFixed23_8(reply.subspan(41, 4))));
    SetValue(values, "lblCPU_TouZhi", UInt16Text(reply.subspan(45, 2)));
    SetValue(values, "lblCPU_zero", Int32Text(reply.subspan(47, 4)));
    SetValue(values, "lblCPU_ProTime", UInt16Text(reply.subspan(51, 2)));
    SetValue(values, "lblCPU_ValTime", UInt16Text(reply.subspan(53, 2)));
    SetValue(values, "lblCPU_LowBat", BytesToDecimalDigits(4, reply.subspan(55, 2)));
    return ParamResult::Decoded;
}

int DecodeParamsV20(ByteView reply, LabelValues& values)
{
    if (const int check = CheckParamReply(reply, kReplyLengthV20); check != ParamResult::Decoded)
        return check;
    SetValue(values, "lblCorvex_time", BcdToDateTime(reply.subspan(3, 6)));
    SetValue(values, "lblCorvex_Sum", Format("%6.4f", ReadDouble(reply.subspan(9, 8))));
    SetValue(values, "lblCorvex_psum", Format("%6.4f", ReadDouble(reply.subspan(17, 8))));
    SetValue(values, "lblCorvex_v0", TrimBlanks(Format("%6.2f", ReadSingle(reply.subspan(25, 4)))));
    SetValue(values, "lblCorvex_vm", TrimBlanks(Format("%6.2f", ReadSingle(reply.subspan(29, 4)))));
    SetValue(values, "lblCorvex_t", TrimBlanks(Format("%6.1f", ReadSingle(reply.subspan(33, 4)))));
    SetValue(values, "lblCorvex_p", TrimBlanks(Format("%6.1f", ReadSingle(reply.subspan(37, 4)))));
    // Offsets 41 and 42 are not used.
    SetValue(values, "lblCorvex_SumErr", Format("%6.4f", ReadDouble(reply.subspan(45, 8))));
    ShowStatusBits(6, reply, values);
    return ParamResult::Decoded;
}

int DecodeParamsCustom(ByteView reply, LabelValues& values)
{
    const size_t length = reply.size();
    if (length != 30 && length != 28)
        return ParamResult::BadLength;
    if (ByteSum8(reply.subspan(2, length - 3)) != reply[length - 1])
        return ParamResult::BadCheck;
    if (reply[0] != 0x55 || reply[1] != 0x55)
        return ParamResult::BadStart;
    SetValue(values, "lbl55Vm", Format("%.2f", ReadFloat32Exp(reply.subspan(7, 4))));
    SetValue(values, "lbl55V0", Format("%.2f", ReadFloat32Exp(reply.subspan(11, 4))));
    SetValue(values, "lbl55_T", Format("%.2f", ReadFloat32Exp(reply.subspan(15, 4))));
    SetValue(values, "lbl55_P", Format("%.2f", ReadFloat32Exp(reply.subspan(19, 4))));
    // The long answer carries the standard volume in the 48-bit form, the short in the 32-bit one.
    const double volume =
        length == 30 ? ReadFloat48Exp(reply.subspan(23, 6)) : ReadFloat32Exp(reply.subspan(23, 4));
    SetValue(values, "lbl55_sum", Format("%.4f", volume));
    ShowStatusCustom(reply, values);
    return ParamResult::Decoded;
}

void ShowStatusCustom(ByteView reply, LabelValues& values)
{
    ShowStatusBits(3, reply, values);
}

int DecodeParamsMoney(ByteView reply, LabelValues& values)
{
    if (const int check = CheckParamReply(reply, kReplyLengthMoney); check != ParamResult::Decoded)
        return check;
    SetValue(values, "lblICMoney_time", BcdToDateTime(reply.subspan(3, 6)));
    SetValue(values, "lblICMoney_sum", Format("%.4f", ReadDouble(reply.subspan(9, 8))));
    SetValue(values, "lblICMoney_psum", Format("%.4f", ReadDouble(reply.subspan(17, 8))));
    SetValue(values, "lblICMoney_v0", TrimBlanks(Format("%6.2f", ReadSingle(reply.subspan(25, 4)))));
    SetValue(values, "lblICMoney_vm", TrimBlanks(Format("%6.2f", ReadSingle(reply.subspan(29, 4)))));
    SetValue(values, "lblICMoney_t", TrimBlanks(Format("%6.1f", ReadSingle(reply.subspan(33, 4)))));
    SetValue(values, "lblICMoney_p", TrimBlanks(Format("%6.1f", ReadSingle(reply.subspan(37, 4)))));
    SetValue(values, "lblICMoney_st", Format("%04X", static_cast<unsigned>(reply[41] << 8 | reply[42])));
    SetValue(values, "lblICMoney_alarm", Format("%04X", static_cast<unsigned>(reply[43] << 8 | reply[44])));
    ShowStatusBits(7, reply, values);
    switch (reply[42] & 0x03) {
    case 0:
        values["lblICMoney_ValveSt"] = {"关阀", LabelState::Normal};
        break;
    case 1:
        values["lblICMoney_ValveSt"] = {"开阀", LabelState::Normal};
        break;
    default:
        values["lblICMoney_ValveSt"] = {"异常", LabelState::Alarm};
        break;
    }
    return ParamResult::Decoded;
}
