#include "app/log_mirror.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

LogMirror::LogMirror(LogModel& model, QPlainTextEdit& view, QObject* parent)
    : QObject(parent), m_model(model), m_view(view)
{
    m_model.SetListener(this);
    Reset();
}

LogMirror::~LogMirror()
{
    m_model.SetListener(nullptr);
}

void LogMirror::LineAppended(const std::string& line)
{
    m_pending.append(QString::fromStdString(line));
    scheduleFlush();
}

void LogMirror::Reset()
{
    m_pending.clear();
    m_view.clear();
    for (const auto& line : m_model.Lines())
        m_pending.append(QString::fromStdString(line));
    scheduleFlush();
}

void LogMirror::scheduleFlush()
{
    if (m_flushScheduled || m_pending.isEmpty())
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, &LogMirror::Flush);
}

void LogMirror::Flush()
{
    m_flushScheduled = false;
    if (m_pending.isEmpty())
        return;
    const QString text = m_pending.join(QLatin1Char('\n'));
    m_pending.clear();
    m_view.appendPlainText(text);
    m_view.verticalScrollBar()->setValue(m_view.verticalScrollBar()->maximum());
}
