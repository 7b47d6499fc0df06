#include "serial/echo_removing_link.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

void EchoRemovingLink::purgeBuffers()
{
    m_echoDue.clear();
    m_replyVoid = false;
    m_inner.purgeBuffers();
}

void EchoRemovingLink::sendBytes(ByteView bytes)
{
    m_replyVoid = false;
    m_echoDue.clear();
    m_inner.sendBytes(bytes);
    if (m_enabled)
        m_echoDue.assign(bytes.begin(), bytes.end());
}

void EchoRemovingLink::removeEcho()
{
    if (m_echoDue.empty())
        return;
    const Bytes sent = std::move(m_echoDue);
    m_echoDue.clear();
    const int wanted = int(sent.size());
    QDeadlineTimer deadline(kEchoTimeoutMs + kEchoMsPerByte * wanted);
    // The inner link processes events while counting, so bytes arrive
    // between these short sleeps.
    while (m_inner.connected() && m_inner.waitingByteCount() < wanted && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Bytes echo = m_inner.receiveBytes(wanted);
    if (echo == sent)
        return;
    m_replyVoid = true;
    if (m_report)
        m_report("【回显错误】" + (echo.empty() ? std::string("无回显") : bytesToHexSpaced(echo)));
}

void EchoRemovingLink::drainInner()
{
    const int waiting = m_inner.waitingByteCount();
    if (waiting > 0)
        m_inner.receiveBytes(waiting);
}

int EchoRemovingLink::waitingByteCount()
{
    removeEcho();
    if (m_replyVoid) {
        drainInner();
        return 0;
    }
    return m_inner.waitingByteCount();
}

Bytes EchoRemovingLink::receiveBytes(int count)
{
    removeEcho();
    if (m_replyVoid) {
        drainInner();
        return {};
    }
    return m_inner.receiveBytes(count);
}
