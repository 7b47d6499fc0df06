#include "app/read_controller.h"
#include "app/export_messages.h"
#include "app/utf8_text.h"

#include "app/app_texts.h"
#include "app/backup_dialog.h"
#include "app/block_range_dialog.h"
#include "app/device_tree.h"
#include "app/link_reason_text.h"
#include "app/prompter.h"
#include "app/search_dialog.h"
#include "app/transaction_dialog.h"
#include "catalogue/catalogue.h"
#include "export/archive_workbook.h"
#include "export/protocol_workbook.h"
#include "protocol/archive_download.h"
#include "protocol/meter_identification.h"
#include "serial/com_port_error.h"
#include "settings/settings_file.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QProgressDialog>

namespace {

const QString kOverwriteQuestion = QStringLiteral("是否要覆盖原记录信息？");

// Shown under "没有你要读的流量计信息！" when the replies began with their
// request: the adapter hears its own transmission.
QString echoHint(int echoedReplies, bool echoRemoval)
{
    if (echoedReplies == 0)
        return {};
    return echoRemoval
               ? QStringLiteral("\n应答以请求开头：去除回显后仍听到请求，适配器把请求回送了两次。")
               : QStringLiteral(
                     "\n应答以请求开头：适配器回送了发出的字节，请在\"串口设置\"中勾选\"去除回显\"。");
}

// Clears a flag for the duration of a scope.
class FlagOff {
public:
    explicit FlagOff(bool& flag) : m_flag(flag) { m_flag = false; }
    ~FlagOff() { m_flag = true; }

private:
    bool& m_flag;
};

} // namespace

ReadController::ReadController(const ReadContext& context)
    : m_registry(context.registry), m_window(context.window), m_session(context.session),
      m_exchange(context.session.exchange()), m_waiter(context.waiter), m_prompter(context.prompter),
      m_records(context.records), m_tree(context.tree), m_settingsDir(context.settingsDir),
      m_address(context.address), m_fastReading(context.fastReading), m_run(m_exchange, m_records)
{
    m_transactionDialog = new TransactionDialog(m_run, m_waiter, &m_window);
}

ReadController::~ReadController()
{
    // The transaction window refers to the run, which goes with this object.
    delete m_transactionDialog;
}

bool ReadController::loadProtocolWorkbook(const SettingsFile& settings)
{
    auto workbook = std::make_shared<ProtocolWorkbook>(
        openProtocolWorkbook(settings.programFolder(), settings.readTemplateFile()));
    if (!workbook->ok()) {
        // Without its register map the program cannot serve device type 5: say
        // so and end, as the operator's installation is incomplete. The reader's
        // reason (file, sheet, cell) lets the operator repair the workbook.
        qWarning("%s: %s", qUtf8Printable(workbook->path), qUtf8Printable(workbook->detail));
        m_prompter.warn(&m_window,
                        workbook->message + QLatin1Char('\n') + QDir::toNativeSeparators(workbook->path) +
                            QStringLiteral("：") + workbook->detail,
                        kWarnCaption);
        return false;
    }
    m_protocolCells = [workbook](int row, int column) { return workbook->cells.text(row, column); };
    return true;
}

void ReadController::inform(const QString& text)
{
    m_prompter.inform(&m_window, text, kInfoCaption);
}

bool ReadController::ask(const QString& text)
{
    return m_prompter.ask(&m_window, text, kInfoCaption);
}

bool ReadController::usePort(const std::function<QString()>& work, bool openPort)
{
    bool closed = false;
    QString error;
    const PortSession::RunResult result = m_session.runReporting(
        [&]() -> QString {
            if (openPort && !m_session.link().connected()) {
                closed = true;
                return {};
            }
            return work();
        },
        &error);
    switch (result) {
    case PortSession::RunResult::Busy:
        inform(kPortBusy);
        return false;
    case PortSession::RunResult::Failed:
        m_prompter.warn(&m_window, error, kWarnCaption);
        return false;
    case PortSession::RunResult::Lost:
        // The session has told the operator.
        return false;
    case PortSession::RunResult::Done:
        break;
    }
    if (closed)
        inform(QString::fromUtf8(kPortClosedText));
    return !closed;
}

