// Test doubles for the window tests: a prompter that answers by script and
// records what was shown, a port over the simulated meter that can refuse to
// open or fall silent, and a helper that presses "完成" when a run has ended.
#pragma once

#include "app/com_port_control.h"
#include "app/device_tree.h"
#include "app/main_window.h"
#include "app/port_control.h"
#include "app/prompter.h"
#include "catalogue/device_registry.h"
#include "protocol/event_loop_waiter.h"
#include "protocol/waiter.h"
#include "sim/sim_link.h"
#include "support/sim_process.h"

#include <QAction>
#include <QList>
#include <QLocale>
#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <functional>
#include <memory>

struct ShownPrompt {
    QString kind; // "inform", "warn", "ask", "save"
    QString text;
    QString caption;
};

class ScriptedPrompter : public Prompter {
public:
    void inform(QWidget* parent, const QString& text, const QString& caption) override;
    void warn(QWidget* parent, const QString& text, const QString& caption) override;
    // Takes the next scripted answer; a question nobody scripted answers No
    // and is counted in Unanswered.
    bool ask(QWidget* parent, const QString& text, const QString& caption) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                         const QString& filter) override;

    QList<bool> answers;
    QStringList saveNames;
    QList<ShownPrompt> shown;
    int unanswered = 0;
    QString lastSaveDirectory;
    QString lastSaveFilter;
};

// The main window's port over a SimLink: Connected only while opened.
class SimPort : public PortControl, public ByteLink {
public:
    explicit SimPort(SimLink& link) : m_sim(link) {}

    ByteLink& link() override { return *this; }
    void openPort() override;
    void closePort() override;
    bool connected() const override { return m_open && m_sim.connected(); }
    PortSettings portSettings() const override { return m_settings; }
    void setPortSettings(const PortSettings& settings) override { m_settings = settings; }

    void purgeBuffers() override;
    void sendBytes(ByteView bytes) override;
    int waitingByteCount() override;
    Bytes receiveBytes(int count) override;

    bool failOpen = false;
    int openCount = 0;
    // Requests from this number on (0-based) never reach the meter: it stays
    // silent as a meter that stopped answering would.
    int silentFromRequest = -1;
    int sentCount = 0;

private:
    SimLink& m_sim;
    PortSettings m_settings;
    bool m_open = false;
};

// A port session over a link of a test's own, for a window on its own: the
// link is as open as it says, and opening or closing it does nothing.
class LinkPortControl : public PortControl {
public:
    explicit LinkPortControl(ByteLink& link) : m_link(link) {}
    ByteLink& link() override { return m_link; }
    void openPort() override {}
    void closePort() override {}
    bool connected() const override { return m_link.connected(); }
    PortSettings portSettings() const override { return m_settings; }
    void setPortSettings(const PortSettings& settings) override { m_settings = settings; }

private:
    ByteLink& m_link;
    PortSettings m_settings;
};

// Everything a main-window test needs, on a virtual clock.
struct WindowRig {
    explicit WindowRig(SimConfig config);
    ~WindowRig();
    // Builds the window over the rig's folder (again, after DestroyWindow).
    MainWindow& createWindow();
    void destroyWindow();
    // Shows the window and raises its activation, which opens the port.
    void showAndActivate();

    // The window's device types; a test may put its own in before createWindow().
    DeviceRegistry registry = builtInRegistry();
    VirtualClock clock;
    SimLink link;
    SimPort port;
    ScriptedPrompter prompts;
    QTemporaryDir folder;
    // The machine's serial ports as the window sees them; empty: not asked.
    std::function<QList<SerialPortDetails>()> machinePorts;
    bool choosePortFirst = false;
    std::unique_ptr<MainWindow> mainWindow;
};

// The program's own parts over a pseudo-terminal: the port control, the
// event-loop waiter and real timers, and a program folder holding the shipped
// protocol workbook and a settings file that names `portName` (any link name).
struct PtyWindowRig {
    // `echo`: "去除回显" ticked in the settings.
    explicit PtyWindowRig(const QString& portName, bool echo = false);
    // Shows the window and raises its activation, which opens the port.
    void showAndActivate();

    QTemporaryDir folder;
    const DeviceRegistry registry = builtInRegistry();
    ComPortControl port;
    EventLoopWaiter waiter;
    ScriptedPrompter prompts;
    std::unique_ptr<MainWindow> mainWindow;
};

// Presses "完成" as soon as a run of `frm` has finished, and remembers what
// the window showed when it first appeared and when the run ended.
class RunFinisher : public QObject {
    Q_OBJECT
public:
    // Lives on the stack of a test, not as a child of the window.
    explicit RunFinisher(MainWindow& frm);

    // Called after every tick; return true to press "取消" there.
    std::function<bool(int tick)> cancelAt;

    int ticks = 0;
    int runs = 0;
    int startGauge = -1;
    int startGaugeMax = -1;
    QString startCaption;
    bool startImageVisible = false;
    QString endStatus;
    int endGauge = -1;
    int endGaugeMax = -1;
    bool endImageVisible = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void afterTick();
    MainWindow& m_window;
};

// Runs `act` on the next modal dialog once it is shown. A dialog that does not
// come within `deadlineMs` fails the running test.
void onNextModal(std::function<void(QWidget* dialog)> act, int deadlineMs = 10000);

// The child of `parent` with this objectName; ends the test run, naming it, when there is none.
template <typename T> T* child(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

QTreeWidgetItem* findNode(MainWindow& frm, int code);
QStringList shownLogLines(MainWindow& frm);
QStringList sentLines(MainWindow& frm);

// While it lives, the process runs under de_DE.UTF-8 as a German desktop's would
// (the application object adopts the environment's locale, whose decimal separator
// is a comma); the previous locale comes back when it goes. active() is false when
// the locale is not generated on this machine (scripts/test generates it).
class CommaDecimalLocale {
public:
    CommaDecimalLocale();
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
    bool active() const { return m_active; }

private:
    std::string m_previous;
    QLocale m_previousQt;
    bool m_active = false;
};
