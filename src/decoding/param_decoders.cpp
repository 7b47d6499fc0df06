#include "decoding/param_decoders.h"

#include <cstdint>

namespace {

void setValue(LabelValues& values, const char* name, std::string text)
{
    values[name] = {std::move(text), LabelState::Normal};
}

// The reply has exactly `length` bytes and its last two are the CRC of the rest,
// high byte first.
int checkParamReply(ByteView reply, size_t length)
{
    switch (checkModbusReply(reply, length)) {
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
void showStatusBits(const ParamPanelSpec& panel, ByteView reply, LabelValues& values)
{
    for (const ParamGroupSpec& group : panel.groups) {
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

std::string int32Text(ByteView bytes)
{
    return std::to_string(static_cast<int32_t>(readUInt32(bytes)));
}

std::string uInt16Text(ByteView bytes)
{
    return std::to_string(bytes[0] << 8 | bytes[1]);
}

// The live values that device types 1 and 2 both put at offsets 3 to 34.
void showFixedPointLive(ByteView reply, LabelValues& values, const char* psum, const char* sum,
                        const char* vm, const char* v0, const char* t, const char* p)
{
    setValue(values, psum, formatText("%6.4f", readFixed48_16(reply.subspan(3, 8))));
    setValue(values, sum, formatText("%6.4f", readFixed48_16(reply.subspan(11, 8))));
    setValue(values, vm, trimBlanks(formatText("%6.2f", readFixed23_8(reply.subspan(19, 4)))));
    setValue(values, v0, trimBlanks(formatText("%6.2f", readFixed23_8(reply.subspan(23, 4)))));
    setValue(values, t, trimBlanks(formatText("%6.1f", readFixed23_8(reply.subspan(27, 4)))));
    setValue(values, p, trimBlanks(formatText("%6.1f", readFixed23_8(reply.subspan(31, 4)))));
}

} // namespace

std::string bytesToDecimalDigits(int width, ByteView bytes)
{
    std::string text;
    for (uint8_t b : bytes)
        text += std::to_string(b);
    return padLeftZeros(std::move(text), width);
}

int decodeParamsType1(const ParamPanelSpec& panel, ByteView reply, LabelValues& values)
{
    if (const int check = checkParamReply(reply, kReplyLengthType1); check != ParamResult::Decoded)
        return check;
    showFixedPointLive(reply, values, "lblV18_psum", "lblV18_sum", "lblV18_Vm", "lblV18_V0", "lblV18_T",
                       "lblV18_P");
    setValue(values, "lblV18_SFC", formatText("%6.4f", readFixed7_24(reply.subspan(35, 4))));
    showStatusBits(panel, reply, values);
    return ParamResult::Decoded;
}

int decodeLiveType2(const ParamPanelSpec&, ByteView reply, LabelValues& values)
{
    if (const int check = checkParamReply(reply, kReplyLengthType2Live); check != ParamResult::Decoded)
        return check;
    showFixedPointLive(reply, values, "lblCPU_psum", "lblCPU_sum", "lblCPU_vm", "lblCPU_v0", "lblCPU_t",
                       "lblCPU_p");
    return ParamResult::Decoded;
}

int decodeCardParamsType2(const ParamPanelSpec&, ByteView reply, LabelValues& values)
{
    if (const int check = checkParamReply(reply, kReplyLengthType2Card); check != ParamResult::Decoded)
        return check;
    // Offsets 8 and 10 are not used.
    setValue(values, "lblCPU_UserNo", bcdToDigits(reply.subspan(3, 5)));
    setValue(values, "lblCPU_MeterType", bcdToDigits(reply.subspan(9, 1)));
    // The meter keeps its state low byte first.
    setValue(values, "lblCPU_MeterState", std::to_string(reply[12]) + std::to_string(reply[11]));
    setValue(values, "lblCPU_Remain", int32Text(reply.subspan(13, 4)));
    setValue(values, "lblCPU_BuyTime", uInt16Text(reply.subspan(17, 2)));
    setValue(values, "lblCPU_TotalBuy", int32Text(reply.subspan(19, 4)));
    setValue(values, "lblCPU_ThisBuy", int32Text(reply.subspan(23, 4)));
    setValue(values, "lblCPU_YingjiBuy", int32Text(reply.subspan(27, 4)));
    setValue(values, "lblCPU_YingjiThisBuy", int32Text(reply.subspan(31, 4)));
    setValue(values, "lblCPU_YingjiTime", uInt16Text(reply.subspan(35, 2)));
    setValue(values, "lblCPU_AL", formatText("%.2f", readFixed23_8(reply.subspan(37, 4))));
    setValue(values, "lblCPU_BuyLimit", formatText("%.2f", readFixed23_8(reply.subspan(41, 4))));
    setValue(values, "lblCPU_TouZhi", uInt16Text(reply.subspan(45, 2)));
    setValue(values, "lblCPU_zero", int32Text(reply.subspan(47, 4)));
    setValue(values, "lblCPU_ProTime", uInt16Text(reply.subspan(51, 2)));
    setValue(values, "lblCPU_ValTime", uInt16Text(reply.subspan(53, 2)));
    setValue(values, "lblCPU_LowBat", bytesToDecimalDigits(4, reply.subspan(55, 2)));
    return ParamResult::Decoded;
}

int decodeParamsType6(const ParamPanelSpec& panel, ByteView reply, LabelValues& values)
{
    if (const int check = checkParamReply(reply, kReplyLengthType6); check != ParamResult::Decoded)
        return check;
    setValue(values, "lblCorvex_time", bcdToDateTime(reply.subspan(3, 6)));
    setValue(values, "lblCorvex_Sum", formatText("%6.4f", readDouble(reply.subspan(9, 8))));
    setValue(values, "lblCorvex_psum", formatText("%6.4f", readDouble(reply.subspan(17, 8))));
    setValue(values, "lblCorvex_v0", trimBlanks(formatText("%6.2f", readSingle(reply.subspan(25, 4)))));
    setValue(values, "lblCorvex_vm", trimBlanks(formatText("%6.2f", readSingle(reply.subspan(29, 4)))));
    setValue(values, "lblCorvex_t", trimBlanks(formatText("%6.1f", readSingle(reply.subspan(33, 4)))));
    setValue(values, "lblCorvex_p", trimBlanks(formatText("%6.1f", readSingle(reply.subspan(37, 4)))));
    // Offsets 41 and 42 are not used.
    setValue(values, "lblCorvex_SumErr", formatText("%6.4f", readDouble(reply.subspan(45, 8))));
    showStatusBits(panel, reply, values);
    return ParamResult::Decoded;
}

int decodeParamsType3(const ParamPanelSpec& panel, ByteView reply, LabelValues& values)
{
    const size_t length = reply.size();
    if (length != 30 && length != 28)
        return ParamResult::BadLength;
    if (byteSum8(reply.subspan(2, length - 3)) != reply[length - 1])
        return ParamResult::BadCheck;
    if (reply[0] != 0x55 || reply[1] != 0x55)
        return ParamResult::BadStart;
    setValue(values, "lbl55Vm", formatText("%.2f", readFloat32Exp(reply.subspan(7, 4))));
    setValue(values, "lbl55V0", formatText("%.2f", readFloat32Exp(reply.subspan(11, 4))));
    setValue(values, "lbl55_T", formatText("%.2f", readFloat32Exp(reply.subspan(15, 4))));
    setValue(values, "lbl55_P", formatText("%.2f", readFloat32Exp(reply.subspan(19, 4))));
    // The long answer carries the standard volume in the 48-bit form, the short in the 32-bit one.
    const double volume =
        length == 30 ? readFloat48Exp(reply.subspan(23, 6)) : readFloat32Exp(reply.subspan(23, 4));
    setValue(values, "lbl55_sum", formatText("%.4f", volume));
    showStatusBits(panel, reply, values);
    return ParamResult::Decoded;
}

int decodeParamsType7(const ParamPanelSpec& panel, ByteView reply, LabelValues& values)
{
    if (const int check = checkParamReply(reply, kReplyLengthType7); check != ParamResult::Decoded)
        return check;
    setValue(values, "lblICMoney_time", bcdToDateTime(reply.subspan(3, 6)));
    setValue(values, "lblICMoney_sum", formatText("%.4f", readDouble(reply.subspan(9, 8))));
    setValue(values, "lblICMoney_psum", formatText("%.4f", readDouble(reply.subspan(17, 8))));
    setValue(values, "lblICMoney_v0", trimBlanks(formatText("%6.2f", readSingle(reply.subspan(25, 4)))));
    setValue(values, "lblICMoney_vm", trimBlanks(formatText("%6.2f", readSingle(reply.subspan(29, 4)))));
    setValue(values, "lblICMoney_t", trimBlanks(formatText("%6.1f", readSingle(reply.subspan(33, 4)))));
    setValue(values, "lblICMoney_p", trimBlanks(formatText("%6.1f", readSingle(reply.subspan(37, 4)))));
    setValue(values, "lblICMoney_st", formatText("%04X", static_cast<unsigned>(reply[41] << 8 | reply[42])));
    setValue(values, "lblICMoney_alarm",
             formatText("%04X", static_cast<unsigned>(reply[43] << 8 | reply[44])));
    showStatusBits(panel, reply, values);
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
