#include "protocol/request_frames.h"

#include "catalogue/catalogue.h"

#include <algorithm>

namespace {

void PushHighLow(Bytes& frame, int64_t value)
{
    frame.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
}

Bytes RecordByIndexFrame(ByteView baseRequest, int block)
{
    Bytes frame(baseRequest.begin(), baseRequest.end());
    PushHighLow(frame, block);
    return AppendCrc(frame);
}

// Custom frame: the index is B − 1 written low byte first, and the check byte is
// the 8-bit sum of everything after the two "UU" header bytes.
Bytes CustomSum8Frame(ByteView baseRequest, int block)
{
    Bytes frame(baseRequest.begin(), baseRequest.end());
    const int64_t index = static_cast<int64_t>(block) - 1;
    frame.push_back(static_cast<uint8_t>(index & 0xFF));
    frame.push_back(static_cast<uint8_t>((index >> 8) & 0xFF));
    const ByteView afterHeader = ByteView(frame).subspan(std::min<size_t>(2, frame.size()));
    frame.push_back(ByteSum8(afterHeader));
    return frame;
}

Bytes RecordRangeFrame(int kindCode, ByteView baseRequest, int block)
{
    const int64_t perBlock = RecordsPerBlock(kindCode);
    if (perBlock <= 0)
        return {};
    const int64_t base = DeviceTypeOfKind(kindCode) == 4 ? 1 : 0;
    const int64_t first = (static_cast<int64_t>(block) - 1) * perBlock + base;
    const int64_t last = first + perBlock - 1;
    Bytes frame(baseRequest.begin(), baseRequest.end());
    frame.insert(frame.end(), {0x00, 0x00});
    PushHighLow(frame, first);
    frame.insert(frame.end(), {0x00, 0x00});
    PushHighLow(frame, last);
    return AppendCrc(frame);
}

// The records of a device type 5 kind lie back to back in the register space,
// N registers each, the first at S.
Bytes RegisterReadFrame(ByteView baseRequest, int block)
{
    if (baseRequest.size() < 6)
        return {};
    const int64_t start = baseRequest[2] << 8 | baseRequest[3];
    const int64_t count = baseRequest[4] << 8 | baseRequest[5];
    Bytes frame{baseRequest[0], 0x03};
    PushHighLow(frame, start + count * (static_cast<int64_t>(block) - 1));
    PushHighLow(frame, count);
    return AppendCrc(frame);
}

} // namespace

Bytes BaseRequestOfKind(int kindCode, uint8_t address)
{
    if (!IsKnownRecordKind(kindCode))
        return {};
    switch (DeviceTypeOfKind(kindCode)) {
    case 1:
    case 2:
        return {address, 0x66, 0x00, RecordTableSelector(kindCode), 0x02};
    case 3:
        return {0x55, 0x55, address, 0x28, 0x03, KindByte(kindCode)};
    case 4:
    case 6:
    case 7:
        return {address, 0x65, 0x09, KindByte(kindCode)};
    default:
        return {};
    }
}

Bytes RegisterReadBaseRequest(uint8_t address, uint16_t startRegister, uint16_t registerCount)
{
    Bytes request{address, 0x03};
    PushHighLow(request, startRegister);
    PushHighLow(request, registerCount);
    return request;
}

Bytes BlockRequestFrame(int kindCode, ByteView baseRequest, int block)
{
    if (baseRequest.empty())
        return {};
    switch (DeviceTypeOfKind(kindCode)) {
    case 3:
        return CustomSum8Frame(baseRequest, block);
    case 4:
    case 6:
    case 7:
        return RecordRangeFrame(kindCode, baseRequest, block);
    case 5:
        return RegisterReadFrame(baseRequest, block);
    default:
        return RecordByIndexFrame(baseRequest, block);
    }
}
