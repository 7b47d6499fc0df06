#include "codec/framing_dialect.h"

#include <algorithm>

namespace {

void pushHighLow(Bytes& frame, int64_t value)
{
    frame.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
}

} // namespace

const FramingDialect& FramingDialect::recordByIndex()
{
    static const FramingDialect dialect(
        Shape{{}, {{0x66, 0x00}, 2}, {{0x02}, 1}, Check::Crc16, BlockField::BlockNumber});
    return dialect;
}

const FramingDialect& FramingDialect::customSum8()
{
    static const FramingDialect dialect(
        Shape{{{0x55, 0x55}, 2}, {{0x28, 0x03}, 2}, {}, Check::Sum8, BlockField::BlockIndex});
    return dialect;
}

const FramingDialect& FramingDialect::recordRange()
{
    static const FramingDialect dialect(
        Shape{{}, {{0x65, 0x09}, 2}, {}, Check::Crc16, BlockField::RecordRange});
    return dialect;
}

const FramingDialect& FramingDialect::modbusRegisters()
{
    static const FramingDialect dialect(Shape{{}, {}, {}, Check::Crc16, BlockField::RegisterWindow});
    return dialect;
}

Bytes FramingDialect::frame(uint8_t address, ByteView body) const
{
    Bytes unsealed(m_shape.header.begin(), m_shape.header.end());
    unsealed.push_back(address);
    unsealed.insert(unsealed.end(), body.begin(), body.end());
    return seal(unsealed);
}

Bytes FramingDialect::seal(ByteView unsealed) const
{
    if (m_shape.check == Check::Crc16)
        return appendCrc(unsealed);
    Bytes sealed(unsealed.begin(), unsealed.end());
    sealed.push_back(byteSum8(unsealed.subspan(std::min(m_shape.header.size, unsealed.size()))));
    return sealed;
}

Bytes FramingDialect::recordRequest(uint8_t address, uint8_t selector, RegisterWindow registers) const
{
    if (m_shape.blockField == BlockField::RegisterWindow)
        return readRegistersRequest(address, static_cast<uint16_t>(registers.start & 0xFFFF),
                                    static_cast<uint16_t>(registers.length & 0xFFFF));
    Bytes request(m_shape.header.begin(), m_shape.header.end());
    request.push_back(address);
    request.insert(request.end(), m_shape.recordCommand.begin(), m_shape.recordCommand.end());
    request.push_back(selector);
    request.insert(request.end(), m_shape.afterSelector.begin(), m_shape.afterSelector.end());
    return request;
}

Bytes FramingDialect::blockRequest(ByteView recordRequest, int block, int recordsPerBlock,
                                   int firstRecord) const
{
    if (recordRequest.empty())
        return {};
    Bytes frame(recordRequest.begin(), recordRequest.end());
    switch (m_shape.blockField) {
    case BlockField::BlockNumber:
        pushHighLow(frame, block);
        break;
    case BlockField::BlockIndex: {
        const int64_t index = static_cast<int64_t>(block) - 1;
        frame.push_back(static_cast<uint8_t>(index & 0xFF));
        frame.push_back(static_cast<uint8_t>((index >> 8) & 0xFF));
        break;
    }
    case BlockField::RecordRange: {
        const int64_t perBlock = recordsPerBlock;
        if (perBlock <= 0)
            return {};
        const int64_t first = (static_cast<int64_t>(block) - 1) * perBlock + firstRecord;
        frame.insert(frame.end(), {0x00, 0x00});
        pushHighLow(frame, first);
        frame.insert(frame.end(), {0x00, 0x00});
        pushHighLow(frame, first + perBlock - 1);
        break;
    }
    case BlockField::RegisterWindow: {
        // The records lie back to back in the register space, N registers each,
        // the first at S.
        if (recordRequest.size() < 6)
            return {};
        const int64_t start = recordRequest[2] << 8 | recordRequest[3];
        const int64_t count = recordRequest[4] << 8 | recordRequest[5];
        const int64_t first = start + count * (static_cast<int64_t>(block) - 1);
        frame = readRegistersRequest(recordRequest[0], static_cast<uint16_t>(first & 0xFFFF),
                                     static_cast<uint16_t>(count));
        break;
    }
    }
    return seal(frame);
}

bool FramingDialect::checks(ByteView reply) const
{
    const size_t headerSize = m_shape.header.size;
    if (reply.size() < headerSize || !std::equal(m_shape.header.begin(), m_shape.header.end(), reply.begin()))
        return false;
    if (m_shape.check == Check::Crc16)
        return checkCrc(reply);
    // Header, at least an address and a function, and the sum.
    if (reply.size() < headerSize + 2)
        return false;
    return reply.back() == byteSum8(reply.subspan(headerSize, reply.size() - headerSize - 1));
}
