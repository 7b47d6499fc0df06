// The parameter window offscreen against the in-process simulated meter on a
// virtual clock: detection order, modes and periodic reading, the log trim, the
// address and period it takes, the grid of device type 5 and its export.
#include "app_test_support.h"
#include "support/built_in_registry.h"

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
    bool connected() const override { return m_sim.connected(); }
    void purgeBuffers() override { m_sim.purgeBuffers(); }
    void sendBytes(ByteView bytes) override
    {
        if (throwOnSend)
            throw ComPortError(14, "Unable to write to com port", 5);
        sent.emplace_back(bytes.begin(), bytes.end());
        if (drop && drop(bytes))
            return;
        m_sim.sendBytes(bytes);
    }
    int waitingByteCount() override { return m_sim.waitingByteCount(); }
    Bytes receiveBytes(int count) override { return m_sim.receiveBytes(count); }

    std::vector<Bytes> sent;
    std::function<bool(ByteView)> drop;
    bool throwOnSend = false;

private:
    SimLink& m_sim;
};

SimConfig meter(int deviceType, std::vector<std::string> faults = {})
{
    SimConfig config;
    config.deviceType = deviceType;
    config.address = 23;
    config.faults = std::move(faults);
    return config;
}

struct ParamRig {
    explicit ParamRig(SimConfig config)
        : sim(SimMeter(std::move(config)), clock), link(sim),
          settings(folder.path(), folder.filePath(QStringLiteral("user")))
    {
        ParamWindowContext context{
            builtIn(), session, clock, prompts, log, settings, [this] { return address; }, {}, folder.path()};
        mainWindow = std::make_unique<ParamWindow>(context);
    }
    QLabel* label(const char* name) const
    {
        return mainWindow->findChild<QLabel*>(QString::fromLatin1(name));
    }

    VirtualClock clock;
    SimLink sim;
    FilterLink link;
    QTemporaryDir folder;
    SettingsFile settings;
    ScriptedPrompter prompts;
    LogModel log;
    LinkPortControl port{link};
    PortSession session{port, log, clock};
    int address = 23;
    std::unique_ptr<ParamWindow> mainWindow;
};

Bytes readRequest(int address, int start, int count)
{
    return appendCrc(Bytes{static_cast<uint8_t>(address), 0x03, static_cast<uint8_t>(start >> 8),
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
    ParamRig rig(meter(6, {"silence"}));
    rig.mainWindow->show();
    QVERIFY(rig.mainWindow->simpleMode());
    QTest::mouseClick(rig.mainWindow->m_readButton, Qt::LeftButton);
    const std::vector<Bytes> expected = {
        readRequest(23, 0, 0),   readRequest(23, 0, 16),  readRequest(23, 0, 16), readRequest(23, 0, 19),
        readRequest(23, 10, 25), readRequest(23, 10, 21), kCustomStatus};
    QCOMPARE(rig.link.sent.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        QVERIFY2(rig.link.sent[i] == expected[i], qPrintable(QString::number(i)));
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("读取仪表参数失败，请检查！"));
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("信息提示"));
    QVERIFY(rig.mainWindow->m_readButton->isEnabled());
    // The last attempt's labels are in their reset state.
    QCOMPARE(rig.label("lbl55_sum")->text(), QStringLiteral("0"));
    QCOMPARE(rig.label("lbl55_cmd")->text(), QStringLiteral("响应"));
}

void ParamWindowTest::Type2WithBadSecondReplyIsTriedTwiceBeforeType1()
{
    ParamRig rig(meter(2));
    rig.link.drop = [](ByteView frame) { return frame.size() > 3 && frame[2] == 0x01 && frame[3] == 0x06; };
    rig.mainWindow->show();
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.link.sent.size() >= 6);
    QVERIFY(rig.link.sent[1] == readRequest(23, 0, 16));
    QVERIFY(rig.link.sent[2] == readRequest(23, 0x0106, 27));
    QVERIFY(rig.link.sent[3] == readRequest(23, 0, 16));
    QVERIFY(rig.link.sent[4] == readRequest(23, 0x0106, 27));
    QVERIFY(rig.link.sent[5] == readRequest(23, 0, 19));
    QCOMPARE(rig.prompts.shown.last().text, QStringLiteral("读取仪表参数失败，请检查！"));
    // The live values of the first request stay on the panel.
    QVERIFY(rig.label("lblCPU_vm")->text().startsWith(QStringLiteral("35.")));
}

