#include "support/sim_process.h"

QString SimProcess::Start(const QStringList& args)
{
    FPty.clear();
    FFirstLine.clear();
    FProcess.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-sim"), args);
    if (!FProcess.waitForStarted(10000))
        return {};
    while (!FProcess.canReadLine() && FProcess.waitForReadyRead(10000)) {
    }
    FFirstLine = QString::fromUtf8(FProcess.readLine()).trimmed();
    if (FFirstLine.startsWith(QStringLiteral("PTY ")))
        FPty = FFirstLine.mid(4);
    return FPty;
}

void SimProcess::Stop()
{
    if (FProcess.state() == QProcess::NotRunning)
        return;
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) {
        FProcess.kill();
        FProcess.waitForFinished();
    }
}
