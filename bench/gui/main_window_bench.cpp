// Timings of the main window, offscreen: constructing and showing MainWindow with
// the shipped protocol workbook beside it, 100,000 lines going into the log
// pane m_logView through the log model and its mirror, and a read of 100 blocks
// from the simulated meter over a pseudo-terminal, paced and fast.
#include "app/com_port_control.h"
#include "app/device_tree.h"
#include "app/main_window.h"
#include "app/port_control.h"
#include "app/prompter.h"
#include "app/transaction_dialog.h"
#include "catalogue/device_registry.h"
#include "protocol/event_loop_waiter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

// Never opens: the window's attempt to open it on activation fails quietly.
class ClosedPort : public PortControl, public ByteLink {
public:
    ByteLink& link() override { return *this; }
    void openPort() override { throw ComPortError(2, "no port in the benchmark"); }
    void closePort() override {}
    bool connected() const override { return false; }
    PortSettings portSettings() const override { return m_settings; }
    void setPortSettings(const PortSettings& settings) override { m_settings = settings; }
    void purgeBuffers() override {}
    void sendBytes(ByteView) override {}
    int waitingByteCount() override { return 0; }
    Bytes receiveBytes(int) override { return {}; }

private:
    PortSettings m_settings;
};

// Answers every question No and shows nothing.
class SilentPrompter : public Prompter {
public:
    void inform(QWidget*, const QString&, const QString&) override {}
    void warn(QWidget*, const QString&, const QString&) override {}
    bool ask(QWidget*, const QString&, const QString&) override { return false; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

// A program folder with the shipped workbook in its Excel/ subfolder.
class ProgramFolder {
public:
    ProgramFolder()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Excel"));
        QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                    m_dir.filePath(QStringLiteral("Excel/VarnelModbus.xls")));
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

struct WindowParts {
    ClosedPort port;
    EventLoopWaiter waiter;
    SilentPrompter prompter;
    ProgramFolder folder;
    MainWindowContext context()
    {
        return {builtIn(), port, waiter, prompter, folder.path(), folder.path(), folder.path()};
    }
};

void BM_MainWindowConstructAndShow(benchmark::State& state)
{
    WindowParts parts;
    for (auto _ : state) {
        MainWindow frm(parts.context());
        frm.show();
        QApplication::processEvents();
        if (frm.protocolWorkbookFailed()) {
            state.SkipWithError("the protocol sheet was not loaded");
            return;
        }
        state.PauseTiming();
        frm.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainWindowConstructAndShow)->Unit(benchmark::kMillisecond)->Iterations(5);

// 100,000 log lines of a long read of kind 612: a request and its 199-byte reply
// in turn, as hex text; events are processed every `range(0)` lines (1000: the
// pane is repainted a hundred times on the way; 100000: all lines in one go).
// A real run processes events between every request and reply, but at most every
// 25 ms, so its repaints are bounded by time rather than by lines.
void BM_Memo1Append100000Lines(benchmark::State& state)
{
    WindowParts parts;
    MainWindow frm(parts.context());
    frm.show();
    QApplication::processEvents();
    const int eventsEvery = static_cast<int>(state.range(0));
    const std::string sent = "【发送】" + std::string(14 * 3 - 1, 'A');
    const std::string received = "【接收】" + std::string(199 * 3 - 1, 'B');
    for (auto _ : state) {
        for (int i = 1; i <= 100000; ++i) {
            frm.log().appendLine(i % 2 ? sent : received);
            if (i % eventsEvery == 0)
                QApplication::processEvents();
        }
        frm.flushLog();
        QApplication::processEvents();
        state.PauseTiming();
        state.counters["lines in Memo1"] =
            frm.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->document()->blockCount();
        frm.log().clear();
        frm.flushLog();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Memo1Append100000Lines)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

// The simulated meter as a process serving a pseudo-terminal at the line rate.
class SimulatedMeter {
public:
    SimulatedMeter()
    {
        m_process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ql-rs485-sim"),
                        {"--type", "6", "--records", "500", "--line-rate", "--baud", "9600"});
        if (m_process.waitForStarted(10000) && m_process.waitForReadyRead(10000)) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("PTY ")))
                m_pty = line.mid(4);
        }
    }
    ~SimulatedMeter()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    const QString& pty() const { return m_pty; }

private:
    QProcess m_process;
    QString m_pty;
};

// Bytes of one block of kind 612 on the wire: the 14-byte request and the
// 199-byte reply (five records), 11 bits each at 9600 baud.
constexpr double kWireSecondsPerBlock = (14 + 199) * 11 / 9600.0;
constexpr int kBlocks = 100;

// The operator double-clicks kind 612 with the simulated meter on the port; the
// window reads blocks 1 to 100 (all 500 records) and "完成" is pressed as soon as
// the run ends. `fast` is the state of "快速读取", through the settings file.
void windowRead(benchmark::State& state, bool fast)
{
    SimulatedMeter meter;
    if (meter.pty().isEmpty()) {
        state.SkipWithError("ql-rs485-sim did not start");
        return;
    }
    ProgramFolder folder;
    QFile settings(QDir(folder.path()).filePath(QStringLiteral("QL_EVC.ini")));
    settings.open(QIODevice::WriteOnly);
    settings.write(QStringLiteral("[Port]\r\nComPort=%1\r\nBaudRate=7\r\nDataBits=3\r\nStopBits=0\r\n"
                                  "Parity=1\r\n[Read]\r\nFast=%2\r\n")
                       .arg(meter.pty())
                       .arg(fast ? 1 : 0)
                       .toUtf8());
    settings.close();
    ComPortControl port;
    EventLoopWaiter waiter;
    SilentPrompter prompter;
    MainWindow frm({builtIn(), port, waiter, prompter, folder.path(), folder.path(), folder.path()});
    frm.show();
    QApplication::setActiveWindow(&frm);
    QApplication::processEvents();
    TransactionDialog& progress = frm.transactionDialog();
    QObject::connect(&progress, &TransactionDialog::tickDone, &progress, [&progress] {
        if (progress.m_okButton->isEnabled())
            QTimer::singleShot(0, progress.m_okButton, &QPushButton::click);
    });
    QTreeWidgetItem* node = nullptr;
    auto* tree = frm.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    for (QTreeWidgetItemIterator it(tree); *it && !node; ++it)
        if (DeviceTree::nodeCodeOf(*it) == 612)
            node = *it;
    for (auto _ : state) {
        frm.records().clearRows();
        tree->setCurrentItem(node);
        QElapsedTimer timer;
        timer.start();
        frm.onTreeNodeDoubleClicked();
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["wire_ratio"] = seconds / (kBlocks * kWireSecondsPerBlock);
        state.counters["rows"] = frm.records().rowCount();
        if (frm.records().rowCount() != kBlocks * 5)
            state.SkipWithError("the read did not bring all 500 records");
    }
}

void BM_WindowReadPaced(benchmark::State& state)
{
    windowRead(state, false);
}
BENCHMARK(BM_WindowReadPaced)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void BM_WindowReadFast(benchmark::State& state)
{
    windowRead(state, true);
}
BENCHMARK(BM_WindowReadFast)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
