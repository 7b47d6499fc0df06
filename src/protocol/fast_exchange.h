// The fast reply collection: a reply is taken as soon as it is whole instead of
// after the fixed polling steps. A reply is whole when its record kind's decoder
// accepts its length and check bytes, or after 3.5 character times of silence
// at the line's rate once it cannot grow into a whole reply; nothing at all
// within the line's response timeout is no reply.
#pragma once

#include "codec/codec.h"
#include "serial/line_settings.h"

#include <cstddef>

class Exchange;
struct RecordKind;

// What a reply of one record kind looks like from its length, as the kind table
// gives it.
class ReplyShape {
public:
    // The shape of no known kind: never whole, never growing.
    ReplyShape() = default;
    explicit ReplyShape(const RecordKind& kind);
    // A Modbus reply of exactly `length` bytes ending in its CRC.
    static ReplyShape modbusOfLength(size_t length);

    // A whole reply: the kind's decoder finds neither a bad length nor a bad
    // check, and, for all but the custom frames of device type 3, the byte count
    // in byte 2 announces no more bytes than have arrived (so a 5-byte "no record"
    // answer whose check bytes happen to match is never cut out of the front of a
    // longer record).
    bool isComplete(ByteView reply) const;
    // The bytes so far may still become a whole reply: the decoder takes a longer
    // length, or the byte count of a device type 5 reply announces more. Silence
    // does not end such a reply (a USB adapter or a busy system can hold bytes
    // back longer than 3.5 character times); only the response timeout does.
    bool mayGrow(ByteView reply) const;
    // The longest reply this shape can be (kMaxReplyBytes when unknown).
    size_t longestLength() const;

private:
    const RecordKind* m_kind = nullptr; // nullptr for an unknown kind: never whole, never growing
    size_t m_modbusLength = 0;          // set instead of m_kind for ModbusOfLength
};

// Collects the reply to the frame just sent, reading bytes as they arrive (every
// millisecond, processing events through the exchange's waiter). It ends when the
// reply is whole, after 3.5 character times of silence once it cannot grow into a
// whole reply any more, after the line's response timeout of silence in any case,
// and at the latest that timeout plus the wire time of the shape's longest reply
// after it began (a device that trickles bytes; what came by then is the reply).
// Returns empty when nothing came within the response timeout, when the link is
// closed, or when more than kMaxReplyBytes arrived (a device that never stops
// sending: the rest stays in the port until the next request purges it). A
// non-empty reply is logged with "【接收】" as the paced collection does.
Bytes collectReplyFast(Exchange& exchange, const ReplyShape& shape, const LineSettings& line);

// One request and its reply the fast way: sends `frame` (purging both directions
// and logging it, as every request) and collects the reply with CollectReplyFast.
// For exchanges outside a run, such as asking which meter answers at an address.
Bytes exchangeFast(Exchange& exchange, ByteView frame, const ReplyShape& shape, const LineSettings& line);
