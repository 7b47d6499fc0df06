#include "serial/echo_removing_link.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

void EchoRemovingLink::PurgeBuffers()
{
    FReplyVoid = false;
    FInner.PurgeBuffers();
}

void EchoRemovingLink::SendBytes(ByteView bytes)
{
    FReplyVoid = false;
    FInner.SendBytes(bytes);
    if (!FEnabled || bytes.empty())
        return;
    const int wanted = int(bytes.size());
    QDeadlineTimer deadline(kEchoTimeoutMs + kEchoMsPerByte * wanted);
    // The inner link processes events while counting, so bytes arrive
    // between these short sleeps.
    while (FInner.Connected() && FInner.WaitingByteCount() < wanted && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Bytes echo = FInner.ReceiveBytes(wanted);
    if (echo.size() == bytes.size() && std::equal(echo.begin(), echo.end(), bytes.begin()))
        return;
    FReplyVoid = true;
    if (FReport)
        FReport("【回显错误】" + BytesToHexSpaced(echo));
}

void EchoRemovingLink::DrainInner()
{
    const int waiting = FInner.WaitingByteCount();
    if (waiting > 0)
        FInner.ReceiveBytes(waiting);
}

int EchoRemovingLink::WaitingByteCount()
{
    if (FReplyVoid) {
        DrainInner();
        return 0;
    }
    return FInner.WaitingByteCount();
}

Bytes EchoRemovingLink::ReceiveBytes(int count)
{
    if (FReplyVoid) {
        DrainInner();
        return {};
    }
    return FInner.ReceiveBytes(count);
}
