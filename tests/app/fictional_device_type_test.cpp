// A device type that exists only in this file: its description (two record kinds,
// one probe, one parameter panel) joins a registry of this test's own, and the
// identification, the meter search, the paced and fast reads, the export, the main
// window's tree and the parameter window all serve it from that description alone.
#include "app/param_window.h"
#include "app_test_support.h"
#include "catalogue/catalogue.h"
#include "decoding/param_decoders.h"
#include "export/record_csv.h"
#include "log/log_model.h"
#include "protocol/archive_download.h"
#include "protocol/exchange.h"
#include "protocol/meter_identification.h"
#include "protocol/meter_scan.h"
#include "serial/byte_link.h"
#include "settings/settings_file.h"

#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

constexpr int kFictionalType = 8;
constexpr uint8_t kAddress = 23;

// A 9-byte reply: address, function, count 4, four data bytes, CRC.
Bytes reply(uint8_t function, std::array<uint8_t, 4> data)
{
    return appendCrc(Bytes{kAddress, function, 4, data[0], data[1], data[2], data[3]});
}

// The meter of the fictional type: its identification window (registers 0x0100,
// two of them) and one record per request; records from number 3 on are blank.
class FictionalMeter : public ByteLink {
public:
    bool connected() const override { return true; }
    void purgeBuffers() override { m_waiting.clear(); }
    void sendBytes(ByteView request) override
    {
        const Bytes frame(request.begin(), request.end());
        if (frame == appendCrc(Bytes{kAddress, 0x03, 0x01, 0x00, 0x00, 0x02})) {
            m_waiting = reply(0x03, {0x00, 0x2A, 0x00, 0x00});
        } else if (frame.size() == 14 && frame[0] == kAddress && frame[1] == 0x65 && checkCrc(frame)) {
            const uint8_t record = frame[7];
            m_waiting = record < 3 ? reply(0x65, {frame[3], record, 0x11, 0x22}) : reply(0x65, {0, 0, 0, 0});
        }
    }
    int waitingByteCount() override { return static_cast<int>(m_waiting.size()); }
    Bytes receiveBytes(int count) override
    {
        const auto take = std::min<size_t>(m_waiting.size(), static_cast<size_t>(std::max(count, 0)));
        Bytes out(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(take));
        m_waiting.erase(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(take));
        return out;
    }

private:
    Bytes m_waiting;
};

DecodeResult decodeFictionalRecord(const DecodeContext& context, ByteView reply, RecordTable& table)
{
    if (reply.size() != 9)
        return DecodeResult::BadLength;
    if (!checkCrc(reply))
        return DecodeResult::BadCheck;
    if (allBytesEqual(reply.subspan(3, 4), 0))
        return DecodeResult::NoRecord;
    table.appendRow({std::to_string(context.blockNumber), bytesToHex(reply.subspan(3, 4))});
    return DecodeResult::Decoded;
}

int decodeFictionalParams(const ParamPanelSpec&, ByteView reply, LabelValues& values)
{
    if (reply.size() != 9)
        return ParamResult::BadLength;
    if (!checkCrc(reply))
        return ParamResult::BadCheck;
    values["lblFict_Value"] = {std::to_string(reply[3] << 8 | reply[4]), LabelState::Normal};
    return ParamResult::Decoded;
}

const std::vector<TableColumn> kColumns = {{"序号", 45}, {"数据", 100}};
const ParamPanelSpec kPanel{
    "pnlFict", "=====虚构流量计=====", {{"实时数据", {{"lblFict_Value", "数值", LabelKind::Value, "0"}}}}};

DeviceTypeDescription fictionalType()
{
    const Bytes window = {0x03, 0x01, 0x00, 0x00, 0x02};
    const auto kind = [](int ordinal, std::string_view caption, std::string_view menuItem) {
        return RecordKind{.ordinal = ordinal,
                          .caption = caption,
                          .selector = static_cast<uint8_t>(ordinal),
                          .blockCount = 10,
                          .readStartLogLine = "===========虚构流量计===========",
                          .decode = decodeFictionalRecord,
                          .columns = kColumns,
                          .frame = {.length = 9},
                          .menuItem = menuItem};
    };
    return {.code = kFictionalType,
            .caption = "虚构流量计(modbus V9.9)",
            .dialect = &FramingDialect::recordRange(),
            .kinds = {kind(1, "实时记录10组", "N15"), kind(2, "月记录10组", "N17")},
            .identification = {.rank = 7,
                               .probe = {.logLine = "=====虚构流量计=====",
                                         .body = window,
                                         .replyLengths = {9},
                                         .pauseMs = 300}},
            .params = {.panel = &kPanel,
                       .steps = {{.body = window, .waitMs = 400, .decode = decodeFictionalParams}},
                       .detectionRank = 7,
                       .selectorRank = 7,
                       .selectorItem = "虚构流量计(ModBus V9.9)",
                       .selectorTitle = "虚构流量计",
                       .selectorCaption = "实时数据----虚构流量计",
                       .detectedTitle = "虚构流量计",
                       .detectedCaption = "用户只读参数----虚构流量计"}};
}

} // namespace

class FictionalDeviceTypeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_registry = builtInRegistry();
        QVERIFY(m_registry.add(fictionalType()));
    }

    void IsIdentifiedAndFoundByTheMeterSearch()
    {
        FictionalMeter meter;
        LogModel log;
        VirtualClock clock;
        Exchange exchange(meter, log, clock);
        QCOMPARE(identifyMeter(m_registry, exchange, kAddress), kFictionalType);
        QVERIFY(std::find(log.lines().begin(), log.lines().end(), "=====虚构流量计=====") !=
                log.lines().end());
        const std::vector<FoundMeter> found = scanMeters(m_registry, exchange, 22, 24, {}, {});
        QCOMPARE(found.size(), size_t{1});
        QCOMPARE(found[0], (FoundMeter{kAddress, kFictionalType}));
        QCOMPARE(resolveRecordMenuItem(m_registry, "N17", kFictionalType).kindCode, 82);
    }

    void IsReadPacedAndFastAndExported()
    {
        for (const bool fast : {false, true}) {
            FictionalMeter meter;
            LogModel log;
            VirtualClock clock;
            Exchange exchange(meter, log, clock);
            ArchiveOptions options;
            options.fast = fast;
            ArchiveDownload download(m_registry, exchange, options);
            const std::vector<ArchiveKind> kinds = download.run(kFictionalType);
            QCOMPARE(kinds.size(), size_t{2});
            QCOMPARE(kinds[1].kindCode, 82);
            for (const ArchiveKind& kind : kinds) {
                QCOMPARE(kind.end, ArchiveKindEnd::Completed);
                QCOMPARE(kind.table.rowCount(), 3);
            }
            QCOMPARE(kinds[1].table.rows()[2], (std::vector<std::string>{"3", "02021122"}));

            QTemporaryDir folder;
            const std::string path = folder.filePath(QStringLiteral("fict.csv")).toStdString();
            QVERIFY(writeRecordCsv(kinds[1].table, path).empty());
            QFile file(QString::fromStdString(path));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            QVERIFY2(text.contains(QStringLiteral("数据")) && text.contains(QStringLiteral("02021122")),
                     qPrintable(text));
        }
    }

    void IsShownInTheParameterWindow()
    {
        FictionalMeter meter;
        VirtualClock clock;
        LogModel log;
        QTemporaryDir folder;
        SettingsFile settings(folder.path(), folder.filePath(QStringLiteral("user")));
        ScriptedPrompter prompts;
        LinkPortControl port(meter);
        PortSession session(port, log, clock);
        ParamWindowContext context{
            m_registry, session,      clock, prompts, log, settings, [] { return int{kAddress}; },
            {},         folder.path()};
        ParamWindow frm(context);
        const int index = frm.selectorIndexOf(kFictionalType);
        QCOMPARE(index, frm.selectorCount() - 1);
        frm.setItemIndex(index);
        QCOMPARE(frm.windowTitle(), QStringLiteral("实时数据----虚构流量计"));
        frm.onReadClicked();
        auto* panel = frm.findChild<QWidget*>(QStringLiteral("pnlFict"));
        QVERIFY(panel && panel->isVisibleTo(&frm));
        QCOMPARE(frm.findChild<QLabel*>(QStringLiteral("lblFict_Value"))->text(), QStringLiteral("42"));
    }

    void IsShownInTheMainWindowTreeAndReadFromThere()
    {
        FictionalMeter meter;
        VirtualClock clock;
        QTemporaryDir folder;
        ScriptedPrompter prompts;
        LinkPortControl port(meter);
        MainWindow frm(MainWindowContext{m_registry, port, clock, prompts, folder.path(),
                                         folder.filePath(QStringLiteral("user")), folder.path()});
        frm.show();
        frm.onActivated();
        QTreeWidgetItem* typeNode = findNode(frm, kFictionalType);
        QVERIFY(typeNode);
        QCOMPARE(typeNode->text(0), QStringLiteral("虚构流量计(modbus V9.9)"));
        QTreeWidgetItem* kindNode = findNode(frm, 82);
        QVERIFY(kindNode && kindNode->parent() == typeNode);
        QCOMPARE(kindNode->text(0), QStringLiteral("月记录10组"));

        RunFinisher finisher(frm);
        auto* tree = frm.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
        QVERIFY(tree);
        tree->setCurrentItem(kindNode);
        frm.onTreeNodeDoubleClicked();
        QCOMPARE(finisher.runs, 1);
        QCOMPARE(frm.records().rowCount(), 3);
        QCOMPARE(frm.records().rows()[2], (std::vector<std::string>{"3", "02021122"}));
        QCOMPARE(shownLogLines(frm).value(0), QStringLiteral("===========虚构流量计==========="));
    }

private:
    DeviceRegistry m_registry;
};

QTEST_MAIN(FictionalDeviceTypeTest)
#include "fictional_device_type_test.moc"
