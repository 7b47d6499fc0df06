// The port as the main window shows it: "串口设置" and "打开串口"/"关闭串口",
// the port status panel, the opening at the first activation, and the one
// message of a lost connection. The state comes from the port session alone.
#pragma once

#include "app/port_session.h"

#include <QObject>

#include <functional>

class Prompter;
class QAction;
class QLabel;
class QToolButton;
class QWidget;

class PortActions : public QObject {
    Q_OBJECT
public:
    // `window`, `session`, `prompter` and `statusPanel` must outlive this object;
    // the actions are children of `window`.
    PortActions(QWidget& window, PortSession& session, Prompter& prompter, QLabel& statusPanel);

    QAction* settingsAction() const { return m_settingsAction; }
    QAction* openAction() const { return m_openAction; }
    // The toolbar button of openAction(), which names its picture ("imageIndex").
    void setOpenButton(QToolButton* button);
    // No port chosen yet (first start): nothing is opened until the operator
    // chooses; with `choosePortFirst` the port dialog comes up by itself.
    void setNoPortChosen(bool noPortChosen, bool choosePortFirst);
    // Opens the port once the window is first active, or says why not.
    void openAtActivation();
    void showClosed();

signals:
    // The port was shown open (true) or closed after being open (false).
    void shownOpen(bool open);
    // The operator chose port settings (`portRenamed` when another port).
    void settingsChosen(bool portRenamed);

private:
    void onSettingsTriggered();
    void onOpenTriggered();
    void onStateChanged(PortSession::State state);
    void showOpen(bool open);
    void inform(const QString& text);

    QWidget& m_window;
    PortSession& m_session;
    Prompter& m_prompter;
    QLabel& m_statusPanel;
    QAction* m_settingsAction = nullptr;
    QAction* m_openAction = nullptr;
    QToolButton* m_openButton = nullptr;
    // The port state last shown: a failed opening shows less than a close.
    PortSession::State m_shownState = PortSession::State::Closed;
    bool m_noPortChosen = false;
    bool m_noPortTold = false;
    bool m_choosePortFirst = false;
};
