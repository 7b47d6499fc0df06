// For two-wire RS485 adapters that hear their own transmission: after each
// request the echoed copy is read from the link and dropped when the reply
// collection first looks at the link, so it never shows as a received frame
// (and a mismatch is logged after the request it belongs to).
//
// The echo must equal what was sent. When it does not (bytes lost, another
// device talking, or no echo at all so the reply was taken for one), the
// mismatch is reported and the reply to this request is dropped as well: the
// exchange sees no reply and counts a failed attempt. The next purge or send
// starts afresh.
//
// Disabled, it passes everything through unchanged.
#pragma once

#include "serial/byte_link.h"

#include <functional>
#include <memory>
#include <string>

class EchoRemovingLink : public ByteLink {
public:
    // The log line of a mismatch, in the log's own language.
    using MismatchReport = std::function<void(const std::string& line)>;

    // `inner` must outlive the decorator.
    explicit EchoRemovingLink(ByteLink& inner) : m_inner(inner) {}
    explicit EchoRemovingLink(std::unique_ptr<ByteLink> inner) : m_owned(std::move(inner)), m_inner(*m_owned)
    {
    }

    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool enabled() const { return m_enabled; }
    void setMismatchReport(MismatchReport report) { m_report = std::move(report); }

    bool connected() const override { return m_inner.connected(); }
    void close() override { m_inner.close(); }
    void purgeBuffers() override;
    void sendBytes(ByteView bytes) override;
    // The first call after a send first waits up to kEchoTimeoutMs +
    // kEchoMsPerByte per byte for as many bytes as were sent, and checks them.
    int waitingByteCount() override;
    Bytes receiveBytes(int count) override;
    bool echoFailed() const override { return m_replyVoid; }

    static constexpr int kEchoTimeoutMs = 300;
    // Ample for 1200 baud (about 9 ms per character).
    static constexpr int kEchoMsPerByte = 10;

private:
    // Takes the echo of the last request off the link, if one is due.
    void removeEcho();
    // Reads and drops what has arrived while the reply is void.
    void drainInner();

    std::unique_ptr<ByteLink> m_owned;
    ByteLink& m_inner;
    bool m_enabled = false;
    Bytes m_echoDue;
    bool m_replyVoid = false;
    MismatchReport m_report;
};
