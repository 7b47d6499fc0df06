#include "protocol/request_frames.h"

#include "decoding/kind_table.h"

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

Bytes RecordRangeFrame(const RequestShape& shape, ByteView baseRequest, int block)
{
    const int64_t perBlock = shape.recordsPerBlock;
    if (perBlock <= 0)
        return {};
    const int64_t base = shape.firstRecord;
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
    const int64_t first = start + count * (static_cast<int64_t>(block) - 1);
    return AppendCrc(ReadRegistersRequest(baseRequest[0], static_cast<uint16_t>(first & 0xFFFF),
                                          static_cast<uint16_t>(count)));
}

// The kind's request shape; a code no device type knows is framed by its device
// type's dialect (record by index for an unlisted type) with no records per block.
RequestShape ShapeOfCode(int kindCode)
{
    if (const KindRow* kind = FindKindRow(kindCode))
        return kind->request;
    RequestShape shape;
    if (const DeviceTypeInfo* device = FindDeviceType(DeviceTypeOfKind(kindCode)))
        shape.dialect = device->dialect;
    shape.recordsPerBlock = 0;
    return shape;
}

} // namespace

Bytes BaseRequestOfKind(int kindCode, uint8_t address, RegisterWindow registers)
{
    const KindRow* kind = FindKindRow(kindCode);
    if (!kind)
        return {};
    const uint8_t selector = kind->request.selector;
    switch (kind->request.dialect) {
    case RequestDialect::RecordByIndex:
        return {address, 0x66, 0x00, selector, 0x02};
    case RequestDialect::CustomSum8:
        return {0x55, 0x55, address, 0x28, 0x03, selector};
    case RequestDialect::RecordRange:
        return {address, 0x65, 0x09, selector};
    case RequestDialect::ModbusRegisters:
        return ReadRegistersRequest(address, static_cast<uint16_t>(registers.start & 0xFFFF),
                                    static_cast<uint16_t>(registers.length & 0xFFFF));
    }
    return {};
}

Bytes BlockRequestFrame(int kindCode, ByteView baseRequest, int block)
{
    if (baseRequest.empty())
        return {};
    const RequestShape shape = ShapeOfCode(kindCode);
    switch (shape.dialect) {
    case RequestDialect::CustomSum8:
        return CustomSum8Frame(baseRequest, block);
    case RequestDialect::RecordRange:
        return RecordRangeFrame(shape, baseRequest, block);
    case RequestDialect::ModbusRegisters:
        return RegisterReadFrame(baseRequest, block);
    case RequestDialect::RecordByIndex:
        break;
    }
    return RecordByIndexFrame(baseRequest, block);
}
