#include "app/backup_dialog.h"

#include "catalogue/catalogue.h"
#include "protocol/archive_download.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

BackupDialog::BackupDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("backupDialog"));
    setWindowTitle(QStringLiteral("备份全部记录"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_kindLabel = new QLabel(this);
    m_kindLabel->setObjectName(QStringLiteral("lblKind"));
    m_kindProgress = new QProgressBar(this);
    m_kindProgress->setObjectName(QStringLiteral("pbKinds"));
    m_kindProgress->setFormat(QStringLiteral("%v / %m"));
    m_blockProgress = new QProgressBar(this);
    m_blockProgress->setObjectName(QStringLiteral("pbBlocks"));
    m_blockProgress->setFormat(QStringLiteral("%v / %m"));
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("lblStatus"));
    m_statusLabel->setWordWrap(true); // a long save path must not widen the window
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("btnCancel"));
    connect(m_cancelButton, &QPushButton::clicked, this, &BackupDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_kindLabel);
    layout->addWidget(new QLabel(QStringLiteral("记录类型："), this));
    layout->addWidget(m_kindProgress);
    layout->addWidget(new QLabel(QStringLiteral("记录块："), this));
    layout->addWidget(m_blockProgress);
    layout->addWidget(m_statusLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);
    resize(380, 200);
}

void BackupDialog::showProgress(const ArchiveProgress& progress)
{
    const std::string_view caption = progress.kind ? progress.kind->caption : std::string_view{};
    m_kindLabel->setText(QStringLiteral("正在读取：%1（%2/%3）")
                             .arg(QString::fromUtf8(caption.data(), static_cast<int>(caption.size())))
                             .arg(progress.kindIndex + 1)
                             .arg(progress.kindCount));
    // The bar counts the kind being read, as the line above it does.
    m_kindProgress->setRange(0, progress.kindCount);
    m_kindProgress->setValue(progress.kindIndex + 1);
    m_blockProgress->setRange(0, progress.blockCount);
    m_blockProgress->setValue(progress.block - 1);
}

void BackupDialog::showEnd(const QString& status, bool everythingRead)
{
    m_ended = true;
    if (everythingRead)
        m_blockProgress->setValue(m_blockProgress->maximum());
    // The kind line named what was being read; the end status now says how it went.
    m_kindLabel->clear();
    m_kindProgress->setValue(m_kindProgress->maximum());
    m_statusLabel->setText(status);
    m_cancelButton->setText(QStringLiteral("完成"));
}

void BackupDialog::reject()
{
    // While the download runs, closing asks it to stop; the window stays up
    // until it has and the workbook is saved.
    if (m_ended) {
        QDialog::reject();
        return;
    }
    m_cancelRequested = true;
    m_statusLabel->setText(QStringLiteral("正在取消……"));
    m_cancelButton->setEnabled(false);
}
