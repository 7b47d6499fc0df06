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
    explicit EchoRemovingLink(ByteLink& inner) : FInner(inner) {}
    explicit EchoRemovingLink(std::unique_ptr<ByteLink> inner) : FOwned(std::move(inner)), FInner(*FOwned) {}

    void SetEnabled(bool enabled) { FEnabled = enabled; }
    bool Enabled() const { return FEnabled; }
    void SetMismatchReport(MismatchReport report) { FReport = std::move(report); }

    bool Connected() const override { return FInner.Connected(); }
    void Close() override { FInner.Close(); }
    void PurgeBuffers() override;
    void SendBytes(ByteView bytes) override;
    // The first call after a send first waits up to kEchoTimeoutMs +
    // kEchoMsPerByte per byte for as many bytes as were sent, and checks them.
    int WaitingByteCount() override;
    Bytes ReceiveBytes(int count) override;

    static constexpr int kEchoTimeoutMs = 300;
    // Ample for 1200 baud (about 9 ms per character).
    static constexpr int kEchoMsPerByte = 10;

private:
    // Takes the echo of the last request off the link, if one is due.
    void RemoveEcho();
    // Reads and drops what has arrived while the reply is void.
    void DrainInner();

    std::unique_ptr<ByteLink> FOwned;
    ByteLink& FInner;
    bool FEnabled = false;
    Bytes FEchoDue;
    bool FReplyVoid = false;
    MismatchReport FReport;
};
