// Mirrors the LogModel into the log pane. Lines are gathered and handed to the
// text view in one piece when control returns to the event loop (the exchange
// processes events every 25 ms), so long reads and logs of 100,000 lines stay
// quick; flush() hands them over at once when someone needs the view current.
#pragma once

#include "log/log_model.h"

#include <QObject>
#include <QStringList>

class QPlainTextEdit;

class LogMirror : public QObject, private LogModel::Listener {
    Q_OBJECT
public:
    // Listens to `model` (which must outlive the mirror) and writes into `view`.
    LogMirror(LogModel& model, QPlainTextEdit& view, QObject* parent = nullptr);
    ~LogMirror() override;

    void flush();

private:
    void lineAppended(const std::string& line) override;
    void reset() override;
    void scheduleFlush();

    LogModel& m_model;
    QPlainTextEdit& m_view;
    QStringList m_pending;
    bool m_flushScheduled = false;
};
