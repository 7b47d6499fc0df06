// How one family of meters frames its requests and replies on the wire: the
// header before the address, the check bytes that seal a frame, the record-read
// command and how a block is named in it. Every frame builder and reply check
// of the system (record reads, identification, the meter search, the parameter
// reads and the simulated meter's request parser) goes through one of these, so
// a family's wire rules live in one object.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

// Start register (0-based) and record length in registers of a kind whose
// records lie in the register space (the workbook-described device type).
struct RegisterWindow {
    int start = 0;
    int length = 0;
};

class FramingDialect {
public:
    enum class Check {
        Crc16, // Modbus CRC of everything before it, high byte first on the wire
        Sum8,  // 8-bit sum of everything after the header
    };
    // How the block field of a record request names block B.
    enum class BlockField {
        BlockNumber,    // B high, B low
        BlockIndex,     // B − 1 low, B − 1 high
        RecordRange,    // 00 00 F, 00 00 L: the records that block B holds
        RegisterWindow, // no record command: A 03 (S + N × (B − 1)) N
    };

    // A few fixed bytes of a frame.
    struct Piece {
        uint8_t bytes[4] = {};
        size_t size = 0;
        const uint8_t* begin() const { return bytes; }
        const uint8_t* end() const { return bytes + size; }
    };
    struct Shape {
        Piece header;        // before the address
        Piece recordCommand; // after the address, before the selector
        Piece afterSelector; // after the selector, before the block field
        Check check = Check::Crc16;
        BlockField blockField = BlockField::BlockNumber;
    };
    constexpr explicit FramingDialect(const Shape& shape) : m_shape(shape) {}

    // The four families of today's meters.
    static const FramingDialect& recordByIndex();   // A 66 00 T 02 B, CRC
    static const FramingDialect& customSum8();      // 55 55 A 28 03 K (B − 1), 8-bit sum
    static const FramingDialect& recordRange();     // A 65 09 K F L, CRC
    static const FramingDialect& modbusRegisters(); // A 03 S N, CRC

    // Where the meter address stands in a request and in a reply.
    size_t addressOffset() const { return m_shape.header.size; }
    // How many check bytes end a frame.
    size_t checkSize() const { return m_shape.check == Check::Crc16 ? 2 : 1; }
    // Replies other than the custom ones say in byte 2 how many data bytes follow.
    bool hasByteCount() const { return m_shape.check == Check::Crc16; }

    // header, address, body, check bytes.
    Bytes frame(uint8_t address, ByteView body) const;
    Bytes frame(uint8_t address, std::initializer_list<uint8_t> body) const
    {
        return frame(address, ByteView(body.begin(), body.size()));
    }
    // `unsealed` followed by its check bytes.
    Bytes seal(ByteView unsealed) const;

    // A record request without its block field and check bytes: header, address,
    // record command, selector; for the register window, A 03 S N from `registers`
    // (their low 16 bits).
    Bytes recordRequest(uint8_t address, uint8_t selector, RegisterWindow registers = {}) const;
    // The full request of block `block` (from 1) built from a record request;
    // `firstRecord` is the number block 1 starts at. Empty when there is nothing
    // sound to send: an empty record request, a record range without records
    // per block, or a register read shorter than 6 bytes.
    Bytes blockRequest(ByteView recordRequest, int block, int recordsPerBlock, int firstRecord) const;

    // The reply's header and check bytes are right (any length that has them).
    bool checks(ByteView reply) const;
    // The reply is exactly `length` bytes and checks.
    bool isReply(ByteView reply, size_t length) const { return reply.size() == length && checks(reply); }

private:
    Shape m_shape;
};
