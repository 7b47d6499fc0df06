#include "app/backup_frm.h"

#include "catalogue/catalogue.h"
#include "protocol/archive_download.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TBackupFrm::TBackupFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TBackupFrm"));
    setWindowTitle(QStringLiteral("备份全部记录"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblKind = new QLabel(this);
    lblKind->setObjectName(QStringLiteral("lblKind"));
    pbKinds = new QProgressBar(this);
    pbKinds->setObjectName(QStringLiteral("pbKinds"));
    pbKinds->setFormat(QStringLiteral("%v / %m"));
    pbBlocks = new QProgressBar(this);
    pbBlocks->setObjectName(QStringLiteral("pbBlocks"));
    pbBlocks->setFormat(QStringLiteral("%v / %m"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true); // a long save path must not widen the window
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &TBackupFrm::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblKind);
    layout->addWidget(new QLabel(QStringLiteral("记录类型："), this));
    layout->addWidget(pbKinds);
    layout->addWidget(new QLabel(QStringLiteral("记录块："), this));
    layout->addWidget(pbBlocks);
    layout->addWidget(lblStatus);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    resize(380, 200);
}

void TBackupFrm::ShowProgress(const ArchiveProgress& progress)
{
    lblKind->setText(
        QStringLiteral("正在读取：%1（%2/%3）")
            .arg(QString::fromUtf8(RecordKindCaption(progress.kindCode).data(),
                                   static_cast<int>(RecordKindCaption(progress.kindCode).size())))
            .arg(progress.kindIndex + 1)
            .arg(progress.kindCount));
    // The bar counts the kind being read, as the line above it does.
    pbKinds->setRange(0, progress.kindCount);
    pbKinds->setValue(progress.kindIndex + 1);
    pbBlocks->setRange(0, progress.blockCount);
    pbBlocks->setValue(progress.block - 1);
}

void TBackupFrm::ShowEnd(const QString& status, bool everythingRead)
{
    FEnded = true;
    if (everythingRead)
        pbBlocks->setValue(pbBlocks->maximum());
    // The kind line named what was being read; the end status now says how it went.
    lblKind->clear();
    pbKinds->setValue(pbKinds->maximum());
    lblStatus->setText(status);
    btnCancel->setText(QStringLiteral("完成"));
}

void TBackupFrm::reject()
{
    // While the download runs, closing asks it to stop; the window stays up
    // until it has and the workbook is saved.
    if (FEnded) {
        QDialog::reject();
        return;
    }
    FCancelRequested = true;
    lblStatus->setText(QStringLiteral("正在取消……"));
    btnCancel->setEnabled(false);
}
