#include "modbus/modbus_master.h"

#include "protocol/exchange.h"
#include "protocol/waiter.h"
#include "serial/byte_link.h"
#include "serial/link_factory.h"

#include <QString>

#include <algorithm>

namespace {

// The longest frame of either transport: 253 PDU bytes and the MBAP header.
constexpr size_t kLongestFrame = 260;

} // namespace

const ModbusFraming& modbusFramingForPort(const QString& portName)
{
    return networkSchemeOf(portName.trimmed()) == NetworkScheme::ModbusTcp ? ModbusFraming::tcp()
                                                                           : ModbusFraming::rtu();
}

ModbusMaster::ModbusMaster(Exchange& exchange, const ModbusFraming& framing)
    : m_exchange(exchange), m_framing(&framing)
{
}

ModbusOutcome ModbusMaster::transact(const ModbusRequest& request, int responseTimeoutMs)
{
    ModbusOutcome outcome;
    const Bytes pdu = modbusRequestPdu(request);
    if (pdu.empty()) {
        outcome.kind = ModbusOutcome::Kind::Error;
        outcome.error = modbusRequestProblem(request);
        return outcome;
    }
    ++m_transaction;
    outcome.request = m_framing->frame(request.address, pdu, m_transaction);
    ++m_counters.requests;
    m_exchange.sendFrame(outcome.request);
    if (request.address == kModbusBroadcast) {
        outcome.kind = ModbusOutcome::Kind::Broadcast;
        return outcome;
    }
    outcome.reply = collectReply(responseTimeoutMs);
    return judge(request, std::move(outcome));
}

Bytes ModbusMaster::collectReply(int responseTimeoutMs)
{
    ByteLink& link = m_exchange.link();
    Waiter& wait = m_exchange.wait();
    const int gapMs = std::max(m_exchange.line().silenceGapMs(), 2);
    const int64_t start = wait.nowMs();
    const int64_t latest = start + responseTimeoutMs + m_exchange.line().wireTimeMs(kLongestFrame);
    int64_t lastByte = start;
    Bytes reply;
    for (;;) {
        const int waiting = link.connected() ? link.waitingByteCount() : 0;
        const int64_t now = wait.nowMs();
        if (waiting > 0) {
            const Bytes more = link.receiveBytes(waiting);
            reply.insert(reply.end(), more.begin(), more.end());
            lastByte = now;
        }
        const std::optional<size_t> length = m_framing->replyLength(reply);
        if (length && reply.size() >= *length)
            break;
        if (reply.size() > kLongestFrame || now >= latest || !link.connected())
            break;
        // A frame whose length is known (or soon will be) may be held back by
        // an adapter or the scheduler for a while; bytes that can tell no
        // length end with the line's silence.
        const bool mayGrow = length || m_framing->replyLengthPending(reply);
        if (now - lastByte >= (mayGrow ? responseTimeoutMs : gapMs))
            break;
        wait.sleep(1);
    }
    if (!reply.empty())
        m_exchange.logReply(reply);
    return reply;
}

ModbusOutcome ModbusMaster::judge(const ModbusRequest& request, ModbusOutcome outcome)
{
    if (outcome.reply.empty() && m_exchange.link().echoFailed()) {
        // The log holds the echo line; what came was dropped with it.
        outcome.kind = ModbusOutcome::Kind::Error;
        outcome.error = "echo differs from the request";
        ++m_counters.checkErrors;
        return outcome;
    }
    if (outcome.reply.empty()) {
        outcome.kind = ModbusOutcome::Kind::Timeout;
        ++m_counters.timeouts;
        return outcome;
    }
    outcome.kind = ModbusOutcome::Kind::Error;
    const std::optional<size_t> length = m_framing->replyLength(outcome.reply);
    const ModbusFraming::Unwrapped frame = m_framing->unwrap(outcome.reply);
    if (!length || *length != outcome.reply.size())
        outcome.error = "reply of " + std::to_string(outcome.reply.size()) + " bytes has a wrong length";
    else if (!frame.ok)
        outcome.error = m_framing->isTcp() ? "bad MBAP header" : "bad CRC";
    else if (frame.address != request.address)
        outcome.error = "reply from address " + std::to_string(frame.address);
    else if (m_framing->isTcp() && frame.transaction != m_transaction)
        outcome.error = "reply to transaction " + std::to_string(frame.transaction);
    if (!outcome.error.empty()) {
        ++m_counters.checkErrors;
        return outcome;
    }
    const ModbusReply reply = parseModbusReplyPdu(request, frame.pdu);
    switch (reply.kind) {
    case ModbusReply::Kind::Ok:
        outcome.kind = ModbusOutcome::Kind::Ok;
        outcome.values = reply.values;
        ++m_counters.goodReplies;
        break;
    case ModbusReply::Kind::Exception:
        outcome.kind = ModbusOutcome::Kind::Exception;
        outcome.exceptionCode = reply.exceptionCode;
        ++m_counters.exceptions;
        ++m_counters.exceptionsByCode[static_cast<size_t>(reply.exceptionCode & 0xFF)];
        break;
    case ModbusReply::Kind::Malformed:
        outcome.error = "reply does not answer the request";
        ++m_counters.checkErrors;
        break;
    }
    return outcome;
}
