// The chart window over a real read: ql-rs485-sim on a pseudo-terminal, the
// serial port object and real timers; the chart is open while rows arrive.
#include "app_test_support.h"
#include "support/built_in_registry.h"

#include "app/chart_window.h"
#include "app/com_port_control.h"
#include "protocol/event_loop_waiter.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QValueAxis>

#include <algorithm>
#include <string>

class ChartWindowTest : public QObject {
    Q_OBJECT
private slots:
    void FollowsARead612AndSavesItAsPng();
};

namespace {

int pointCount(ChartWindow& chart, int column)
{
    QLineSeries* series = chart.seriesOf(column);
    return series ? static_cast<int>(series->count()) : 0;
}

} // namespace

void ChartWindowTest::FollowsARead612AndSavesItAsPng()
{
#ifdef _WIN32
    QSKIP("the simulated meter serves a pseudo-terminal, which Windows lacks");
#endif
    QProcess sim;
    struct StopSim {
        QProcess& process;
        ~StopSim()
        {
            process.terminate();
            process.waitForFinished(5000);
        }
    } stopSim{sim};
    sim.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-sim"), {"--type", "6", "--records", "12"});
    QVERIFY2(sim.waitForStarted(), "ql-rs485-sim did not start");
    QVERIFY(sim.waitForReadyRead(10000));
    const QString first = QString::fromUtf8(sim.readLine()).trimmed();
    QVERIFY2(first.startsWith(QStringLiteral("PTY ")), qPrintable(first));
    const QString ptyPath = first.mid(4);

    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Excel")));
    QVERIFY(QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                        folder.filePath(QStringLiteral("Excel/VarnelModbus.xls"))));
    ComPortControl port;
    EventLoopWaiter waiter;
    ScriptedPrompter prompts;
    {
        // The settings file points the program at the pseudo-terminal.
        SettingsFile settings(folder.path(), folder.filePath(QStringLiteral("user")));
        PortSettings line;
        line.comPort = ptyPath;
        QVERIFY(settings.writePortAndAddress(line, 23) == SettingsFile::WriteResult::ProgramFolder);
    }
    MainWindow frm({builtIn(), port, waiter, prompts, folder.path(), folder.filePath(QStringLiteral("user")),
                    folder.path()});
    frm.show();
    frm.onActivated();
    QVERIFY(port.connected());

    child<QToolButton>(frm, "RzToolButton10")->click();
    ChartWindow* chart = frm.chartWindow();
    QVERIFY(chart && chart->isVisible());
    QCOMPARE(chart->windowTitle(), QStringLiteral("曲线"));
    QVERIFY(child<QMenu>(frm, "PopListView")->actions().contains(child<QAction>(frm, "acChart")));

    // Kind 612: "序号", "记录时间", then five quantities; the first is drawn unasked.
    constexpr int kTimeColumn = 1;
    constexpr int kFirstQuantity = 2;
    RunFinisher finisher(frm);
    QList<int> pointsAfterTicks;
    finisher.cancelAt = [&](int) {
        pointsAfterTicks.append(pointCount(*chart, kFirstQuantity));
        return false;
    };
    child<QTreeWidget>(frm, "TreeView1")->setCurrentItem(findNode(frm, 612));
    frm.onTreeNodeDoubleClicked();
    QCOMPARE(finisher.endStatus, QStringLiteral("处理完成"));
    QCOMPARE(frm.records().rowCount(), 12);
    QTRY_COMPARE(pointCount(*chart, kFirstQuantity), 12);
    // Drawn while the read was still going, not only at its end.
    QVERIFY2(
        std::any_of(pointsAfterTicks.begin(), pointsAfterTicks.end(), [](int n) { return n > 0 && n < 12; }),
        qPrintable(QString::number(pointsAfterTicks.size()) + " ticks"));

    QCOMPARE(chart->chartData().timeColumn, kTimeColumn);
    QCOMPARE(chart->m_columnList->count(), 5);
    const QList<QPointF> points = chart->seriesOf(kFirstQuantity)->points();
    for (int r = 0; r < 12; ++r) {
        const auto& cells = frm.records().rows()[static_cast<size_t>(r)];
        const QDateTime time = QDateTime::fromString(QString::fromStdString(cells[kTimeColumn]),
                                                     QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points[r].x())), time);
        QCOMPARE(points[r].y(), std::stod(cells[kFirstQuantity]));
    }

    // The operator ticks a second quantity; it is drawn with all its records.
    chart->m_columnList->item(3)->setCheckState(Qt::Checked);
    const int ticked = chart->m_columnList->item(3)->data(Qt::UserRole).toInt();
    QCOMPARE(pointCount(*chart, ticked), 12);
    QCOMPARE(chart->chart()->series().size(), 2);

    const QString png = folder.filePath(QStringLiteral("612"));
    prompts.saveNames << png;
    chart->m_saveButton->click();
    const QImage image(png + QStringLiteral(".png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), chart->m_chartView->size() * chart->m_chartView->devicePixelRatio());
    QCOMPARE(prompts.shown.last().text, QStringLiteral("曲线图片保存成功！"));
    QCOMPARE(prompts.lastSaveDirectory,
             folder.filePath(QStringLiteral("实时记录500组_23_%1.png")
                                 .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))));
    // The records saved are confirmed the same way.
    prompts.saveNames << folder.filePath(QStringLiteral("612"));
    child<QAction>(frm, "acSaveRec")->trigger();
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("612.xlsx"))).size() > 0);
    QCOMPARE(prompts.shown.last().text, QStringLiteral("记录文件保存成功！"));
    // Time ticks on round times: whole minutes, a whole number of steps from midnight.
    auto* timeAxis = qobject_cast<QDateTimeAxis*>(chart->chart()->axes(Qt::Horizontal).value(0));
    QVERIFY(timeAxis && timeAxis->tickCount() >= 2);
    const QDateTime from = timeAxis->min();
    const qint64 step = from.msecsTo(timeAxis->max()) / (timeAxis->tickCount() - 1);
    QCOMPARE(step % 60000, 0);
    QCOMPARE(from.time().msecsSinceStartOfDay() % step, 0);
    QVERIFY(from.toMSecsSinceEpoch() <= points.first().x() &&
            timeAxis->max().toMSecsSinceEpoch() >= points.last().x());

    // The picture says what it shows: kind, meter and the records' time span.
    const auto& rows = frm.records().rows();
    QCOMPARE(chart->title(), QStringLiteral("实时记录500组    流量计地址：23    %1 至 %2")
                                 .arg(QString::fromStdString(rows.front()[kTimeColumn]),
                                      QString::fromStdString(rows.back()[kTimeColumn])));

    // Zoomed into a part, the value ticks stay round for the spacing they have.
    auto* yAxis = qobject_cast<QValueAxis*>(chart->chart()->axes(Qt::Vertical).value(0));
    yAxis->setRange(80.7967, 116.468);
    QCOMPARE(yAxis->labelFormat(), QStringLiteral("%.0f"));
    yAxis->setRange(1.0, 1.4);
    QCOMPARE(yAxis->labelFormat(), QStringLiteral("%.1f"));

    // Deleting the records empties the chart.
    prompts.answers << true;
    frm.onClearRecordsTriggered();
    QTRY_COMPARE(pointCount(*chart, kFirstQuantity), 0);
    QVERIFY(chart->title().endsWith(QStringLiteral("无数据")));
    QVERIFY(!yAxis->labelsVisible());
    QVERIFY(!chart->chart()->axes(Qt::Horizontal).value(0)->isTitleVisible());

    // Escape closes the window as it closes the program's dialogs.
    QTest::keyClick(chart->m_chartView, Qt::Key_Escape);
    QVERIFY(!chart->isVisible());
}

QTEST_MAIN(ChartWindowTest)
#include "chart_window_test.moc"
