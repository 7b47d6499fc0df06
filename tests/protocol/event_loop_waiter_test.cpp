// The program's waiter: events are handled while it waits, and its clock
// covers at least the time waited.
#include "protocol/event_loop_waiter.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "event_loop_waiter_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

TEST(EventLoopWaiter, SleepHandlesEventsThatArriveMeanwhile)
{
    app();
    EventLoopWaiter waiter;
    bool fired = false;
    QTimer::singleShot(10, [&fired] { fired = true; });
    const int64_t start = waiter.nowMs();
    waiter.sleep(60);
    EXPECT_TRUE(fired);
    EXPECT_GE(waiter.nowMs() - start, 60);
}

TEST(EventLoopWaiter, ProcessEventsRunsPendingEventsWithoutWaiting)
{
    app();
    EventLoopWaiter waiter;
    bool ran = false;
    QMetaObject::invokeMethod(
        &app(), [&ran] { ran = true; }, Qt::QueuedConnection);
    waiter.processEvents();
    EXPECT_TRUE(ran);
}

TEST(EventLoopWaiter, ZeroOrNegativeSleepOnlyProcessesEvents)
{
    app();
    EventLoopWaiter waiter;
    int runs = 0;
    QMetaObject::invokeMethod(
        &app(), [&runs] { ++runs; }, Qt::QueuedConnection);
    waiter.sleep(0);
    QMetaObject::invokeMethod(
        &app(), [&runs] { ++runs; }, Qt::QueuedConnection);
    waiter.sleep(-5);
    EXPECT_EQ(runs, 2);
}

TEST(EventLoopWaiter, NestedSleepFromAnEventReturnsInOrder)
{
    app();
    EventLoopWaiter waiter;
    std::vector<int> order;
    QTimer::singleShot(5, [&] {
        order.push_back(1);
        waiter.sleep(20);
        order.push_back(2);
    });
    waiter.sleep(50);
    order.push_back(3);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

} // namespace
