// Progress of "备份全部记录": which kind is being read, the kinds done and the
// blocks of the current kind, and "取消", which ends the download after the
// block in progress (what was read so far is still saved).
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
struct ArchiveProgress;

class TBackupFrm : public QDialog {
    Q_OBJECT
public:
    explicit TBackupFrm(QWidget* parent = nullptr);

    void ShowProgress(const ArchiveProgress& progress);
    // The download ended: the status line says how, "取消" becomes "完成"; with
    // `everythingRead` the block bar shows the last kind's blocks all read.
    void ShowEnd(const QString& status, bool everythingRead);
    bool CancelRequested() const { return FCancelRequested; }

    QLabel* lblKind = nullptr;
    QProgressBar* pbKinds = nullptr;
    QProgressBar* pbBlocks = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void reject() override;

private:
    bool FCancelRequested = false;
    bool FEnded = false;
};
