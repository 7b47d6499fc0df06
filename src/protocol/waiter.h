// Every fixed wait of the exchange (120 ms, 25 ms polls, probe pauses, timer
// periods) goes through this interface. The program waits while processing
// window events so "取消" stays live; tests advance a virtual clock instead.
#pragma once

#include <cstdint>
#include <functional>

class Waiter {
public:
    virtual ~Waiter() = default;
    // Waits `ms` milliseconds, processing pending events meanwhile.
    virtual void sleep(int ms) = 0;
    // Processes pending events once without waiting.
    virtual void processEvents() = 0;
    // A wait that its owner may cut short: interrupt(), called from an event
    // handled meanwhile, ends the innermost Pause at once. A Sleep is never cut
    // short, so the reply waits of an exchange always run their full time.
    virtual void pause(int ms) { sleep(ms); }
    virtual void interrupt() {}
    // Monotonic milliseconds since an arbitrary start.
    virtual int64_t nowMs() const = 0;
};

// Test clock: Sleep advances time at once; hooks let a simulated meter react.
class VirtualClock : public Waiter {
public:
    void sleep(int ms) override
    {
        if (ms > 0)
            m_now += ms;
        processEvents();
    }
    void processEvents() override
    {
        if (m_onEvents)
            m_onEvents();
    }
    int64_t nowMs() const override { return m_now; }
    void advance(int64_t ms) { m_now += ms; }
    // Called on every ProcessEvents: tests use it to press "取消" mid-run.
    template <class F> void setOnEvents(F f) { m_onEvents = f; }

private:
    int64_t m_now = 0;
    std::function<void()> m_onEvents;
};
