// The log pane ("pnlBottom"): the log's lines in "Memo1" under "日志信息", with
// the actions that save, clear and copy them ("PopMemo" offers all three).
#pragma once

#include <QWidget>

class LogMirror;
class LogModel;
class Prompter;
class QAction;
class QPlainTextEdit;

class LogPane : public QWidget {
    Q_OBJECT
public:
    // `log` and `prompter` must outlive the pane; the save dialog proposes a
    // file in `folder`.
    LogPane(LogModel& log, Prompter& prompter, const QString& folder, QWidget* parent = nullptr);
    ~LogPane() override;

    QAction* saveAction() const { return m_saveAction; }
    QAction* clearAction() const { return m_clearAction; }
    // Hands pending log lines to the view now.
    void flush();

private:
    void onSaveTriggered();
    void onClearTriggered();

    LogModel& m_log;
    Prompter& m_prompter;
    QString m_folder;
    QPlainTextEdit* m_view = nullptr;
    LogMirror* m_mirror = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_clearAction = nullptr;
};
