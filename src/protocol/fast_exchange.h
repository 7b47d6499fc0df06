// The fast read mode of the command-line reader (`read --fast`): the same
// requests, decoders and three attempts per block as a paced run, but no pause
// between blocks, and a reply taken as soon as it is whole instead of after the
// fixed polling steps. A reply is whole when its record kind's decoder accepts
// its length and check bytes, or after 3.5 character times of silence at the
// line's rate once it cannot grow into a whole reply; nothing at all within the
// response timeout (kFastResponseTimeoutMs unless the caller gives another, as a
// slow network path to the meter needs) is no reply.
//
// The paced run (TransactionRun) stays the default and is not changed by this.
#pragma once

#include "codec/codec.h"
#include "decoding/decode_result.h"

#include <optional>
#include <string>
#include <vector>

class Exchange;
class RecordTable;
struct KindRow;

inline constexpr int kFastResponseTimeoutMs = 1000;

// Timing of one character on the line: a start bit, the data bits, the parity
// bit when there is one, and the stop bits.
struct LineTiming {
    int baudRate = 9600;
    double bitsPerCharacter = 11;
};

// 3.5 character times, rounded up to whole milliseconds (at least 1 ms): the
// gap that ends a Modbus RTU frame.
int SilenceGapMs(const LineTiming& line);

// What a reply of one record kind looks like from its length, as the kind table
// gives it.
class ReplyShape {
public:
    explicit ReplyShape(int kindCode);

    // A whole reply: the kind's decoder finds neither a bad length nor a bad
    // check, and, for all but the custom frames of device type 3, the byte count
    // in byte 2 announces no more bytes than have arrived (so a 5-byte "no record"
    // answer whose check bytes happen to match is never cut out of the front of a
    // longer record).
    bool IsComplete(ByteView reply) const;
    // The bytes so far may still become a whole reply: the decoder takes a longer
    // length, or the byte count of a device type 5 reply announces more. Silence
    // does not end such a reply (a USB adapter or a busy system can hold bytes
    // back longer than 3.5 character times); only the response timeout does.
    bool MayGrow(ByteView reply) const;

private:
    const KindRow* FKind; // nullptr for an unknown kind: never whole, never growing
};

// Collects the reply to the frame just sent, reading bytes as they arrive (every
// millisecond, processing events through the exchange's waiter). It ends when the
// reply is whole, after 3.5 character times of silence once it cannot grow into a
// whole reply any more, or after `responseTimeoutMs` of silence in any case.
// Returns empty when nothing came within `responseTimeoutMs`, when the link is
// closed, or when more than kMaxReplyBytes arrived (a device that never stops
// sending: the rest stays in the port until the next request purges it). A
// non-empty reply is logged with "【接收】" as the paced collection does.
Bytes CollectReplyFast(Exchange& exchange, const ReplyShape& shape, const LineTiming& line,
                       int responseTimeoutMs = kFastResponseTimeoutMs);

// A read of blocks beginBlock..endBlock in the fast mode. Reacts to every decoder
// result as the paced run does (go on, ask again up to three attempts, or end),
// writes the same "读取第N条数据失败!" line into the log, and keeps every decoded
// row whatever the end. A reply that names another meter address than the request
// is not this meter's record: it counts as a failed attempt.
class FastReadRun {
public:
    FastReadRun(Exchange& exchange, RecordTable& table, LineTiming line,
                int responseTimeoutMs = kFastResponseTimeoutMs);

    // As TransactionRun::SetFieldDescription (device type 5 kinds).
    void SetFieldDescription(const FieldTypeList* fieldTypes, const FieldDigitsArray* fieldDigits);

    // Runs to the end. A port failure (EComPort) ends the run with its message
    // in PortError().
    void Run(int endBlock, int beginBlock, ByteView baseRequest, int kindCode);

    // Decoder result of the last block decoded; -1 before any.
    int LastResult() const { return FLastResult; }
    // "处理完成", "处理完成......", "读取第N条数据失败!" or "正在处理N条记录......".
    const std::string& StatusText() const { return FStatusText; }
    const std::optional<std::string>& PortError() const { return FPortError; }

private:
    DecodeResult Decode(int blockNumber, const KindRow& kind, uint8_t address, ByteView reply);
    void FailBlock(int blockNumber);

    Exchange& FExchange;
    RecordTable& FTable;
    LineTiming FLine;
    int FResponseTimeoutMs;
    const FieldTypeList* FFieldTypes = nullptr;
    const FieldDigitsArray* FFieldDigits = nullptr;
    int FLastResult = -1;
    std::string FStatusText;
    std::optional<std::string> FPortError;
};
