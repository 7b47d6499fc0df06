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
    Shown.append({QStringLiteral("inform"), text, caption});
}

void ScriptedPrompter::warn(QWidget*, const QString& text, const QString& caption)
{
    Shown.append({QStringLiteral("warn"), text, caption});
}

bool ScriptedPrompter::ask(QWidget*, const QString& text, const QString& caption)
{
    Shown.append({QStringLiteral("ask"), text, caption});
    if (Answers.isEmpty()) {
        ++Unanswered;
        return false;
    }
    return Answers.takeFirst();
}

QString ScriptedPrompter::saveFileName(QWidget*, const QString& caption, const QString& directory,
                                       const QString& filter)
{
    Shown.append({QStringLiteral("save"), directory, caption});
    LastSaveDirectory = directory;
    LastSaveFilter = filter;
    return SaveNames.isEmpty() ? QString() : SaveNames.takeFirst();
}

void SimPort::OpenPort()
{
    if (m_open)
        return;
    if (FailOpen)
        throw ComPortError(1, "Unable to open com port", 2);
    m_open = true;
    ++OpenCount;
}

void SimPort::ClosePort()
{
    m_open = false;
}

void SimPort::PurgeBuffers()
{
    if (m_open)
        m_sim.PurgeBuffers();
}

void SimPort::SendBytes(ByteView bytes)
{
    const int index = SentCount++;
    if (SilentFromRequest >= 0 && index >= SilentFromRequest)
        return;
    m_sim.SendBytes(bytes);
}

int SimPort::WaitingByteCount()
{
    return m_open ? m_sim.WaitingByteCount() : 0;
}

Bytes SimPort::ReceiveBytes(int count)
{
    return m_open ? m_sim.ReceiveBytes(count) : Bytes();
}

WindowRig::WindowRig(SimConfig config) : Link(SimMeter(std::move(config)), Clock), Port(Link) {}

WindowRig::~WindowRig()
{
    DestroyWindow();
}

MainWindow& WindowRig::CreateWindow()
{
    mainWindow = std::make_unique<MainWindow>(MainWindowContext{Port, Clock, Prompts, Folder.path(),
                                                                Folder.filePath(QStringLiteral("user")),
                                                                Folder.path(), machinePorts});
    return *mainWindow;
}

void WindowRig::DestroyWindow()
{
    mainWindow.reset();
}

void WindowRig::ShowAndActivate()
{
    mainWindow->show();
    QApplication::setActiveWindow(mainWindow.get());
    QCoreApplication::processEvents();
}

PtyWindowRig::PtyWindowRig(const QString& portName)
{
    QDir(Folder.path()).mkdir(QStringLiteral("Excel"));
    QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                Folder.filePath(QStringLiteral("Excel/VarnelModbus.xls")));
    {
        SettingsFile settings(Folder.path(), Folder.filePath(QStringLiteral("user")));
        PortSettings line;
        line.ComPort = portName;
        settings.WritePortAndAddress(line, 23);
    }
    mainWindow = std::make_unique<MainWindow>(MainWindowContext{
        Port, Waiter, Prompts, Folder.path(), Folder.filePath(QStringLiteral("user")), Folder.path()});
}

void PtyWindowRig::ShowAndActivate()
{
    mainWindow->show();
    mainWindow->onActivated();
}

RunFinisher::RunFinisher(MainWindow& frm) : m_window(frm)
{
    TransactionDialog& window = frm.transactionDialog();
    window.installEventFilter(this);
    connect(&window, &TransactionDialog::tickDone, this, &RunFinisher::AfterTick);
}

bool RunFinisher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window.transactionDialog() && event->type() == QEvent::Show) {
        TransactionDialog& window = m_window.transactionDialog();
        ++Runs;
        StartGauge = window.m_progressBar->value();
        StartGaugeMax = window.m_progressBar->maximum();
        StartCaption = window.m_captionLabel->text();
        StartImageVisible = window.m_activityImage->isVisibleTo(&window);
    }
    return QObject::eventFilter(watched, event);
}

void RunFinisher::AfterTick()
{
    TransactionDialog& window = m_window.transactionDialog();
    ++Ticks;
    EndStatus = window.m_countLabel->text();
    EndGauge = window.m_progressBar->value();
    EndGaugeMax = window.m_progressBar->maximum();
    EndImageVisible = window.m_activityImage->isVisibleTo(&window);
    // Pressed at once: the next tick is already armed on a zero timer, and whether a
    // posted click or that timer comes first differs between Qt's event dispatchers.
    if (CancelAt && window.m_cancelButton->isEnabled() && CancelAt(Ticks)) {
        window.m_cancelButton->click();
        return;
    }
    if (window.m_okButton->isEnabled())
        QTimer::singleShot(0, window.m_okButton, &QPushButton::click);
}

void OnNextModal(std::function<void(QWidget* dialog)> act, int deadlineMs)
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

QTreeWidgetItem* FindNode(MainWindow& frm, int code)
{
    for (QTreeWidgetItemIterator it(frm.m_deviceTree); *it; ++it) {
        if (MainWindow::nodeCodeOf(*it) == code)
            return *it;
    }
    return nullptr;
}

QStringList LogLines(MainWindow& frm)
{
    QStringList lines;
    for (const std::string& line : frm.Log().Lines())
        lines << QString::fromStdString(line);
    return lines;
}

QStringList SentLines(MainWindow& frm)
{
    return LogLines(frm).filter(QRegularExpression(QStringLiteral("^【发送】")));
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