void ReadController::setupRecordColumns(int kindCode)
{
    m_kind = prepareKind(m_registry, kindCode, m_protocolCells);
    m_records.setColumns(m_kind.columns);
    // The parameter window lays out device type 5 from the sheet last loaded.
    if (m_kind.kind && m_kind.kind->fieldsFromWorkbook)
        m_protocolSheet = m_kind.sheet;
    if (m_kind.problem == KindProblem::BadProtocolSheet)
        m_prompter.warn(&m_window, QString::fromStdString(m_kind.error), kWarnCaption);
}

// Asks before rows already in the table are overwritten; on Yes (or with an
// empty table) sets up the kind's columns with no rows. False when declined,
// in which case rows and columns stay as they were.
bool ReadController::prepareRecordTable(int kindCode)
{
    if (m_records.rowCount() > 0 && !ask(kOverwriteQuestion))
        return false;
    setupRecordColumns(kindCode);
    m_records.clearRows();
    return true;
}

BaseRequest ReadController::composeRequest(const PreparedKind& kind)
{
    BaseRequest base = composeKindRequest(m_exchange, kind, m_address());
    if (base.portClosed)
        inform(QString::fromUtf8(kPortClosedText));
    return base;
}

QString ReadController::readWholeKind(int kindCode, ReadStartWay way)
{
    if (!prepareRecordTable(kindCode))
        return {};
    const BaseRequest base = composeRequest(m_kind);
    if (base.request.empty())
        return {};
    return startRead(base,
                     wholeKindPlan(*m_kind.kind, way, m_fastReading(), lineSettingsOf(m_session.settings())));
}

QString ReadController::startRead(const BaseRequest& base, const ReadPlan& plan)
{
    m_transactionDialog->startRun(m_kind, base, plan);
    const RunOutcome& outcome = m_run.outcome();
    if (outcome.end == RunEnd::PortLost)
        return outcome.portFailure ? portErrorText(*outcome.portFailure)
                                   : QString::fromStdString(outcome.portError);
    // A block that failed only because the adapter hears itself is put right
    // in the port settings, not by reading again.
    if (outcome.end == RunEnd::BlockFailed && m_exchange.echoedReplies() > 0)
        inform(QString::fromStdString(failedBlockText(outcome.block)) +
               echoHint(m_exchange.echoedReplies(), m_session.echoRemoval()));
    return {};
}

void ReadController::onKindSelected(QTreeWidgetItem* node)
{
    const int kindCode = DeviceTree::nodeCodeOf(node);
    if (m_records.rowCount() == 0) {
        setupRecordColumns(kindCode);
    } else if (ask(QStringLiteral("若选择\"") + node->text(0) +
                   QStringLiteral("\",前一次所读取的记录信息将被删除，是否要继续？"))) {
        m_records.clearRows();
        setupRecordColumns(kindCode);
        readSelectedKind();
    }
}

void ReadController::readSelectedKind()
{
    const QTreeWidgetItem* node = m_tree.selectedKindNode();
    if (!node)
        return;
    const int kindCode = DeviceTree::nodeCodeOf(node);
    usePort([&] { return readWholeKind(kindCode, ReadStartWay::TreeOrRecordMenu); }, false);
}

void ReadController::readRecordMenuItem(QAction* item)
{
    const RecordMenuItem* menuItem = item ? findRecordMenuItem(item->objectName().toStdString()) : nullptr;
    if (!menuItem)
        return;
    std::optional<int> deviceType;
    const bool ok = usePort(
        [&] {
            m_tree.collapseAll();
            item->setEnabled(false);
            deviceType = identifyWithProgress(ProbeSet::RecordMenu);
            return QString();
        },
        true);
    item->setEnabled(true);
    if (!ok || !deviceType)
        return;
    const RecordMenuResolution resolution = resolveRecordMenuItem(m_registry, *menuItem, *deviceType);
    if (resolution.kindCode == 0) {
        inform(
            toQString(resolution.message) +
            (*deviceType == 0 ? echoHint(m_exchange.echoedReplies(), m_session.echoRemoval()) : QString()));
        return;
    }
    FlagOff quiet(m_treeChangeEnabled);
    m_tree.selectKind(resolution.kindCode);
    readSelectedKind();
}

