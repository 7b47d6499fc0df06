#include "app/port_actions.h"

#include "app/app_images.h"
#include "app/app_texts.h"
#include "app/link_reason_text.h"
#include "app/port_settings_dialog.h"
#include "app/prompter.h"
#include "serial/com_port_error.h"
#include "serial/link_factory.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace {

const QString kNoPortChosen = QStringLiteral("尚未选择串口，请在“串口设置”中选择串口。");
const QString kCloseFailed = QStringLiteral("串口关闭失败，请检查!");
const QString kPortClosedStatus = QStringLiteral("串口状态：已关闭");
const QString kOpenCaption = QStringLiteral("打开串口");
const QString kCloseCaption = QStringLiteral("关闭串口");

} // namespace

PortActions::PortActions(QWidget& window, PortSession& session, Prompter& prompter, QLabel& statusPanel)
    : QObject(&window), m_window(window), m_session(session), m_prompter(prompter), m_statusPanel(statusPanel)
{
    m_settingsAction = new QAction(QStringLiteral("串口设置(&S)"), &window);
    m_settingsAction->setObjectName(QStringLiteral("acSet"));
    connect(m_settingsAction, &QAction::triggered, this, &PortActions::onSettingsTriggered);
    m_openAction = new QAction(kOpenCaption, &window);
    m_openAction->setObjectName(QStringLiteral("acOpen"));
    connect(m_openAction, &QAction::triggered, this, &PortActions::onOpenTriggered);
    connect(&m_session, &PortSession::stateChanged, this, &PortActions::onStateChanged);
    connect(&m_session, &PortSession::lost, this, [this](const QString& reason) {
        const QString lost = QStringLiteral("串口连接已断开，请检查！");
        m_prompter.warn(&m_window, reason.isEmpty() ? lost : lost + u'\n' + reason, kWarnCaption);
    });
}

void PortActions::setOpenButton(QToolButton* button)
{
    m_openButton = button;
    m_openButton->setProperty("imageIndex", 0);
}

void PortActions::setNoPortChosen(bool noPortChosen, bool choosePortFirst)
{
    m_noPortChosen = noPortChosen;
    m_choosePortFirst = choosePortFirst;
}

void PortActions::inform(const QString& text)
{
    m_prompter.inform(&m_window, text, kInfoCaption);
}

void PortActions::openAtActivation()
{
    if (m_noPortChosen) {
        if (!m_noPortTold) {
            m_noPortTold = true;
            // Shown from the event loop: this runs inside the activation.
            if (m_choosePortFirst)
                QTimer::singleShot(0, this, &PortActions::onSettingsTriggered);
            else
                inform(kNoPortChosen);
        }
        return;
    }
    try {
        m_session.open();
    } catch (const ComPortError& error) {
        inform(openFailedText(m_session.settings().comPort, error));
    }
}

void PortActions::showOpen(bool open)
{
    m_openAction->setText(open ? kCloseCaption : kOpenCaption);
    m_openAction->setIcon(toolbarImage(open ? ToolImage::PortOpen : ToolImage::PortClosed));
    m_openButton->setProperty("imageIndex", open ? 1 : 0);
    m_settingsAction->setEnabled(!open);
    m_statusPanel.setText(open ? QStringLiteral("串口状态：") + m_session.settings().comPort
                               : kPortClosedStatus);
    emit shownOpen(open);
}

void PortActions::showClosed()
{
    m_statusPanel.setText(kPortClosedStatus);
}

void PortActions::onStateChanged(PortSession::State state)
{
    const PortSession::State shown = std::exchange(m_shownState, state);
    switch (state) {
    case PortSession::State::Connecting:
        if (const QString name = m_session.settings().comPort; isNetworkPortName(name)) {
            // Connecting can take seconds, and the window waits for it: say so first.
            m_statusPanel.setText(QStringLiteral("串口状态：正在连接 ") + name);
            // No event is handled before the wait: the panel is widened to its
            // text and drawn right here, or it shows the old width cut short.
            if (QWidget* bar = m_statusPanel.parentWidget()) {
                bar->layout()->activate();
                bar->repaint();
            }
        }
        break;
    case PortSession::State::Open:
        showOpen(true);
        break;
    case PortSession::State::Closed:
        if (shown == PortSession::State::Open)
            showOpen(false);
        else
            showClosed();
        break;
    }
}

void PortActions::onOpenTriggered()
{
    // Closing under a parameter read would spoil its exchange.
    const PortSession::RunResult result = m_session.runReporting([this] {
        try {
            if (m_session.state() == PortSession::State::Closed)
                m_session.open();
            else
                m_session.close();
        } catch (const ComPortError& error) {
            inform(m_session.state() == PortSession::State::Closed
                       ? openFailedText(m_session.settings().comPort, error)
                       : kCloseFailed);
        }
        return QString();
    });
    if (result == PortSession::RunResult::Busy)
        inform(kPortBusy);
}

void PortActions::onSettingsTriggered()
{
    PortSettingsDialog dialog(&m_window);
    const PortSettings current = m_session.settings();
    dialog.setPortName(current.comPort);
    dialog.setBaudRateOrdinal(current.baudRate);
    dialog.setDataBitsOrdinal(current.dataBits);
    dialog.setStopBitsOrdinal(current.stopBits);
    dialog.setParityOrdinal(current.parity);
    dialog.setEcho(current.echo);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PortSettings chosen;
    chosen.comPort = dialog.portName();
    chosen.baudRate = dialog.baudRateOrdinal(current.baudRate);
    chosen.dataBits = dialog.dataBitsOrdinal(current.dataBits);
    chosen.stopBits = dialog.stopBitsOrdinal(current.stopBits);
    chosen.parity = dialog.parityOrdinal(current.parity);
    chosen.echo = dialog.echo();
    m_noPortChosen = false;
    QString error;
    const PortSession::RunResult result = m_session.runReporting(
        [&] {
            m_session.setSettings(chosen);
            return QString();
        },
        &error);
    if (result == PortSession::RunResult::Busy) {
        inform(kPortBusy);
        return;
    }
    if (result == PortSession::RunResult::Failed)
        m_prompter.warn(&m_window, error, kWarnCaption);
    emit settingsChosen(chosen.comPort != current.comPort);
}
