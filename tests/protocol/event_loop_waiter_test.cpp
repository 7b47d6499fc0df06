// The program's waiter: events are handled while it waits, and its clock
// covers at least the time waited.
#include "protocol/event_loop_waiter.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "event_loop_waiter_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

TEST(EventLoopWaiter, SleepHandlesEventsThatArriveMeanwhile)
{
    App();
    EventLoopWaiter waiter;
    bool fired = false;
    QTimer::singleShot(10, [&fired] { fired = true; });
    const int64_t start = waiter.NowMs();
    waiter.Sleep(60);
    EXPECT_TRUE(fired);
    EXPECT_GE(waiter.NowMs() - start, 60);
}

TEST(EventLoopWaiter, ProcessEventsRunsPendingEventsWithoutWaiting)
{
    App();
    EventLoopWaiter waiter;
    bool ran = false;
    QMetaObject::invokeMethod(
        &App(), [&ran] { ran = true; }, Qt::QueuedConnection);
    waiter.ProcessEvents();
    EXPECT_TRUE(ran);
}

TEST(EventLoopWaiter, ZeroOrNegativeSleepOnlyProcessesEvents)
{
    App();
    EventLoopWaiter waiter;
    int runs = 0;
    QMetaObject::invokeMethod(
        &App(), [&runs] { ++runs; }, Qt::QueuedConnection);
    waiter.Sleep(0);
    QMetaObject::invokeMethod(
        &App(), [&runs] { ++runs; }, Qt::QueuedConnection);
    waiter.Sleep(-5);
    EXPECT_EQ(runs, 2);
}

TEST(EventLoopWaiter, NestedSleepFromAnEventReturnsInOrder)
{
    App();
    EventLoopWaiter waiter;
    std::vector<int> order;
    QTimer::singleShot(5, [&] {
        order.push_back(1);
        waiter.Sleep(20);
        order.push_back(2);
    });
    waiter.Sleep(50);
    order.push_back(3);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

} // namespace
