#include "app/log_pane.h"

#include "app/app_texts.h"
#include "app/log_mirror.h"
#include "app/prompter.h"
#include "log/log_file.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

LogPane::LogPane(LogModel& log, Prompter& prompter, const QString& folder, QWidget* parent)
    : QWidget(parent), m_log(log), m_prompter(prompter), m_folder(folder)
{
    setObjectName(QStringLiteral("pnlBottom"));
    auto* group = new QGroupBox(QStringLiteral("日志信息"), this);
    m_view = new QPlainTextEdit(group);
    m_view->setObjectName(QStringLiteral("Memo1"));
    m_view->setReadOnly(true);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(4, 4, 4, 4);
    groupLayout->addWidget(m_view);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    m_mirror = new LogMirror(m_log, *m_view, this);

    m_saveAction = new QAction(QStringLiteral("保存日志"), this);
    m_saveAction->setObjectName(QStringLiteral("acSaveLog"));
    connect(m_saveAction, &QAction::triggered, this, &LogPane::onSaveTriggered);
    m_clearAction = new QAction(QStringLiteral("清除日志"), this);
    m_clearAction->setObjectName(QStringLiteral("acDelLog"));
    connect(m_clearAction, &QAction::triggered, this, &LogPane::onClearTriggered);
    auto* copyAction = new QAction(QStringLiteral("复制日志"), this);
    copyAction->setObjectName(QStringLiteral("N16"));
    connect(copyAction, &QAction::triggered, this, [this] {
        if (m_view->textCursor().hasSelection())
            m_view->copy();
    });

    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("PopMemo"));
    menu->addActions({m_saveAction, m_clearAction, copyAction});
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& at) { menu->popup(m_view->viewport()->mapToGlobal(at)); });
}

LogPane::~LogPane()
{
    // The mirror listens to the log, which may go first.
    delete m_mirror;
}

void LogPane::flush()
{
    m_mirror->flush();
}

void LogPane::onClearTriggered()
{
    if (m_log.lineCount() == 0)
        return;
    if (!m_prompter.ask(window(), QStringLiteral("是否要删除日志信息？"), kInfoCaption))
        return;
    m_log.clear();
}

void LogPane::onSaveTriggered()
{
    flush();
    const std::string proposed = proposedLogFileName(QDir::toNativeSeparators(m_folder + '/').toStdString());
    const QString name =
        m_prompter.saveFileName(window(), QStringLiteral("保存日志"), QString::fromStdString(proposed),
                                QString::fromLatin1(kSaveLogFilter));
    if (name.isEmpty())
        return;
    const LogSaveResult result = saveLogFile(m_log, name.toStdString(), [this](const LogMessage& question) {
        return m_prompter.ask(window(), QString::fromStdString(question.text),
                              QString::fromStdString(question.caption));
    });
    for (const LogMessage& message : result.messages) {
        if (message.kind == LogMessageKind::Warning)
            m_prompter.warn(window(), QString::fromStdString(message.text),
                            QString::fromStdString(message.caption));
        else
            m_prompter.inform(window(), QString::fromStdString(message.text),
                              QString::fromStdString(message.caption));
    }
}
