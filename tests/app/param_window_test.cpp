// The parameter window offscreen against the in-process simulated meter on a
// virtual clock: detection order, modes and periodic reading, the log trim, the
// address and period it takes, the grid of device type 5 and its export.
#include "app_test_support.h"

#include "app/param_window.h"
#include "log/log_model.h"
#include "settings/settings_file.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// Passes frames to the simulated meter, records them, and can drop some (the
// meter then stays silent) or fail as a vanished port does.
class FilterLink : public ByteLink {
public:
    explicit FilterLink(SimLink& sim) : m_sim(sim) {}
    bool Connected() const override { return m_sim.Connected(); }
    void PurgeBuffers() override { m_sim.PurgeBuffers(); }
    void SendBytes(ByteView bytes) override
    {
        if (ThrowOnSend)
            throw ComPortError(14, "Unable to write to com port", 5);
        Sent.emplace_back(bytes.begin(), bytes.end());
        if (Drop && Drop(bytes))
            return;
        m_sim.SendBytes(bytes);
    }
    int WaitingByteCount() override { return m_sim.WaitingByteCount(); }
    Bytes ReceiveBytes(int count) override { return m_sim.ReceiveBytes(count); }

    std::vector<Bytes> Sent;
    std::function<bool(ByteView)> Drop;
    bool ThrowOnSend = false;

private:
    SimLink& m_sim;
};

SimConfig Meter(int deviceType, std::vector<std::string> faults = {})
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = 23;
    config.faults = std::move(faults);
    return config;
}

struct ParamRig {
    explicit ParamRig(SimConfig config)
        : Sim(SimMeter(std::move(config)), Clock), Link(Sim),
          Settings(Folder.path(), Folder.filePath(QStringLiteral("user")))
    {
        ParamWindowContext context{Link, Clock,         Prompts, Log, Settings, [this] { return Address; },
                                   {},   Folder.path(), Guard};
        mainWindow = std::make_unique<ParamWindow>(context);
    }
    QLabel* Label(const char* name) const
    {
        return mainWindow->findChild<QLabel*>(QString::fromLatin1(name));
    }

    VirtualClock Clock;
    SimLink Sim;
    FilterLink Link;
    QTemporaryDir Folder;
    SettingsFile Settings;
    ScriptedPrompter Prompts;
    LogModel Log;
    PortGuard Guard;
    int Address = 23;
    std::unique_ptr<ParamWindow> mainWindow;
};

Bytes Read(int address, int start, int count)
{
    return AppendCrc(Bytes{static_cast<uint8_t>(address), 0x03, static_cast<uint8_t>(start >> 8),
                           static_cast<uint8_t>(start & 0xFF), static_cast<uint8_t>(count >> 8),
                           static_cast<uint8_t>(count & 0xFF)});
}

const Bytes kCustomStatus = {0x55, 0x55, 0x17, 0x02, 0x00, 0x19};

} // namespace

class ParamWindowTest : public QObject {
    Q_OBJECT
private slots:
    void SimpleModeWithNothingAnsweringSendsSevenRequestsAndFails();
    void Type2WithBadSecondReplyIsTriedTwiceBeforeType1();
    void SimpleModeDetectsType6AndFillsItsPanel();
    void ModesMoveTheWindowAndPeriodicReadingRunsOnlyInAdvancedMode();
    void PeriodicReadTrimsTheLogTo2000Lines();
    void PeriodicReadPausesWhileThePortIsBusy();
    void AddressIsTakenOnlyAtShowing();
    void PeriodIsClampedOnLoadAndWrittenBackOnClose_data();
    void PeriodIsClampedOnLoadAndWrittenBackOnClose();
    void GridOfFiveParametersAndItsExport();
    void PortFailureReEnablesBtnRead();
};

