// The main window's archive download ("备份全部记录") and meter search
// ("搜索流量计"). Both hold the port for their whole length, as every read does.
#include "app/backup_frm.h"
#include "app/main_frm.h"
#include "app/prompter.h"
#include "app/search_frm.h"
#include "catalogue/catalogue.h"
#include "export/archive_workbook.h"
#include "protocol/archive_download.h"
#include "protocol/meter_identification.h"
#include "protocol/meter_scan.h"
#include "serial/com_error.h"
#include "serial/com_types.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>

namespace {

QString Utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void TMainFrm::BuildArchiveActions()
{
    acBackup = new QAction(QStringLiteral("备份全部记录"), this);
    acBackup->setObjectName(QStringLiteral("acBackup"));
    connect(acBackup, &QAction::triggered, this, &TMainFrm::acBackupExecute);
    acSearch = new QAction(QStringLiteral("搜索流量计"), this);
    acSearch->setObjectName(QStringLiteral("acSearch"));
    connect(acSearch, &QAction::triggered, this, &TMainFrm::acSearchExecute);
}

bool TMainFrm::FastReading() const
{
    return acFastRead && acFastRead->isChecked();
}

void TMainFrm::acBackupExecute()
{
    PortGuard::Lease lease = ClaimOpenPort();
    if (!lease)
        return;

    const bool fast = FastReading();
    ArchiveOptions options;
    options.address = FAddress;
    options.fast = fast;
    options.line = LineSettingsOf(FPort.LineSettings());
    int deviceType = 0;
    bool cancelled = false;
    try {
        deviceType = IdentifyWithProgress(cancelled);
    } catch (const EComPort& error) {
        AfterPortUse(QString::fromStdString(error.what()));
        return;
    }
    if (cancelled)
        return;
    if (deviceType == 0) {
        Inform(Utf8(kNoMeterMessage));
        return;
    }
    // Asked once a meter has answered, so a silent line asks for no file.
    const QString name = FPrompter.SaveFileName(this, QStringLiteral("备份全部记录"),
                                                QDir(FSettingsDir).filePath(QStringLiteral("*.xlsx")),
                                                QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;

    TBackupFrm progress(this);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    const QDateTime readAt = QDateTime::currentDateTime();
    ArchiveDownload download(FExchange, options);
    download.SetProgressHandler([&progress, &download](const ArchiveProgress& at) {
        progress.ShowProgress(at);
        if (progress.CancelRequested())
            download.Cancel();
    });
    download.SetKindPreparer([this](ArchiveKind& kind) -> std::string {
        const RecordKind* row = FindRecordKind(kind.kindCode);
        if (!row || !row->fieldsFromWorkbook)
            return {};
        if (!FProtocolCells)
            return "没有协议工作簿";
        const ProtocolLoadResult loaded = LoadProtocolSection(kind.kindCode, FProtocolCells);
        kind.table.SetColumns(loaded.sheet.columns);
        kind.fieldTypes = loaded.sheet.fieldTypes;
        kind.fieldDigits = loaded.sheet.fieldDigits;
        const int section = ProtocolWorkbookSection(kind.kindCode);
        kind.registers = {loaded.sheet.recordStart[static_cast<size_t>(section)],
                          loaded.sheet.recordLength[static_cast<size_t>(section)]};
        return loaded.error;
    });
    const std::vector<ArchiveKind> kinds = download.Run(deviceType);
    lease.Release();

    std::vector<ArchiveSheet> sheets;
    int failed = 0;
    for (const ArchiveKind& kind : kinds) {
        failed += kind.end == ArchiveKindEnd::Completed ? 0 : 1;
        sheets.push_back(
            {kind.kindCode, &kind.table, kind.failure.empty() ? ArchiveKindEndText(kind.end) : kind.failure});
    }
    const ExportOutcome saved = ExportArchiveWorkbook(
        {FAddress, deviceType, readAt}, sheets, name,
        [this](const QString& text, const QString& title) { return FPrompter.Ask(this, text, title); });
    for (const ExportMessage& message : saved.messages) {
        if (message.warning)
            FPrompter.Warn(this, message.text, message.caption);
        else
            FPrompter.Inform(this, message.text, message.caption);
    }
    QString status = download.Cancelled() ? QStringLiteral("已取消") : QStringLiteral("处理完成");
    if (failed > 0)
        status += QStringLiteral("，%1 种记录未读完").arg(failed);
    if (saved.saved)
        status += QStringLiteral("；已保存到 ") + QDir::toNativeSeparators(saved.fileName);
    progress.ShowEnd(status, !download.Cancelled() && failed == 0);
    if (!download.PortError().empty())
        AfterPortUse(QString::fromStdString(download.PortError()));
    progress.exec();
}

void TMainFrm::acSearchExecute()
{
    TSearchFrm dialog(this);
    dialog.OnSearch = [this, &dialog] {
        const PortGuard::Lease lease = ClaimOpenPort();
        if (!lease)
            return;
        LineSettings line = LineSettingsOf(FPort.LineSettings());
        line.responseTimeoutMs = kScanResponseTimeoutMs;
        ScanHandlers handlers;
        handlers.beforeAddress = [&dialog](int address) { return dialog.ShowProbing(address); };
        handlers.found = [&dialog](const FoundMeter& meter) { dialog.AddMeter(meter); };
        try {
            const size_t found = ScanMeters(FExchange, dialog.From(), dialog.To(), line, handlers).size();
            dialog.ShowEnd((dialog.StopRequested() ? QStringLiteral("搜索已停止，找到 %1 台流量计。")
                                                   : QStringLiteral("找到 %1 台流量计。"))
                               .arg(found) +
                           QStringLiteral("双击流量计即设为当前地址。"));
            AfterPortUse();
        } catch (const EComPort& error) {
            dialog.ShowEnd(QString());
            AfterPortUse(QString::fromStdString(error.what()));
        }
    };
    if (dialog.exec() != QDialog::Accepted || dialog.ChosenAddress() == 0)
        return;
    FAddress = dialog.ChosenAddress();
    ShowAddress();
    SaveSettings();
}
