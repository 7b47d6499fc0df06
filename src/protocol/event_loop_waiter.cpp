#include "protocol/event_loop_waiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

EventLoopWaiter::EventLoopWaiter()
{
    m_clock.start();
}

void EventLoopWaiter::Sleep(int ms)
{
    Wait(ms, false);
}

void EventLoopWaiter::Pause(int ms)
{
    Wait(ms, true);
}

void EventLoopWaiter::Interrupt()
{
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

void EventLoopWaiter::Wait(int ms, bool pause)
{
    if (ms <= 0) {
        ProcessEvents();
        return;
    }
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    // A precise timer: the 20 ms and 25 ms reply polls would otherwise be
    // stretched by the coarse timer's 5 % slack.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    QEventLoop* outerPause = m_pauseLoop;
    if (pause)
        m_pauseLoop = &loop;
    loop.exec();
    m_pauseLoop = outerPause;
}

void EventLoopWaiter::ProcessEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

int64_t EventLoopWaiter::NowMs() const
{
    return m_clock.elapsed();
}
