#include "app/log_mirror.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

LogMirror::LogMirror(LogModel& model, QPlainTextEdit& view, QObject* parent)
    : QObject(parent), FModel(model), FView(view)
{
    FModel.SetListener(this);
    Reset();
}

LogMirror::~LogMirror()
{
    FModel.SetListener(nullptr);
}

void LogMirror::LineAppended(const std::string& line)
{
    FPending.append(QString::fromStdString(line));
    ScheduleFlush();
}

void LogMirror::Reset()
{
    FPending.clear();
    FView.clear();
    for (const auto& line : FModel.Lines())
        FPending.append(QString::fromStdString(line));
    ScheduleFlush();
}

void LogMirror::ScheduleFlush()
{
    if (FFlushScheduled || FPending.isEmpty())
        return;
    FFlushScheduled = true;
    QTimer::singleShot(0, this, &LogMirror::Flush);
}

void LogMirror::Flush()
{
    FFlushScheduled = false;
    if (FPending.isEmpty())
        return;
    const QString text = FPending.join(QLatin1Char('\n'));
    FPending.clear();
    FView.appendPlainText(text);
    FView.verticalScrollBar()->setValue(FView.verticalScrollBar()->maximum());
}
