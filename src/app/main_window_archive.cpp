// The main window's archive download ("备份全部记录") and meter search
// ("搜索流量计"). Both hold the port for their whole length, as every read does.
#include "app/backup_dialog.h"
#include "app/link_reason_text.h"
#include "app/main_window.h"
#include "app/prompter.h"
#include "app/search_dialog.h"
#include "catalogue/catalogue.h"
#include "export/archive_workbook.h"
#include "protocol/archive_download.h"
#include "protocol/meter_identification.h"
#include "protocol/meter_scan.h"
#include "serial/com_port_error.h"
#include "serial/com_types.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>

void MainWindow::buildArchiveActions()
{
    m_backupAction = new QAction(QStringLiteral("备份全部记录"), this);
    m_backupAction->setObjectName(QStringLiteral("acBackup"));
    connect(m_backupAction, &QAction::triggered, this, &MainWindow::onBackupTriggered);
    m_searchAction = new QAction(QStringLiteral("搜索流量计"), this);
    m_searchAction->setObjectName(QStringLiteral("acSearch"));
    connect(m_searchAction, &QAction::triggered, this, &MainWindow::onSearchTriggered);
}

bool MainWindow::fastReading() const
{
    return m_fastReadAction && m_fastReadAction->isChecked();
}

void MainWindow::onBackupTriggered()
{
    PortGuard::Lease lease = claimOpenPort();
    if (!lease)
        return;

    const bool fast = fastReading();
    ArchiveOptions options;
    options.address = m_address;
    options.fast = fast;
    options.line = lineSettingsOf(m_session.settings());
    options.protocolCells = m_protocolCells;
    const std::optional<int> identified = identifyForRead(ProbeSet::RecordMenu);
    if (!identified)
        return;
    const int deviceType = *identified;
    if (deviceType == 0) {
        inform(noMeterText());
        return;
    }
    // Asked once a meter has answered, so a silent line asks for no file.
    const QString name = m_prompter.saveFileName(this, QStringLiteral("备份全部记录"),
                                                 QDir(m_settingsDir).filePath(QStringLiteral("*.xlsx")),
                                                 QStringLiteral("*.xlsx"));
    if (name.isEmpty())
        return;

    BackupDialog progress(this);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    const QDateTime readAt = QDateTime::currentDateTime();
    ArchiveDownload download(m_registry, m_exchange, options);
    download.setProgressHandler([&progress, &download](const ArchiveProgress& at) {
        progress.showProgress(at);
        if (progress.cancelRequested())
            download.cancel();
    });
    const std::vector<ArchiveKind> kinds = download.run(deviceType);
    lease.release();

    std::vector<ArchiveSheet> sheets;
    int failed = 0;
    for (const ArchiveKind& kind : kinds) {
        failed += kind.end == ArchiveKindEnd::Completed ? 0 : 1;
        sheets.push_back({kind.kindCode, std::string(kind.caption), &kind.table,
                          kind.failure.empty() ? archiveKindEndText(kind.end) : kind.failure});
    }
    const ExportOutcome saved = exportArchiveWorkbook(
        {m_address, deviceType, std::string(deviceTypeCaption(m_registry, deviceType)), readAt}, sheets, name,
        [this](const QString& text, const QString& title) { return m_prompter.ask(this, text, title); });
    for (const ExportMessage& message : saved.messages) {
        if (message.warning)
            m_prompter.warn(this, message.text, message.caption);
        else
            m_prompter.inform(this, message.text, message.caption);
    }
    QString status = download.cancelled() ? QStringLiteral("已取消") : QStringLiteral("处理完成");
    if (failed > 0)
        status += QStringLiteral("，%1 种记录未读完").arg(failed);
    if (saved.saved)
        status += QStringLiteral("；已保存到 ") + QDir::toNativeSeparators(saved.fileName);
    progress.showEnd(status, !download.cancelled() && failed == 0);
    if (download.portFailure())
        afterPortUse(portErrorText(*download.portFailure()));
    else if (!download.portError().empty())
        afterPortUse(QString::fromStdString(download.portError()));
    progress.exec();
}

void MainWindow::onSearchTriggered()
{
    SearchDialog dialog(m_registry, this);
    connect(&dialog, &SearchDialog::searchRequested, this, [this, &dialog] {
        const PortGuard::Lease lease = claimOpenPort();
        if (!lease)
            return;
        LineSettings line = lineSettingsOf(m_session.settings());
        line.responseTimeoutMs = kScanResponseTimeoutMs;
        ScanHandlers handlers;
        handlers.beforeAddress = [&dialog](int address) { return dialog.showProbing(address); };
        handlers.found = [&dialog](const FoundMeter& meter) { dialog.addMeter(meter); };
        try {
            const size_t found =
                scanMeters(m_registry, m_exchange, dialog.from(), dialog.to(), line, handlers).size();
            dialog.showEnd((dialog.stopRequested() ? QStringLiteral("搜索已停止，找到 %1 台流量计。")
                                                   : QStringLiteral("找到 %1 台流量计。"))
                               .arg(found) +
                           QStringLiteral("双击流量计即设为当前地址。"));
            afterPortUse();
        } catch (const ComPortError& error) {
            dialog.showEnd(QString());
            afterPortUse(portErrorText(error));
        }
    });
    if (dialog.exec() != QDialog::Accepted || dialog.chosenAddress() == 0)
        return;
    m_address = dialog.chosenAddress();
    showAddress();
    saveSettings();
}
