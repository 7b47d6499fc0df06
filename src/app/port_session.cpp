#include "app/port_session.h"

#include "app/link_reason_text.h"
#include "log/log_model.h"
#include "serial/link_factory.h"

#include <QTimer>

PortSession::PortSession(PortControl& port, LogModel& log, Waiter& waiter, QObject* parent)
    : QObject(parent), m_port(port), m_exchange(port.link(), log, waiter)
{
    m_port.setEchoMismatchReport([&log](const std::string& line) { log.appendLine(line); });
    m_port.setConnectionLostHandler([this](const LinkReason& reason) { portLost(reasonText(reason)); });
    m_guard.setOnFree([this] {
        if (m_lostReason.isEmpty())
            return;
        QTimer::singleShot(0, this, [this] {
            if (!m_guard.busy() && !m_lostReason.isEmpty())
                reportLoss(m_lostReason);
        });
    });
}

PortSession::~PortSession()
{
    m_port.setConnectionLostHandler({});
    m_port.setEchoMismatchReport({});
    m_guard.setOnFree({});
    try {
        m_port.closePort();
    } catch (...) {
        // A port that fails at the last close is of no interest any more.
    }
}

void PortSession::setSettings(const PortSettings& settings)
{
    m_port.setPortSettings(settings);
}

bool PortSession::echoRemoval() const
{
    const PortSettings current = m_port.portSettings();
    return current.echo && !hasNoEcho(current.comPort);
}

void PortSession::open()
{
    if (m_state == State::Open && m_port.connected())
        return;
    setState(State::Connecting);
    try {
        m_port.closePort();
        m_port.openPort();
        m_port.link().purgeBuffers();
    } catch (const ComPortError&) {
        try {
            m_port.closePort();
        } catch (const ComPortError&) {
        }
        setState(State::Closed);
        throw;
    }
    m_lostReason.clear();
    setState(State::Open);
}

void PortSession::close()
{
    m_port.closePort();
    m_lostReason.clear();
    setState(State::Closed);
}

PortGuard::Lease PortSession::claim()
{
    PortGuard::Lease lease = m_guard.tryTake();
    if (!lease)
        return lease;
    // Bounds each reply wait by the wire time of the longest reply on this line.
    m_exchange.setLine(lineSettingsOf(m_port.portSettings()));
    m_exchange.resetEchoedReplies();
    return lease;
}

PortSession::RunResult PortSession::run(const std::function<void()>& work, QString* error)
{
    PortGuard::Lease lease = claim();
    if (!lease)
        return RunResult::Busy;
    QString failure;
    try {
        work();
    } catch (const ComPortError& portError) {
        failure = portErrorText(portError);
    }
    lease.release();
    if (failure.isEmpty())
        return RunResult::Done;
    if (afterUse(failure))
        return RunResult::Lost;
    if (error)
        *error = failure;
    return RunResult::Failed;
}

PortSession::RunResult PortSession::runReporting(const std::function<QString()>& work, QString* error)
{
    PortGuard::Lease lease = claim();
    if (!lease)
        return RunResult::Busy;
    QString failure;
    try {
        failure = work();
    } catch (const ComPortError& portError) {
        failure = portErrorText(portError);
    }
    // Told while the port is still held, as the work's own messages were.
    if (afterUse(failure))
        return RunResult::Lost;
    if (failure.isEmpty())
        return RunResult::Done;
    if (error)
        *error = failure;
    return RunResult::Failed;
}

bool PortSession::afterUse(const QString& error)
{
    if (m_port.connected() || m_state != State::Open)
        return false;
    // A loss has told its reason alone; the caught error's text is the
    // fallback for a port that could not be reopened.
    reportLoss(m_lostReason.isEmpty() ? error : m_lostReason);
    return true;
}

void PortSession::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void PortSession::portLost(const QString& reason)
{
    m_lostReason = reason;
    if (!m_guard.busy())
        reportLoss(reason);
}

void PortSession::reportLoss(QString reason)
{
    m_lostReason.clear();
    if (m_state != State::Open)
        return;
    try {
        // Also drops the failure the port keeps for its next operation: the
        // operator hears of it here, once.
        m_port.closePort();
    } catch (const ComPortError&) {
    }
    setState(State::Closed);
    emit lost(reason);
}
