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

void EventLoopWaiter::sleep(int ms)
{
    wait(ms, false);
}

void EventLoopWaiter::pause(int ms)
{
    wait(ms, true);
}

void EventLoopWaiter::interrupt()
{
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

void EventLoopWaiter::wait(int ms, bool pause)
{
    if (ms <= 0) {
        processEvents();
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

void EventLoopWaiter::processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

int64_t EventLoopWaiter::nowMs() const
{
    return m_clock.elapsed();
}
