// The simulated meter as a real process: it serves a pseudo-terminal whose path
// is its first output line, and is stopped when the test is done with it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    explicit SimProcess(const QStringList& args);
    ~SimProcess();
    // Empty when the simulator did not come up.
    const QString& Pty() const { return FPty; }
    // "PTY <path>" or, with --tcp, "TCP 127.0.0.1:<port>".
    const QString& FirstLine() const { return FFirstLine; }

private:
    QProcess FProcess;
    QString FPty;
    QString FFirstLine;
};
