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

    bool connected() const override { return m_connected; }
    void purgeBuffers() override;
    void sendBytes(ByteView bytes) override;
    int waitingByteCount() override;
    Bytes receiveBytes(int count) override;

    // The meter goes away: every later call (but Connected) throws ComPortError.
    void disconnect();
    SimMeter& meter() { return m_meter; }
    // Every request sent so far, in order.
    const std::vector<Bytes>& requests() const { return m_requests; }

private:
    void throwIfDisconnected(int errorNumber, const char* text) const;
    void release();

    SimMeter m_meter;
    const Waiter& m_clock;
    bool m_connected = true;
    std::vector<Bytes> m_requests;
    // Bytes not yet "on the wire", with their absolute due times in microseconds.
    std::deque<SimPiece> m_scheduled;
    Bytes m_waiting;
    // Fault "endless": bytes keep coming from this time on (microseconds); -1 off.
    int64_t m_endlessFromUs = -1;
};
