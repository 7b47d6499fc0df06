// Timings of the main window, offscreen: constructing and showing TMainFrm with
// the shipped protocol workbook beside it, 100,000 lines going into the log
// pane Memo1 through the log model and its mirror, and a read of 100 blocks
// from the simulated meter over a pseudo-terminal, paced and fast.
#include "app/com_port_control.h"
#include "app/main_frm.h"
#include "app/port_control.h"
#include "app/prompter.h"
#include "app/wait_echo_frm.h"
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

// Never opens: the window's attempt to open it on activation fails quietly.
class ClosedPort : public PortControl, public ByteLink {
public:
    ByteLink& Link() override { return *this; }
    void OpenPort() override { throw EComPort(2, "no port in the benchmark"); }
    void ClosePort() override {}
    bool Connected() const override { return false; }
    PortSettings LineSettings() const override { return FSettings; }
    void SetLineSettings(const PortSettings& settings) override { FSettings = settings; }
    void PurgeBuffers() override {}
    void SendBytes(ByteView) override {}
    int WaitingByteCount() override { return 0; }
    Bytes ReceiveBytes(int) override { return {}; }

private:
    PortSettings FSettings;
};

// Answers every question No and shows nothing.
class SilentPrompter : public Prompter {
public:
    void Inform(QWidget*, const QString&, const QString&) override {}
    void Warn(QWidget*, const QString&, const QString&) override {}
    bool Ask(QWidget*, const QString&, const QString&) override { return false; }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

// A program folder with the shipped workbook in its Excel/ subfolder.
class ProgramFolder {
public:
    ProgramFolder()
    {
        QDir(FDir.path()).mkpath(QStringLiteral("Excel"));
        QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                    FDir.filePath(QStringLiteral("Excel/VarnelModbus.xls")));
    }
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
};

struct WindowParts {
    ClosedPort port;
    EventLoopWaiter waiter;
    SilentPrompter prompter;
    ProgramFolder folder;
    MainFrmContext Context() { return {port, waiter, prompter, folder.Path(), folder.Path(), folder.Path()}; }
};

void BM_MainWindowConstructAndShow(benchmark::State& state)
{
    WindowParts parts;
    for (auto _ : state) {
        TMainFrm frm(parts.Context());
        frm.show();
        QApplication::processEvents();
        if (frm.ProtocolLayout().fieldTypes.empty()) {
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
    TMainFrm frm(parts.Context());
    frm.show();
    QApplication::processEvents();
    const int eventsEvery = static_cast<int>(state.range(0));
    const std::string sent = "【发送】" + std::string(14 * 3 - 1, 'A');
    const std::string received = "【接收】" + std::string(199 * 3 - 1, 'B');
    for (auto _ : state) {
        for (int i = 1; i <= 100000; ++i) {
            frm.Log().AppendLine(i % 2 ? sent : received);
            if (i % eventsEvery == 0)
                QApplication::processEvents();
        }
        frm.FlushLog();
        QApplication::processEvents();
        state.PauseTiming();
        state.counters["lines in Memo1"] = frm.Memo1->document()->blockCount();
        frm.Log().Clear();
        frm.FlushLog();
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
        FProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ql-rs485-sim"),
                       {"--type", "6", "--records", "500", "--line-rate", "--baud", "9600"});
        if (FProcess.waitForStarted(10000) && FProcess.waitForReadyRead(10000)) {
            const QString line = QString::fromUtf8(FProcess.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("PTY ")))
                FPty = line.mid(4);
        }
    }
    ~SimulatedMeter()
    {
        FProcess.kill();
        FProcess.waitForFinished();
    }
    const QString& Pty() const { return FPty; }

private:
    QProcess FProcess;
    QString FPty;
};

// Bytes of one block of kind 612 on the wire: the 14-byte request and the
// 199-byte reply (five records), 11 bits each at 9600 baud.
constexpr double kWireSecondsPerBlock = (14 + 199) * 11 / 9600.0;
constexpr int kBlocks = 100;

// The operator double-clicks kind 612 with the simulated meter on the port; the
// window reads blocks 1 to 100 (all 500 records) and "完成" is pressed as soon as
// the run ends. `fast` is the state of "快速读取", through the settings file.
void WindowRead(benchmark::State& state, bool fast)
{
    SimulatedMeter meter;
    if (meter.Pty().isEmpty()) {
        state.SkipWithError("ql-rs485-sim did not start");
        return;
    }
    ProgramFolder folder;
    QFile settings(QDir(folder.Path()).filePath(QStringLiteral("QL_EVC.ini")));
    settings.open(QIODevice::WriteOnly);
    settings.write(QStringLiteral("[Port]\r\nComPort=%1\r\nBaudRate=7\r\nDataBits=3\r\nStopBits=0\r\n"
                                  "Parity=1\r\n[Read]\r\nFast=%2\r\n")
                       .arg(meter.Pty())
                       .arg(fast ? 1 : 0)
                       .toUtf8());
    settings.close();
    ComPortControl port;
    EventLoopWaiter waiter;
    SilentPrompter prompter;
    TMainFrm frm({port, waiter, prompter, folder.Path(), folder.Path(), folder.Path()});
    frm.show();
    QApplication::setActiveWindow(&frm);
    QApplication::processEvents();
    TWaitEchoFrm& progress = frm.WaitEcho();
    QObject::connect(&progress, &TWaitEchoFrm::TickDone, &progress, [&progress] {
        if (progress.Btn_OK->isEnabled())
            QTimer::singleShot(0, progress.Btn_OK, &QPushButton::click);
    });
    QTreeWidgetItem* node = nullptr;
    for (QTreeWidgetItemIterator it(frm.TreeView1); *it && !node; ++it)
        if (TMainFrm::NodeCodeOf(*it) == 612)
            node = *it;
    for (auto _ : state) {
        frm.Records().ClearRows();
        frm.TreeView1->setCurrentItem(node);
        QElapsedTimer timer;
        timer.start();
        frm.TreeView1DblClick();
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["wire_ratio"] = seconds / (kBlocks * kWireSecondsPerBlock);
        state.counters["rows"] = frm.Records().RowCount();
        if (frm.Records().RowCount() != kBlocks * 5)
            state.SkipWithError("the read did not bring all 500 records");
    }
}

void BM_WindowReadPaced(benchmark::State& state)
{
    WindowRead(state, false);
}
BENCHMARK(BM_WindowReadPaced)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void BM_WindowReadFast(benchmark::State& state)
{
    WindowRead(state, true);
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
