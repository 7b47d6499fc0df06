#include "support/sim_process.h"

QString SimProcess::start(const QStringList& args)
{
    m_pty.clear();
    m_firstLine.clear();
    m_process.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-sim"), args);
    if (!m_process.waitForStarted(10000))
        return {};
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    m_firstLine = QString::fromUtf8(m_process.readLine()).trimmed();
    if (m_firstLine.startsWith(QStringLiteral("PTY ")))
        m_pty = m_firstLine.mid(4);
    return m_pty;
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}
