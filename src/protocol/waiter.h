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
    virtual void Sleep(int ms) = 0;
    // Processes pending events once without waiting.
    virtual void ProcessEvents() = 0;
    // A wait that its owner may cut short: Interrupt(), called from an event
    // handled meanwhile, ends the innermost Pause at once. A Sleep is never cut
    // short, so the reply waits of an exchange always run their full time.
    virtual void Pause(int ms) { Sleep(ms); }
    virtual void Interrupt() {}
    // Monotonic milliseconds since an arbitrary start.
    virtual int64_t NowMs() const = 0;
};

// Test clock: Sleep advances time at once; hooks let a simulated meter react.
class VirtualClock : public Waiter {
public:
    void Sleep(int ms) override
    {
        if (ms > 0)
            m_now += ms;
        ProcessEvents();
    }
    void ProcessEvents() override
    {
        if (m_onEvents)
            m_onEvents();
    }
    int64_t NowMs() const override { return m_now; }
    void Advance(int64_t ms) { m_now += ms; }
    // Called on every ProcessEvents: tests use it to press "取消" mid-run.
    template <class F> void SetOnEvents(F f) { m_onEvents = f; }

private:
    int64_t m_now = 0;
    std::function<void()> m_onEvents;
};
