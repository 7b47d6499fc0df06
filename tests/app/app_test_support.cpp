#include "app_test_support.h"

#include "app/transaction_dialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <clocale>

void ScriptedPrompter::inform(QWidget*, const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("inform"), text, caption});
}

void ScriptedPrompter::warn(QWidget*, const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("warn"), text, caption});
}

bool ScriptedPrompter::ask(QWidget*, const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("ask"), text, caption});
    if (answers.isEmpty()) {
        ++unanswered;
        return false;
    }
    return answers.takeFirst();
}

QString ScriptedPrompter::saveFileName(QWidget*, const QString& caption, const QString& directory,
                                       const QString& filter)
{
    shown.append({QStringLiteral("save"), directory, caption});
    lastSaveDirectory = directory;
    lastSaveFilter = filter;
    return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
}

void SimPort::openPort()
{
    if (m_open)
        return;
    if (failOpen)
        throw ComPortError(1, "Unable to open com port", 2);
    m_open = true;
    ++openCount;
}

void SimPort::closePort()
{
    m_open = false;
}

void SimPort::purgeBuffers()
{
    if (m_open)
        m_sim.purgeBuffers();
}

void SimPort::sendBytes(ByteView bytes)
{
    const int index = sentCount++;
    if (silentFromRequest >= 0 && index >= silentFromRequest)
        return;
    m_sim.sendBytes(bytes);
}

int SimPort::waitingByteCount()
{
    return m_open ? m_sim.waitingByteCount() : 0;
}

Bytes SimPort::receiveBytes(int count)
{
    return m_open ? m_sim.receiveBytes(count) : Bytes();
}

WindowRig::WindowRig(SimConfig config) : link(SimMeter(std::move(config)), clock), port(link) {}

WindowRig::~WindowRig()
{
    destroyWindow();
}

MainWindow& WindowRig::createWindow()
{
    mainWindow = std::make_unique<MainWindow>(MainWindowContext{
        registry, port, clock, prompts, folder.path(), folder.filePath(QStringLiteral("user")), folder.path(),
        machinePorts, choosePortFirst});
    return *mainWindow;
}

void WindowRig::destroyWindow()
{
    mainWindow.reset();
}

void WindowRig::showAndActivate()
{
    mainWindow->show();
    QApplication::setActiveWindow(mainWindow.get());
    QCoreApplication::processEvents();
}

PtyWindowRig::PtyWindowRig(const QString& portName, bool echo)
{
    QDir(folder.path()).mkdir(QStringLiteral("Excel"));
    QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                folder.filePath(QStringLiteral("Excel/VarnelModbus.xls")));
    {
        SettingsFile settings(folder.path(), folder.filePath(QStringLiteral("user")));
        PortSettings line;
        line.comPort = portName;
        line.echo = echo;
        settings.writePortAndAddress(line, 23);
    }
    mainWindow = std::make_unique<MainWindow>(
        MainWindowContext{registry, port, waiter, prompts, folder.path(),
                          folder.filePath(QStringLiteral("user")), folder.path()});
}

void PtyWindowRig::showAndActivate()
{
    mainWindow->show();
    mainWindow->onActivated();
}

RunFinisher::RunFinisher(MainWindow& frm) : m_window(frm)
{
    TransactionDialog& window = frm.transactionDialog();
    window.installEventFilter(this);
    connect(&window, &TransactionDialog::tickDone, this, &RunFinisher::afterTick);
}

bool RunFinisher::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the window goes, its children's removal comes
    // through here and the dialog is no longer one to ask for.
    if (event->type() == QEvent::Show && watched == &m_window.transactionDialog()) {
        TransactionDialog& window = m_window.transactionDialog();
        ++runs;
        startGauge = window.m_progressBar->value();
        startGaugeMax = window.m_progressBar->maximum();
        startCaption = window.m_captionLabel->text();
        startImageVisible = window.m_activityImage->isVisibleTo(&window);
    }
    return QObject::eventFilter(watched, event);
}

void RunFinisher::afterTick()
{
    TransactionDialog& window = m_window.transactionDialog();
    ++ticks;
    endStatus = window.m_countLabel->text();
    endGauge = window.m_progressBar->value();
    endGaugeMax = window.m_progressBar->maximum();
    endImageVisible = window.m_activityImage->isVisibleTo(&window);
    // Pressed at once: the next tick is already armed on a zero timer, and whether a
    // posted click or that timer comes first differs between Qt's event dispatchers.
    if (cancelAt && window.m_cancelButton->isEnabled() && cancelAt(ticks)) {
        window.m_cancelButton->click();
        return;
    }
    if (window.m_okButton->isEnabled())
        QTimer::singleShot(0, window.m_okButton, &QPushButton::click);
}

void onNextModal(std::function<void(QWidget* dialog)> act, int deadlineMs)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    const QDeadlineTimer deadline(deadlineMs);
    QObject::connect(poll, &QTimer::timeout, [poll, act, deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            if (deadline.hasExpired()) {
                poll->stop();
                poll->deleteLater();
                QTest::qFail("no modal dialog came", __FILE__, __LINE__);
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        act(modal);
        // A check that failed inside `act` returned before the dialog was answered:
        // close it, or the test would wait on it for ever instead of failing.
        if (QTest::currentTestFailed() && modal->isVisible()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
    });
    poll->start();
}

QTreeWidgetItem* findNode(MainWindow& frm, int code)
{
    for (QTreeWidgetItemIterator it(child<QTreeWidget>(frm, "TreeView1")); *it; ++it) {
        if (DeviceTree::nodeCodeOf(*it) == code)
            return *it;
    }
    return nullptr;
}

QStringList shownLogLines(MainWindow& frm)
{
    QStringList lines;
    for (const std::string& line : frm.log().lines())
        lines << QString::fromStdString(line);
    return lines;
}

QStringList sentLines(MainWindow& frm)
{
    return shownLogLines(frm).filter(QRegularExpression(QStringLiteral("^【发送】")));
}

CommaDecimalLocale::CommaDecimalLocale() : m_previous(std::setlocale(LC_ALL, nullptr))
{
#ifdef _WIN32
    const char* name = "German_Germany.1252";
#else
    const char* name = "de_DE.UTF-8";
#endif
    m_active = std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',';
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

CommaDecimalLocale::~CommaDecimalLocale()
{
    std::setlocale(LC_ALL, m_previous.c_str());
    QLocale::setDefault(m_previousQt);
}
