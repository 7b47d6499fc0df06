// The simulated meter as a real process: it serves a pseudo-terminal whose path
// is its first output line, and is stopped when the test is done with it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    SimProcess() = default;
    explicit SimProcess(const QStringList& args) { start(args); }
    ~SimProcess() { stop(); }

    // Starts the simulator with `args`; the pseudo-terminal's path, or empty
    // when it did not come up (or serves TCP).
    QString start(const QStringList& args);
    // Ends it and waits; events are not processed meanwhile.
    void stop();

    // Empty when the simulator did not come up.
    const QString& pty() const { return m_pty; }
    // "PTY <path>" or, with --tcp, "TCP 127.0.0.1:<port>".
    const QString& firstLine() const { return m_firstLine; }

private:
    QProcess m_process;
    QString m_pty;
    QString m_firstLine;
};
