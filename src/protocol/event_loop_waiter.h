// The program's Waiter: waits by running a local Qt event loop, so window
// events (the "取消" button, port notifications) are handled while the
// exchange waits for a reply. Used by the windows and the command-line tools.
#pragma once

#include "protocol/waiter.h"

#include <QElapsedTimer>

class QEventLoop;

class EventLoopWaiter : public Waiter {
public:
    EventLoopWaiter();
    // Blocks in a nested event loop until `ms` have passed; without a
    // QCoreApplication it just sleeps. Never spins the processor.
    void sleep(int ms) override;
    void processEvents() override;
    void pause(int ms) override;
    void interrupt() override;
    int64_t nowMs() const override;

private:
    // Runs a local event loop for `ms`; registered as the pause loop when `pause`.
    void wait(int ms, bool pause);

    QElapsedTimer m_clock;
    QEventLoop* m_pauseLoop = nullptr;
};
