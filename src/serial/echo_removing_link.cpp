#include "serial/echo_removing_link.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

void EchoRemovingLink::PurgeBuffers()
{
    FEchoDue.clear();
    FReplyVoid = false;
    FInner.PurgeBuffers();
}

void EchoRemovingLink::SendBytes(ByteView bytes)
{
    FReplyVoid = false;
    FEchoDue.clear();
    FInner.SendBytes(bytes);
    if (FEnabled)
        FEchoDue.assign(bytes.begin(), bytes.end());
}

void EchoRemovingLink::RemoveEcho()
{
    if (FEchoDue.empty())
        return;
    const Bytes sent = std::move(FEchoDue);
    FEchoDue.clear();
    const int wanted = int(sent.size());
    QDeadlineTimer deadline(kEchoTimeoutMs + kEchoMsPerByte * wanted);
    // The inner link processes events while counting, so bytes arrive
    // between these short sleeps.
    while (FInner.Connected() && FInner.WaitingByteCount() < wanted && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Bytes echo = FInner.ReceiveBytes(wanted);
    if (echo == sent)
        return;
    FReplyVoid = true;
    if (FReport)
        FReport("【回显错误】" + (echo.empty() ? std::string("无回显") : BytesToHexSpaced(echo)));
}

void EchoRemovingLink::DrainInner()
{
    const int waiting = FInner.WaitingByteCount();
    if (waiting > 0)
        FInner.ReceiveBytes(waiting);
}

int EchoRemovingLink::WaitingByteCount()
{
    RemoveEcho();
    if (FReplyVoid) {
        DrainInner();
        return 0;
    }
    return FInner.WaitingByteCount();
}

Bytes EchoRemovingLink::ReceiveBytes(int count)
{
    RemoveEcho();
    if (FReplyVoid) {
        DrainInner();
        return {};
    }
    return FInner.ReceiveBytes(count);
}
