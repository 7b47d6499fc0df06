// In-process byte link to a simulated meter. The reply to a request becomes
// "waiting" as the clock passes the times the meter would send its bytes, so the
// exchange's polling works against it exactly as against a port, under a
// VirtualClock in tests or a real-time waiter.
#pragma once

#include "protocol/waiter.h"
#include "serial/byte_link.h"
#include "sim/sim_meter.h"

#include <deque>

class SimLink : public ByteLink {
public:
    // The clock must outlive the link.
    SimLink(SimMeter meter, const Waiter& clock);

    bool Connected() const override { return FConnected; }
    void PurgeBuffers() override;
    void SendBytes(ByteView bytes) override;
    int WaitingByteCount() override;
    Bytes ReceiveBytes(int count) override;

    // The meter goes away: every later call (but Connected) throws EComPort.
    void Disconnect();
    SimMeter& Meter() { return FMeter; }
    // Every request sent so far, in order.
    const std::vector<Bytes>& Requests() const { return FRequests; }

private:
    void ThrowIfDisconnected(int errorNumber, const char* text) const;
    void Release();

    SimMeter FMeter;
    const Waiter& FClock;
    bool FConnected = true;
    std::vector<Bytes> FRequests;
    // Bytes not yet "on the wire", with their absolute due times in microseconds.
    std::deque<SimPiece> FScheduled;
    Bytes FWaiting;
    // Fault "endless": bytes keep coming from this time on (microseconds); -1 off.
    int64_t FEndlessFromUs = -1;
};
