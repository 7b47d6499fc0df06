#include "app_test_support.h"

#include "app/wait_echo_frm.h"

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

void ScriptedPrompter::Inform(QWidget*, const QString& text, const QString& caption)
{
    Shown.append({QStringLiteral("inform"), text, caption});
}

void ScriptedPrompter::Warn(QWidget*, const QString& text, const QString& caption)
{
    Shown.append({QStringLiteral("warn"), text, caption});
}

bool ScriptedPrompter::Ask(QWidget*, const QString& text, const QString& caption)
{
    Shown.append({QStringLiteral("ask"), text, caption});
    if (Answers.isEmpty()) {
        ++Unanswered;
        return false;
    }
    return Answers.takeFirst();
}

QString ScriptedPrompter::SaveFileName(QWidget*, const QString& caption, const QString& directory,
                                       const QString& filter)
{
    Shown.append({QStringLiteral("save"), directory, caption});
    LastSaveDirectory = directory;
    LastSaveFilter = filter;
    return SaveNames.isEmpty() ? QString() : SaveNames.takeFirst();
}

void SimPort::OpenPort()
{
    if (FOpen)
        return;
    if (FailOpen)
        throw EComPort(1, "Unable to open com port", 2);
    FOpen = true;
    ++OpenCount;
}

void SimPort::ClosePort()
{
    FOpen = false;
}

void SimPort::PurgeBuffers()
{
    if (FOpen)
        FSim.PurgeBuffers();
}

void SimPort::SendBytes(ByteView bytes)
{
    const int index = SentCount++;
    if (SilentFromRequest >= 0 && index >= SilentFromRequest)
        return;
    FSim.SendBytes(bytes);
}

int SimPort::WaitingByteCount()
{
    return FOpen ? FSim.WaitingByteCount() : 0;
}

Bytes SimPort::ReceiveBytes(int count)
{
    return FOpen ? FSim.ReceiveBytes(count) : Bytes();
}

WindowRig::WindowRig(SimConfig config) : Link(SimMeter(std::move(config)), Clock), Port(Link) {}

WindowRig::~WindowRig()
{
    DestroyWindow();
}

TMainFrm& WindowRig::CreateWindow()
{
    Frm = std::make_unique<TMainFrm>(MainFrmContext{Port, Clock, Prompts, Folder.path(),
                                                    Folder.filePath(QStringLiteral("user")), Folder.path(),
                                                    MachinePorts});
    return *Frm;
}

void WindowRig::DestroyWindow()
{
    Frm.reset();
}

void WindowRig::ShowAndActivate()
{
    Frm->show();
    QApplication::setActiveWindow(Frm.get());
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
    Frm = std::make_unique<TMainFrm>(MainFrmContext{Port, Waiter, Prompts, Folder.path(),
                                                    Folder.filePath(QStringLiteral("user")), Folder.path()});
}

void PtyWindowRig::ShowAndActivate()
{
    Frm->show();
    Frm->FormActivate();
}

RunFinisher::RunFinisher(TMainFrm& frm) : FFrm(frm)
{
    TWaitEchoFrm& window = frm.WaitEcho();
    window.installEventFilter(this);
    connect(&window, &TWaitEchoFrm::TickDone, this, &RunFinisher::AfterTick);
}

bool RunFinisher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &FFrm.WaitEcho() && event->type() == QEvent::Show) {
        TWaitEchoFrm& window = FFrm.WaitEcho();
        ++Runs;
        StartGauge = window.Gauge1->value();
        StartGaugeMax = window.Gauge1->maximum();
        StartCaption = window.pnlCaption->text();
        StartImageVisible = window.Image1->isVisibleTo(&window);
    }
    return QObject::eventFilter(watched, event);
}

void RunFinisher::AfterTick()
{
    TWaitEchoFrm& window = FFrm.WaitEcho();
    ++Ticks;
    EndStatus = window.lblCnt->text();
    EndGauge = window.Gauge1->value();
    EndGaugeMax = window.Gauge1->maximum();
    EndImageVisible = window.Image1->isVisibleTo(&window);
    // Pressed at once: the next tick is already armed on a zero timer, and whether a
    // posted click or that timer comes first differs between Qt's event dispatchers.
    if (CancelAt && window.Btn_Cancel->isEnabled() && CancelAt(Ticks)) {
        window.Btn_Cancel->click();
        return;
    }
    if (window.Btn_OK->isEnabled())
        QTimer::singleShot(0, window.Btn_OK, &QPushButton::click);
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

QTreeWidgetItem* FindNode(TMainFrm& frm, int code)
{
    for (QTreeWidgetItemIterator it(frm.TreeView1); *it; ++it) {
        if (TMainFrm::NodeCodeOf(*it) == code)
            return *it;
    }
    return nullptr;
}

QStringList LogLines(TMainFrm& frm)
{
    QStringList lines;
    for (const std::string& line : frm.Log().Lines())
        lines << QString::fromStdString(line);
    return lines;
}

QStringList SentLines(TMainFrm& frm)
{
    return LogLines(frm).filter(QRegularExpression(QStringLiteral("^【发送】")));
}

CommaDecimalLocale::CommaDecimalLocale() : FPrevious(std::setlocale(LC_ALL, nullptr))
{
#ifdef _WIN32
    const char* name = "German_Germany.1252";
#else
    const char* name = "de_DE.UTF-8";
#endif
    FActive = std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',';
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

CommaDecimalLocale::~CommaDecimalLocale()
{
    std::setlocale(LC_ALL, FPrevious.c_str());
    QLocale::setDefault(FPreviousQt);
}
