#include "sim/sim_device_types.h"

#include "sim/sim_identify.h"
#include "sim/sim_records.h"

namespace {

bool isRead(ByteView request, int start, int count)
{
    return request.size() == 8 && request[1] == 0x03 && (request[2] << 8 | request[3]) == start &&
           (request[4] << 8 | request[5]) == count;
}

// "UU", address, 0x02, 0x00, sum: the status request of device type 3.
bool isCustomStatusRequest(ByteView request)
{
    return request.size() == 6 && request[0] == 0x55 && request[1] == 0x55 && request[3] == 0x02 &&
           request[4] == 0x00;
}

const SimWindow kLive16V12{[](ByteView r) { return isRead(r, 0x0000, 16); },
                           [](const SimConfig& c, const SimLiveValues& l) { return liveReplyV12(c, l, 16); }};
const SimWindow kLive19V12{[](ByteView r) { return isRead(r, 0, 19); },
                           [](const SimConfig& c, const SimLiveValues& l) { return liveReplyV12(c, l, 19); }};
const SimWindow kCardV13{[](ByteView r) { return isRead(r, 0x0106, 27); }, cardReplyV13};
const SimWindow kStatusCustom{isCustomStatusRequest, statusReplyCustom};
const SimWindow kParamsTyped{[](ByteView r) { return isRead(r, kTypedParamStart, kTypedParamCount); },
                             paramBlockReplyTyped};
const SimWindow kLiveV20{[](ByteView r) { return isRead(r, 10, 25); }, liveReplyV20};
const SimWindow kLiveMoney{[](ByteView r) { return isRead(r, 10, 21); }, liveReplyMoney};

const std::vector<SimDeviceType>& types()
{
    static const std::vector<SimDeviceType> types = {
        {1, &FramingDialect::recordByIndex(), answerRecordsByIndex, {kLive16V12}, {kLive19V12}, false},
        {2,
         &FramingDialect::recordByIndex(),
         answerRecordsByIndex,
         {kLive16V12, kCardV13},
         {kLive16V12, kCardV13},
         false},
        {3, &FramingDialect::customSum8(), answerRecordsCustom, {kStatusCustom}, {kStatusCustom}, false},
        {4, &FramingDialect::recordRange(), answerRecordRangeV14, {}, {}, false},
        {5, &FramingDialect::modbusRegisters(), answerRegisterRecords, {kParamsTyped}, {kParamsTyped}, true},
        {6, &FramingDialect::recordRange(), answerRecordRangeV20, {kLiveV20}, {kLiveV20}, false},
        {7, &FramingDialect::recordRange(), answerRecordRangeMoney, {kLiveMoney}, {kLiveMoney}, false},
    };
    return types;
}

} // namespace

const SimDeviceType* findSimDeviceType(int code)
{
    for (const SimDeviceType& type : types())
        if (type.code == code)
            return &type;
    return nullptr;
}
