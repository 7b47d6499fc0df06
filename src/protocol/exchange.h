// The request/reply exchange with the meter: sends frames, collects replies
// and writes both into the log. It talks to a ByteLink (the serial port, or a
// simulated meter in tests) and waits only through a Waiter. Port failures
// (ComPortError) are not caught here: the caller ends what it was doing and tells
// the operator once.
#pragma once

#include "codec/codec.h"
#include "protocol/fast_exchange.h"
#include "protocol/request_frames.h"

#include <cstddef>

class ByteLink;
class LogModel;
class Waiter;
struct RecordKind;

// Replies longer than this are treated as no reply at all.
inline constexpr int kMaxReplyBytes = 500;

inline constexpr const char* kSentPrefix = "【发送】";
inline constexpr const char* kReceivedPrefix = "【接收】";
inline constexpr const char* kPortClosedText = "串口未打开，请打开串口再读取数据！";
// Log line of input thrown away because it is longer than any reply:
// "【丢弃】N字节（超过500字节，不是应答）".
std::string discardedLogLine(size_t byteCount);

// What composeBaseRequest gives a read: an empty request means "start no run".
struct BaseRequest {
    Bytes request;
    int blockCount = 0;
    bool portClosed = false; // the window shows kPortClosedText
};

class Exchange {
public:
    Exchange(ByteLink& link, LogModel& log, Waiter& waiter);

    // Base request and block count of a read of `kind` at `address`, with
    // the kind's read-start line in the log. Port closed: portClosed set,
    // nothing logged. `registers` is only used by register-read kinds.
    BaseRequest composeBaseRequest(const RecordKind& kind, int address, RegisterWindow registers = {});

    // Builds the frame of `blockNumber` from the base request, seals it and
    // sends it with sendFrame.
    void sendBlockRequest(ByteView baseRequest, int blockNumber, const RecordKind& kind);

    // Purges both directions, writes the frame and logs it; nothing when the
    // link is closed.
    void sendFrame(ByteView frame);

    // The line the replies come over: how long a reply of N bytes takes on
    // the wire (9600 baud, 11 bits per character until set).
    void setLine(const LineSettings& line) { m_line = line; }
    const LineSettings& line() const { return m_line; }

    // Waits 120 ms, then polls the waiting byte count (20 ms, then 25 ms
    // steps, processing events) until it stops growing or 25 polls found
    // nothing, and at most pacedDeadlineMs(longestReply) in all, so a device
    // that trickles bytes cannot stretch it. Returns the reply (what has come
    // by the deadline), or empty when nothing came, the link is closed, or
    // more than kMaxReplyBytes are waiting (those are logged as discarded and
    // stay in the port until the next SendFrame purges them).
    Bytes collectReply(size_t longestReply = kMaxReplyBytes);
    // The silence the paced collection waits out (740 ms) plus the wire time
    // of `longestReply` bytes.
    int pacedDeadlineMs(size_t longestReply) const;

    // Reads up to `count` waiting bytes at once and logs them; empty when the
    // link is closed.
    Bytes readReplyBytes(int count);

    // Logs a reply with "【接收】" and notes whether it begins with the whole
    // request just sent. Every collection of a reply ends here.
    void logReply(ByteView reply);
    // Replies since the last ResetEchoedReplies that began with their request:
    // the adapter echoes what it sends and echo removal is off (or, when on,
    // the request was heard twice). A meter never answers with its request.
    int echoedReplies() const { return m_echoedReplies; }
    void resetEchoedReplies() { m_echoedReplies = 0; }

    ByteLink& link() { return m_link; }
    LogModel& log() { return m_log; }
    Waiter& wait() { return m_waiter; }

private:
    ByteLink& m_link;
    LogModel& m_log;
    Waiter& m_waiter;
    LineSettings m_line;
    Bytes m_lastFrame;
    int m_echoedReplies = 0;
};
