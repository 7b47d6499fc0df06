#include "modbus/modbus_framing.h"

#include "codec/framing_dialect.h"
#include "modbus/modbus_pdu.h"

namespace {

// The MBAP length field counts the unit byte and the PDU.
constexpr size_t kMbapFixedBytes = 6;

} // namespace

const ModbusFraming& ModbusFraming::rtu()
{
    // The register dialect's frame: its address and check bytes, no copy of them here.
    const FramingDialect& dialect = FramingDialect::modbusRegisters();
    static const ModbusFraming framing(Kind::Rtu, dialect.addressOffset() + 1, dialect.checkSize());
    return framing;
}

const ModbusFraming& ModbusFraming::tcp()
{
    static const ModbusFraming framing(Kind::Tcp, 7, 0);
    return framing;
}

Bytes ModbusFraming::frame(uint8_t address, ByteView pdu, uint16_t transaction) const
{
    if (m_kind == Kind::Rtu)
        return FramingDialect::modbusRegisters().frame(address, pdu);
    const size_t length = pdu.size() + 1;
    Bytes frame{static_cast<uint8_t>(transaction >> 8), static_cast<uint8_t>(transaction & 0xFF), 0,      0,
                static_cast<uint8_t>(length >> 8),      static_cast<uint8_t>(length & 0xFF),      address};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

std::optional<size_t> ModbusFraming::requestPduLength(ByteView pdu)
{
    if (pdu.empty())
        return std::nullopt;
    switch (pdu[0]) {
    case ModbusFunction::kReadCoils:
    case ModbusFunction::kReadDiscreteInputs:
    case ModbusFunction::kReadHoldingRegisters:
    case ModbusFunction::kReadInputRegisters:
    case ModbusFunction::kWriteSingleCoil:
    case ModbusFunction::kWriteSingleRegister:
        return 5;
    case ModbusFunction::kWriteMultipleCoils:
    case ModbusFunction::kWriteMultipleRegisters:
        if (pdu.size() < 6)
            return std::nullopt;
        return 6 + size_t{pdu[5]};
    default:
        return std::nullopt;
    }
}

std::optional<size_t> ModbusFraming::replyPduLength(ByteView pdu)
{
    if (pdu.empty())
        return std::nullopt;
    if (pdu[0] & 0x80)
        return 2;
    if (isModbusReadFunction(pdu[0])) {
        if (pdu.size() < 2)
            return std::nullopt;
        return 2 + size_t{pdu[1]};
    }
    if (isModbusWriteFunction(pdu[0]))
        return 5;
    return std::nullopt;
}

std::optional<size_t> ModbusFraming::requestLength(ByteView bytes) const
{
    if (m_kind == Kind::Tcp)
        return bytes.size() < kMbapFixedBytes
                   ? std::nullopt
                   : std::optional<size_t>(kMbapFixedBytes + (bytes[4] << 8 | bytes[5]));
    if (bytes.size() < m_headerSize)
        return std::nullopt;
    const std::optional<size_t> pdu = requestPduLength(bytes.subspan(m_headerSize));
    return pdu ? std::optional<size_t>(m_headerSize + *pdu + m_checkSize) : std::nullopt;
}

std::optional<size_t> ModbusFraming::replyLength(ByteView bytes) const
{
    if (m_kind == Kind::Tcp)
        return requestLength(bytes);
    if (bytes.size() < m_headerSize)
        return std::nullopt;
    const std::optional<size_t> pdu = replyPduLength(bytes.subspan(m_headerSize));
    return pdu ? std::optional<size_t>(m_headerSize + *pdu + m_checkSize) : std::nullopt;
}

bool ModbusFraming::replyLengthPending(ByteView bytes) const
{
    if (m_kind == Kind::Tcp)
        return bytes.size() < kMbapFixedBytes;
    // Only a read tells its length after the function code, in its byte count.
    return bytes.size() < m_headerSize + 1 ||
           (bytes.size() == m_headerSize + 1 && isModbusReadFunction(bytes[m_headerSize]));
}

ModbusFraming::Unwrapped ModbusFraming::unwrap(ByteView frame) const
{
    Unwrapped unwrapped;
    if (frame.size() < m_headerSize + 1 + m_checkSize)
        return unwrapped;
    if (m_kind == Kind::Rtu) {
        unwrapped.ok = FramingDialect::modbusRegisters().checks(frame);
    } else {
        const size_t length = size_t(frame[4] << 8 | frame[5]);
        unwrapped.ok = frame[2] == 0 && frame[3] == 0 && length + kMbapFixedBytes == frame.size();
        unwrapped.transaction = static_cast<uint16_t>(frame[0] << 8 | frame[1]);
    }
    unwrapped.address = frame[m_headerSize - 1];
    unwrapped.pdu.assign(frame.begin() + static_cast<std::ptrdiff_t>(m_headerSize),
                         frame.end() - static_cast<std::ptrdiff_t>(m_checkSize));
    return unwrapped;
}