void ParamWindowTest::SimpleModeWithNothingAnsweringSendsSevenRequestsAndFails()
{
    ParamRig rig(Meter(6, {"silence"}));
    rig.mainWindow->show();
    QVERIFY(rig.mainWindow->simpleMode());
    QTest::mouseClick(rig.mainWindow->m_readButton, Qt::LeftButton);
    const std::vector<Bytes> expected = {Read(23, 0, 0),   Read(23, 0, 16),  Read(23, 0, 16), Read(23, 0, 19),
                                         Read(23, 10, 25), Read(23, 10, 21), kCustomStatus};
    QCOMPARE(rig.Link.Sent.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        QVERIFY2(rig.Link.Sent[i] == expected[i], qPrintable(QString::number(i)));
    QCOMPARE(rig.Prompts.Shown.size(), 1);
    QCOMPARE(rig.Prompts.Shown[0].text, QStringLiteral("读取仪表参数失败，请检查！"));
    QCOMPARE(rig.Prompts.Shown[0].caption, QStringLiteral("信息提示"));
    QVERIFY(rig.mainWindow->m_readButton->isEnabled());
    // The last attempt's labels are in their reset state.
    QCOMPARE(rig.Label("lbl55_sum")->text(), QStringLiteral("0"));
    QCOMPARE(rig.Label("lbl55_cmd")->text(), QStringLiteral("响应"));
}

void ParamWindowTest::Type2WithBadSecondReplyIsTriedTwiceBeforeType1()
{
    ParamRig rig(Meter(2));
    rig.Link.Drop = [](ByteView frame) { return frame.size() > 3 && frame[2] == 0x01 && frame[3] == 0x06; };
    rig.mainWindow->show();
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.Link.Sent.size() >= 6);
    QVERIFY(rig.Link.Sent[1] == Read(23, 0, 16));
    QVERIFY(rig.Link.Sent[2] == Read(23, 0x0106, 27));
    QVERIFY(rig.Link.Sent[3] == Read(23, 0, 16));
    QVERIFY(rig.Link.Sent[4] == Read(23, 0x0106, 27));
    QVERIFY(rig.Link.Sent[5] == Read(23, 0, 19));
    QCOMPARE(rig.Prompts.Shown.last().text, QStringLiteral("读取仪表参数失败，请检查！"));
    // The live values of the first request stay on the panel.
    QVERIFY(rig.Label("lblCPU_vm")->text().startsWith(QStringLiteral("35.")));
}

void ParamWindowTest::SimpleModeDetectsType6AndFillsItsPanel()
{
    ParamRig rig(Meter(6));
    // Labels keep their decimal point under a comma-decimal locale.
    const CommaDecimalLocale comma;
    QVERIFY2(comma.Active(), "locale de_DE.UTF-8 missing (scripts/test generates it)");
    rig.mainWindow->show();
    QCOMPARE(rig.mainWindow->itemIndex(), 0);
    QTest::mouseClick(rig.mainWindow->m_readButton, Qt::LeftButton);
    QCOMPARE(rig.Prompts.Shown.last().text, QStringLiteral("读取仪表参数成功！"));
    QVERIFY(rig.mainWindow->findChild<QWidget*>(QStringLiteral("pnlCorvex"))->isVisible());
    QVERIFY(!rig.mainWindow->findChild<QWidget*>(QStringLiteral("pnlV18"))->isVisible());
    QCOMPARE(rig.mainWindow->itemIndex(), 2);
    // The selector index changed, so the selector's title and caption win.
    QCOMPARE(rig.mainWindow->windowTitle(), QStringLiteral("实时数据----Corvex智能体积修正仪"));
    QCOMPARE(rig.mainWindow->m_titleLabel->text(), QStringLiteral("Corvex智能体积修正仪"));
    QCOMPARE(rig.Label("lblCorvex_vm")->text(), QStringLiteral("35.25"));
    QCOMPARE(rig.Label("lblCorvex_time")->text(), QStringLiteral("2024-03-15 10:30:00"));
    QCOMPARE(rig.Label("lblCorvex_Pl")->text(), QStringLiteral("正常"));
    QCOMPARE(rig.Label("lblCorvex_Pl")->palette().color(QPalette::WindowText), QColor(0x00, 0x80, 0x00));
    QVERIFY(rig.mainWindow->m_readButton->isEnabled());

    // The next detection finds the same type with the index unchanged: the detected
    // type's own caption stays.
    rig.mainWindow->onReadClicked();
    QCOMPARE(rig.mainWindow->windowTitle(), QStringLiteral("用户只读参数----Corvex智能体积修正仪"));
}

