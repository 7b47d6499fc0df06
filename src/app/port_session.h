// The one owner of the window's port: the port control (with echo removal
// behind it), the guard that gives the port to one exchange at a time, and the
// exchange every window talks through. Windows ask it for the state and connect
// to its signals; none keeps a second idea of whether the port is open.
//
// A connection that ends by itself (adapter unplugged, server gone) is reported
// as `lost` once: at once when nobody is using the port, else when its user lets
// go of it. Until then the state stays Open, as the operator was last shown.
#pragma once

#include "app/port_control.h"
#include "protocol/exchange.h"
#include "protocol/port_guard.h"

#include <QObject>
#include <QString>

#include <functional>

class LogModel;
class Waiter;

class PortSession : public QObject {
    Q_OBJECT
public:
    enum class State { Closed, Connecting, Open };
    Q_ENUM(State)
    // What run() did with a piece of work.
    enum class RunResult { Done, Busy, Lost, Failed };

    // `port`, `log` and `waiter` must outlive the session.
    PortSession(PortControl& port, LogModel& log, Waiter& waiter, QObject* parent = nullptr);
    ~PortSession() override;

    State state() const { return m_state; }
    // Name, line ordinals and echo removal as chosen; the port runs them when it opens.
    PortSettings settings() const { return m_port.portSettings(); }
    // Failures of reopening an open port throw ComPortError, and the state follows the port.
    void setSettings(const PortSettings& settings);
    // Echo removal chosen and on a link that can echo at all.
    bool echoRemoval() const;

    // Closed or Open after Connecting; throws the opening's ComPortError and stays Closed.
    void open();
    // Throws ComPortError when the port refuses; the state is then unchanged.
    void close();

    PortGuard& guard() { return m_guard; }
    Exchange& exchange() { return m_exchange; }
    ByteLink& link() { return m_port.link(); }

    // Runs `work` under a lease of the port: Busy without running it when another
    // exchange has the port. When the work throws ComPortError, the port that went
    // away is reported as lost (Lost), else `error` gets the error's text for the
    // caller to show (Failed).
    RunResult run(const std::function<void()>& work, QString* error = nullptr);
    // As run, for work that also catches port failures itself and returns their
    // text (empty: none). A port that went away during the work is reported as
    // lost even when the work saw no failure.
    RunResult runReporting(const std::function<QString()>& work, QString* error = nullptr);

signals:
    void stateChanged(PortSession::State state);
    // The connection ended by itself; the state is Closed already.
    void lost(const QString& reason);

private:
    // The port for one exchange, with the exchange set to the line; empty when
    // another exchange has it.
    [[nodiscard]] PortGuard::Lease claim();
    // After the port was used: a port that went away while shown open is lost
    // (with its own reason, else `error`), and true is returned.
    bool afterUse(const QString& error = QString());
    void setState(State state);
    void portLost(const QString& reason);
    void reportLoss(QString reason);

    PortControl& m_port;
    PortGuard m_guard;
    Exchange m_exchange;
    State m_state = State::Closed;
    // The port's reason of a loss not yet reported.
    QString m_lostReason;
};
