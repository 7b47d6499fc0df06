// How a Modbus PDU travels: RTU (address, PDU, CRC; over a serial port,
// tcp://, rfc2217://) or Modbus TCP (the 7-byte MBAP header, no check bytes;
// over mbtcp://). Each transport is one row: its header length, check length
// and how the length of a frame follows from its first bytes (the RTU row takes
// its bytes from FramingDialect::modbusRegisters()); nothing else
// switches on the transport.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>
#include <optional>

class ModbusFraming {
public:
    static const ModbusFraming& rtu();
    static const ModbusFraming& tcp();

    bool isTcp() const { return m_headerSize > 1; }

    // One frame: RTU seals `pdu` with the CRC after the address; TCP puts the
    // MBAP header (transaction, protocol 0, length, unit) before it.
    Bytes frame(uint8_t address, ByteView pdu, uint16_t transaction = 0) const;

    // The length of the whole request or reply frame that `bytes` begins, once
    // its first bytes tell it; nullopt while they do not yet, or never will
    // (an RTU function this master does not know).
    std::optional<size_t> requestLength(ByteView bytes) const;
    std::optional<size_t> replyLength(ByteView bytes) const;
    // replyLength does not know yet but will once more bytes come.
    bool replyLengthPending(ByteView bytes) const;

    struct Unwrapped {
        bool ok = false; // the check bytes or the MBAP header are right
        uint8_t address = 0;
        uint16_t transaction = 0;
        Bytes pdu;
    };
    Unwrapped unwrap(ByteView frame) const;

    // The PDU length that its first bytes announce; nullopt as above.
    static std::optional<size_t> requestPduLength(ByteView pdu);
    static std::optional<size_t> replyPduLength(ByteView pdu);

private:
    enum class Kind { Rtu, Tcp };
    constexpr ModbusFraming(Kind kind, size_t headerSize, size_t checkSize)
        : m_kind(kind), m_headerSize(headerSize), m_checkSize(checkSize)
    {
    }
    Kind m_kind;
    size_t m_headerSize; // bytes before the function code, address included
    size_t m_checkSize;
};
