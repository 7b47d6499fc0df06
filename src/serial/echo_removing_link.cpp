#include "serial/echo_removing_link.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

void EchoRemovingLink::PurgeBuffers()
{
    m_echoDue.clear();
    m_replyVoid = false;
    m_inner.PurgeBuffers();
}

void EchoRemovingLink::SendBytes(ByteView bytes)
{
    m_replyVoid = false;
    m_echoDue.clear();
    m_inner.SendBytes(bytes);
    if (m_enabled)
        m_echoDue.assign(bytes.begin(), bytes.end());
}

void EchoRemovingLink::RemoveEcho()
{
    if (m_echoDue.empty())
        return;
    const Bytes sent = std::move(m_echoDue);
    m_echoDue.clear();
    const int wanted = int(sent.size());
    QDeadlineTimer deadline(kEchoTimeoutMs + kEchoMsPerByte * wanted);
    // The inner link processes events while counting, so bytes arrive
    // between these short sleeps.
    while (m_inner.Connected() && m_inner.WaitingByteCount() < wanted && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Bytes echo = m_inner.ReceiveBytes(wanted);
    if (echo == sent)
        return;
    m_replyVoid = true;
    if (m_report)
        m_report("【回显错误】" + (echo.empty() ? std::string("无回显") : BytesToHexSpaced(echo)));
}

void EchoRemovingLink::DrainInner()
{
    const int waiting = m_inner.WaitingByteCount();
    if (waiting > 0)
        m_inner.ReceiveBytes(waiting);
}

int EchoRemovingLink::WaitingByteCount()
{
    RemoveEcho();
    if (m_replyVoid) {
        DrainInner();
        return 0;
    }
    return m_inner.WaitingByteCount();
}

Bytes EchoRemovingLink::ReceiveBytes(int count)
{
    RemoveEcho();
    if (m_replyVoid) {
        DrainInner();
        return {};
    }
    return m_inner.ReceiveBytes(count);
}