void ParamWindowTest::ModesMoveTheWindowAndPeriodicReadingRunsOnlyInAdvancedMode()
{
    ParamRig rig(Meter(6, {"alarm"}));
    rig.mainWindow->show();
    QCOMPARE(rig.mainWindow->height(), 586);
    QCOMPARE(rig.mainWindow->y(), 91);
    QCOMPARE(rig.mainWindow->m_readButton->y(), 510);
    QVERIFY(!rig.mainWindow->m_typeSelector->isVisible());

    rig.mainWindow->onModeClicked();
    QCOMPARE(rig.mainWindow->m_modeButton->text(), QStringLiteral("简化"));
    QCOMPARE(rig.mainWindow->height(), 675);
    QCOMPARE(rig.mainWindow->y(), 46);
    QCOMPARE(rig.mainWindow->m_readButton->y(), 605);
    QVERIFY(rig.mainWindow->m_typeSelector->isVisible());
    QVERIFY(rig.mainWindow->m_autoReadPane->isVisible());
    rig.mainWindow->setItemIndex(2);

    rig.mainWindow->m_autoReadCheck->click();
    QVERIFY(rig.mainWindow->m_tickTimer->isActive());
    QCOMPARE(rig.mainWindow->m_tickTimer->interval(), 5000);
    QVERIFY(!rig.mainWindow->m_periodSpin->isEnabled());
    rig.mainWindow->onTick();
    QCOMPARE(rig.Link.Sent.size(), size_t{1});
    QVERIFY(rig.Link.Sent[0] == Read(23, 10, 25));
    QCOMPARE(rig.Label("lblCorvex_Pl")->text(), QStringLiteral("超限"));
    QCOMPARE(rig.Label("lblCorvex_Pl")->palette().color(QPalette::WindowText), QColor(0xFF, 0x00, 0x00));
    QVERIFY(rig.Prompts.Shown.isEmpty());

    rig.mainWindow->onModeClicked();
    QVERIFY(!rig.mainWindow->m_tickTimer->isActive());
    QCOMPARE(rig.mainWindow->height(), 586);
    QCOMPARE(rig.mainWindow->m_readButton->y(), 510);
    rig.mainWindow->onModeClicked();
    QVERIFY(rig.mainWindow->m_tickTimer->isActive());

    rig.mainWindow->close();
    QVERIFY(!rig.mainWindow->m_tickTimer->isActive());
    QVERIFY(!rig.mainWindow->m_autoReadCheck->isChecked());
    QVERIFY(rig.mainWindow->m_periodSpin->isEnabled());
}

void ParamWindowTest::PeriodicReadTrimsTheLogTo2000Lines()
{
    ParamRig rig(Meter(7));
    for (int i = 0; i < 2150; ++i)
        rig.Log.AppendLine("line " + std::to_string(i));
    rig.mainWindow->show();
    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(5);
    rig.mainWindow->onTick();
    QCOMPARE(rig.Log.LineCount(), 2000);
    // Three lines came in (banner, sent, received): the 153 oldest went.
    QCOMPARE(QString::fromStdString(rig.Log.Lines().front()), QStringLiteral("line 153"));
    QCOMPARE(QString::fromStdString(rig.Log.Lines().back()).left(4), QStringLiteral("【接收】"));
    QCOMPARE(rig.Label("lblICMoney_ValveSt")->text(), QStringLiteral("开阀"));
}

void ParamWindowTest::PeriodicReadPausesWhileThePortIsBusy()
{
    ParamRig rig(Meter(6));
    rig.mainWindow->show();
    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(2);
    PortGuard::Lease lease = rig.Guard.TryTake();
    rig.mainWindow->onTick();
    QVERIFY(rig.Link.Sent.empty());
    lease.Release();
    rig.mainWindow->onTick();
    QCOMPARE(rig.Link.Sent.size(), size_t{1});
}

