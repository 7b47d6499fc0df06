// Timings of the main window, offscreen: constructing and showing TMainFrm with
// the shipped protocol workbook beside it, and 100,000 lines going into the log
// pane Memo1 through the log model and its mirror.
#include "app/main_frm.h"
#include "app/port_control.h"
#include "app/prompter.h"
#include "protocol/event_loop_waiter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

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