void ReadController::readAll()
{
    std::optional<int> deviceType;
    const bool ok = usePort(
        [&] {
            m_tree.collapseAll();
            deviceType = identifyWithProgress(ProbeSet::RecordReader);
            return QString();
        },
        true);
    if (!ok || !deviceType)
        return;
    if (*deviceType == 0) {
        inform(noMeterText());
        return;
    }
    readDeviceType(*deviceType);
}

// The first kind of `deviceType`, read whole.
void ReadController::readDeviceType(int deviceType)
{
    usePort(
        [&] {
            FlagOff quiet(m_treeChangeEnabled);
            const int kindCode = m_tree.selectFirstKindOf(deviceType);
            // A device type without a node (type 4 is dropped from the tree) has no
            // kind to read: say so rather than read whatever happens to be selected.
            if (kindCode == 0) {
                inform(toQString(kNoMeterMessage));
                return QString();
            }
            return readWholeKind(kindCode, ReadStartWay::RangeOrIdentification);
        },
        false);
}

QString ReadController::noMeterText() const
{
    return toQString(kNoMeterMessage) + echoHint(m_exchange.echoedReplies(), m_session.echoRemoval());
}

std::optional<int> ReadController::identifyWithProgress(ProbeSet probes)
{
    // Paced identification asks six device types three times each: many
    // seconds on a silent line, which the operator may cut short.
    QProgressDialog progress(QStringLiteral("正在识别流量计……"), QStringLiteral("取消"), 0, 0, &m_window);
    progress.setObjectName(QStringLiteral("IdentifyProgress"));
    progress.setWindowTitle(kInfoCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.show();
    const bool fast = m_fastReading();
    // Fast, the type found here before is asked first: a known meter answers
    // its own probe at once instead of after every other type's.
    const int deviceType = findDeviceType(
        m_registry, m_exchange, m_address(), fast, lineSettingsOf(m_session.settings()), probes,
        [&progress] { return progress.wasCanceled(); }, fast ? knownDeviceType() : 0);
    if (progress.wasCanceled())
        return std::nullopt;
    m_knownTypes.remember(m_session.settings().comPort.toStdString(), m_address(), deviceType);
    return deviceType;
}

int ReadController::knownDeviceType() const
{
    return m_knownTypes.typeAt(m_session.settings().comPort.toStdString(), m_address());
}

void ReadController::readRange()
{
    const QTreeWidgetItem* node = m_tree.selectedKindNode();
    if (!node) {
        inform(QStringLiteral("请选择要读取的流量计记录类型！"));
        return;
    }
    const int kindCode = DeviceTree::nodeCodeOf(node);
    const QString caption = node->text(0);
    usePort(
        [&] {
            // The table is cleared only once the operator has chosen a range:
            // "取消" in the range dialog keeps the records already read.
            if (m_records.rowCount() > 0 && !ask(kOverwriteQuestion))
                return QString();
            const BaseRequest base = composeRequest(prepareKind(m_registry, kindCode, m_protocolCells));
            if (base.request.empty())
                return QString();
            BlockRangeDialog range(&m_window, &m_prompter);
            range.prepare(caption, base.blockCount);
            if (range.exec() != QDialog::Accepted)
                return QString();
            setupRecordColumns(kindCode);
            m_records.clearRows();
            ReadPlan plan = wholeKindPlan(*m_kind.kind, ReadStartWay::RangeOrIdentification, m_fastReading(),
                                          lineSettingsOf(m_session.settings()));
            plan.beginBlock = range.beginBlock();
            plan.endBlock = range.endBlock();
            return startRead(base, plan);
        },
        false);
}

void ReadController::backup()
{
    std::optional<BackupDialog> progress;
    usePort(
        [&] {
            ArchiveOptions options;
            options.address = m_address();
            options.fast = m_fastReading();
            options.line = lineSettingsOf(m_session.settings());
            options.protocolCells = m_protocolCells;
            const std::optional<int> identified = identifyWithProgress(ProbeSet::RecordMenu);
            if (!identified)
                return QString();
            const int deviceType = *identified;
            if (deviceType == 0) {
                inform(noMeterText());
                return QString();
            }
            // Asked once a meter has answered, so a silent line asks for no file.
            const QString name = m_prompter.saveFileName(
                &m_window, QStringLiteral("备份全部记录"),
                QDir(m_settingsDir).filePath(QStringLiteral("*.xlsx")), QStringLiteral("*.xlsx"));
            if (name.isEmpty())
                return QString();

            progress.emplace(&m_window);
            progress->setWindowModality(Qt::WindowModal);
            progress->show();
            const QDateTime readAt = QDateTime::currentDateTime();
            ArchiveDownload download(m_registry, m_exchange, options);
            download.setProgressHandler([&progress, &download](const ArchiveProgress& at) {
                progress->showProgress(at);
                if (progress->cancelRequested())
                    download.cancel();
            });
            const std::vector<ArchiveKind> kinds = download.run(deviceType);

            std::vector<ArchiveSheet> sheets;
            int failed = 0;
            for (const ArchiveKind& kind : kinds) {
                failed += kind.end == ArchiveKindEnd::Completed ? 0 : 1;
                sheets.push_back({kind.kindCode, std::string(kind.caption), &kind.table,
                                  kind.failure.empty() ? archiveKindEndText(kind.end) : kind.failure});
            }
            const ExportOutcome saved = exportArchiveWorkbook(
                {options.address, deviceType, std::string(deviceTypeCaption(m_registry, deviceType)), readAt},
                sheets, name, [this](const QString& text, const QString& title) {
                    return m_prompter.ask(&m_window, text, title);
                });
            showExportMessages(m_prompter, &m_window, saved);
            QString status = download.cancelled() ? QStringLiteral("已取消") : QStringLiteral("处理完成");
            if (failed > 0)
                status += QStringLiteral("，%1 种记录未读完").arg(failed);
            if (saved.saved)
                status += QStringLiteral("；已保存到 ") + QDir::toNativeSeparators(saved.fileName);
            progress->showEnd(status, !download.cancelled() && failed == 0);
            if (download.portFailure())
                return portErrorText(*download.portFailure());
            return QString::fromStdString(download.portError());
        },
        true);
    if (progress)
        progress->exec();
}

void ReadController::search()
{
    SearchDialog dialog(m_registry, &m_window);
    connect(&dialog, &SearchDialog::searchRequested, this, [this, &dialog] {
        bool started = false;
        bool ended = false;
        usePort(
            [&] {
                started = true;
                LineSettings line = lineSettingsOf(m_session.settings());
                line.responseTimeoutMs = kScanResponseTimeoutMs;
                ScanHandlers handlers;
                handlers.beforeAddress = [&dialog](int address) { return dialog.showProbing(address); };
                handlers.found = [&dialog](const FoundMeter& meter) { dialog.addMeter(meter); };
                const size_t found =
                    scanMeters(m_registry, m_exchange, dialog.from(), dialog.to(), line, handlers).size();
                dialog.showEnd((dialog.stopRequested() ? QStringLiteral("搜索已停止，找到 %1 台流量计。")
                                                       : QStringLiteral("找到 %1 台流量计。"))
                                   .arg(found) +
                               QStringLiteral("双击流量计即设为当前地址。"));
                ended = true;
                return QString();
            },
            true);
        // The port failed under the search; the operator has been told.
        if (started && !ended)
            dialog.showEnd(QString());
    });
    if (dialog.exec() != QDialog::Accepted || dialog.chosenAddress() == 0)
        return;
    emit addressChosen(dialog.chosenAddress());
}