void ParamWindowTest::SimpleModeDetectsType6AndFillsItsPanel()
{
    ParamRig rig(meter(6));
    // Labels keep their decimal point under a comma-decimal locale.
    const CommaDecimalLocale comma;
    QVERIFY2(comma.active(), "locale de_DE.UTF-8 missing (scripts/test generates it)");
    rig.mainWindow->show();
    QCOMPARE(rig.mainWindow->itemIndex(), 0);
    QTest::mouseClick(rig.mainWindow->m_readButton, Qt::LeftButton);
    QCOMPARE(rig.prompts.shown.last().text, QStringLiteral("读取仪表参数成功！"));
    QVERIFY(rig.mainWindow->findChild<QWidget*>(QStringLiteral("pnlCorvex"))->isVisible());
    QVERIFY(!rig.mainWindow->findChild<QWidget*>(QStringLiteral("pnlV18"))->isVisible());
    QCOMPARE(rig.mainWindow->itemIndex(), 2);
    // The selector index changed, so the selector's title and caption win.
    QCOMPARE(rig.mainWindow->windowTitle(), QStringLiteral("实时数据----Corvex智能体积修正仪"));
    QCOMPARE(rig.mainWindow->m_titleLabel->text(), QStringLiteral("Corvex智能体积修正仪"));
    QCOMPARE(rig.label("lblCorvex_vm")->text(), QStringLiteral("35.25"));
    QCOMPARE(rig.label("lblCorvex_time")->text(), QStringLiteral("2024-03-15 10:30:00"));
    QCOMPARE(rig.label("lblCorvex_Pl")->text(), QStringLiteral("正常"));
    QCOMPARE(rig.label("lblCorvex_Pl")->palette().color(QPalette::WindowText), QColor(0x00, 0x80, 0x00));
    QVERIFY(rig.mainWindow->m_readButton->isEnabled());

    // The next detection finds the same type with the index unchanged: the detected
    // type's own caption stays.
    rig.mainWindow->onReadClicked();
    QCOMPARE(rig.mainWindow->windowTitle(), QStringLiteral("用户只读参数----Corvex智能体积修正仪"));
}

void ParamWindowTest::ModesMoveTheWindowAndPeriodicReadingRunsOnlyInAdvancedMode()
{
    ParamRig rig(meter(6, {"alarm"}));
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
    QCOMPARE(rig.link.sent.size(), size_t{1});
    QVERIFY(rig.link.sent[0] == readRequest(23, 10, 25));
    QCOMPARE(rig.label("lblCorvex_Pl")->text(), QStringLiteral("超限"));
    QCOMPARE(rig.label("lblCorvex_Pl")->palette().color(QPalette::WindowText), QColor(0xFF, 0x00, 0x00));
    QVERIFY(rig.prompts.shown.isEmpty());

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
    ParamRig rig(meter(7));
    for (int i = 0; i < 2150; ++i)
        rig.log.appendLine("line " + std::to_string(i));
    rig.mainWindow->show();
    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(5);
    rig.mainWindow->onTick();
    QCOMPARE(rig.log.lineCount(), 2000);
    // Three lines came in (banner, sent, received): the 153 oldest went.
    QCOMPARE(QString::fromStdString(rig.log.lines().front()), QStringLiteral("line 153"));
    QCOMPARE(QString::fromStdString(rig.log.lines().back()).left(4), QStringLiteral("【接收】"));
    QCOMPARE(rig.label("lblICMoney_ValveSt")->text(), QStringLiteral("开阀"));
}

void ParamWindowTest::PeriodicReadPausesWhileThePortIsBusy()
{
    ParamRig rig(meter(6));
    rig.mainWindow->show();
    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(2);
    PortGuard::Lease lease = rig.session.guard().tryTake();
    rig.mainWindow->onTick();
    QVERIFY(rig.link.sent.empty());
    lease.release();
    rig.mainWindow->onTick();
    QCOMPARE(rig.link.sent.size(), size_t{1});
}

void ParamWindowTest::AddressIsTakenOnlyAtShowing()
{
    SimConfig config = meter(6);
    config.address = 7;
    ParamRig rig(config);
    rig.address = 7;
    rig.mainWindow->show();
    rig.address = 9;
    rig.mainWindow->onModeClicked();
    rig.mainWindow->setItemIndex(2);
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.link.sent.back() == readRequest(7, 10, 25));
    QCOMPARE(rig.prompts.shown.last().text, QStringLiteral("读取仪表参数成功！"));
    rig.mainWindow->hide();
    rig.mainWindow->show();
    rig.mainWindow->onModeClicked();
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.link.sent.back() == readRequest(9, 10, 25));
    QCOMPARE(rig.prompts.shown.last().text, QStringLiteral("读取仪表参数失败，请检查！"));
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
    ParamRig rig(meter(6));
    QVERIFY(rig.settings.writeTimerSec(stored) != SettingsFile::WriteResult::Failed);
    rig.mainWindow->show();
    QCOMPARE(rig.mainWindow->m_periodSpin->value(), shown);
    rig.mainWindow->onCloseClicked();
    QVERIFY(!rig.mainWindow->isVisible());
    QCOMPARE(rig.settings.readTimerSec(), shown);
}

void ParamWindowTest::GridOfFiveParametersAndItsExport()
{
    ParamRig rig(meter(5));
    ParamLayoutArray layout{};
    layout[0] = 38;
    layout[1] = 0x0FA1;
    layout[6] = 2; // the flow, FLT with two decimals
    rig.mainWindow->setParamLayout(
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
    QCOMPARE(rig.prompts.shown.last().text, QStringLiteral("读取仪表参数成功！"));
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("QL2024000123"));
    QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("2024-03-15 10:30:00"));
    QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("33.50"));

    const QString target = rig.folder.filePath(QStringLiteral("p1"));
    rig.prompts.saveNames << target;
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
    ParamRig rig(meter(6));
    rig.mainWindow->show();
    rig.link.throwOnSend = true;
    rig.mainWindow->onReadClicked();
    QVERIFY(rig.mainWindow->m_readButton->isEnabled());
    QCOMPARE(rig.prompts.shown.last().kind, QStringLiteral("warn"));
    QCOMPARE(rig.prompts.shown.last().text, QStringLiteral("Unable to write to com port"));
}

QTEST_MAIN(ParamWindowTest)
#include "param_window_test.moc"