void ParamWindowTest::AddressIsTakenOnlyAtShowing()
{
    SimConfig config = Meter(6);
    config.address = 7;
    ParamRig rig(config);
    rig.Address = 7;
    rig.mainWindow->show();
    rig.Address = 9;
    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(2);
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.Link.Sent.back() == Read(7, 10, 25));
    QCOMPARE(rig.Prompts.Shown.last().text, QStringLiteral("读取仪表参数成功！"));
    rig.mainWindow->hide();
    rig.mainWindow->show();
    rig.mainWindow->onModeClicked();
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.Link.Sent.back() == Read(9, 10, 25));
    QCOMPARE(rig.Prompts.Shown.last().text, QStringLiteral("读取仪表参数失败，请检查！"));
}

void ParamWindowTest::PeriodIsClampedOnLoadAndWrittenBackOnClose_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("BelowRange") << 3 << 5;
    QTest::newRow("AboveRange") << 20000 << 10000;
    QTest::newRow("InRange") << 60 << 60;
}

void ParamWindowTest::PeriodIsClampedOnLoadAndWrittenBackOnClose()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    ParamRig rig(Meter(6));
    QVERIFY(rig.Settings.WriteTimerSec(stored) != SettingsFile::WriteResult::Failed);
    rig.mainWindow->show();
    QCOMPARE(rig.mainWindow->m_periodSpin->value(), shown);
    rig.mainWindow->onCloseClicked();
    QVERIFY(!rig.mainWindow->isVisible());
    QCOMPARE(rig.Settings.ReadTimerSec(), shown);
}

void ParamWindowTest::GridOfFiveParametersAndItsExport()
{
    ParamRig rig(Meter(5));
    ParamLayoutArray layout{};
    layout[0] = 38;
    layout[1] = 0x0FA1;
    layout[6] = 2; // the flow, FLT with two decimals
    rig.mainWindow->SetParamLayout(
        {"表号", "S16", "仪表时间", "DT2", "标况累积量", "DBL", "工况累积量", "DBL", "流量", "FLT"}, layout);
    rig.mainWindow->show();
    QTableWidget* grid = rig.mainWindow->m_valueGrid;
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->verticalHeader()->defaultSectionSize(), 126);
    QCOMPARE(grid->item(2, 0)->text(), QStringLiteral("流量"));
    // Nothing read yet: empty values rather than zeros an operator could believe.
    QCOMPARE(grid->item(2, 1)->text(), QString());
    QCOMPARE(grid->item(2, 2)->text(), QString());

    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(4);
    QVERIFY(rig.mainWindow->m_exportButton->isVisible());
    QVERIFY(rig.mainWindow->findChild<QWidget*>(QStringLiteral("pnlQuosta"))->isVisible());
    rig.mainWindow->onReadClicked();
    QCOMPARE(rig.Prompts.Shown.last().text, QStringLiteral("读取仪表参数成功！"));
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("QL2024000123"));
    QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("2024-03-15 10:30:00"));
    QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("33.50"));

    const QString target = rig.Folder.filePath(QStringLiteral("p1"));
    rig.Prompts.SaveNames << target;
    rig.mainWindow->onExportClicked();
    QVERIFY(QFile::exists(target + QStringLiteral(".xlsx")));

    // Showing again keeps what was read; the selector keeps its index.
    rig.mainWindow->hide();
    rig.mainWindow->show();
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("QL2024000123"));
    QCOMPARE(rig.mainWindow->itemIndex(), 4);
    QVERIFY(rig.mainWindow->findChild<QWidget*>(QStringLiteral("pnlQuosta"))->isVisible());
}

void ParamWindowTest::PortFailureReEnablesBtnRead()
{
    ParamRig rig(Meter(6));
    rig.mainWindow->show();
    rig.Link.ThrowOnSend = true;
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.mainWindow->m_readButton->isEnabled());
    QCOMPARE(rig.Prompts.Shown.last().kind, QStringLiteral("warn"));
    QCOMPARE(rig.Prompts.Shown.last().text, QStringLiteral("Unable to write to com port"));
}

QTEST_MAIN(ParamWindowTest)
#include "param_window_test.moc"
