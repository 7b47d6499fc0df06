#include "app/log_mirror.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

LogMirror::LogMirror(LogModel& model, QPlainTextEdit& view, QObject* parent)
    : QObject(parent), m_model(model), m_view(view)
{
    m_model.setListener(this);
    reset();
}

LogMirror::~LogMirror()
{
    m_model.setListener(nullptr);
}

void LogMirror::lineAppended(const std::string& line)
{
    m_pending.append(QString::fromStdString(line));
    scheduleFlush();
}

void LogMirror::reset()
{
    m_pending.clear();
    m_view.clear();
    for (const auto& line : m_model.lines())
        m_pending.append(QString::fromStdString(line));
    scheduleFlush();
}

void LogMirror::scheduleFlush()
{
    if (m_flushScheduled || m_pending.isEmpty())
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, &LogMirror::flush);
}

void LogMirror::flush()
{
    m_flushScheduled = false;
    if (m_pending.isEmpty())
        return;
    const QString text = m_pending.join(QLatin1Char('\n'));
    m_pending.clear();
    m_view.appendPlainText(text);
    m_view.verticalScrollBar()->setValue(m_view.verticalScrollBar()->maximum());
}
