// Progress of "备份全部记录": which kind is being read, the kinds done and the
// blocks of the current kind, and "取消", which ends the download after the
// block in progress (what was read so far is still saved).
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
struct ArchiveProgress;

class BackupDialog : public QDialog {
    Q_OBJECT
public:
    explicit BackupDialog(QWidget* parent = nullptr);

    void showProgress(const ArchiveProgress& progress);
    // The download ended: the status line says how, "取消" becomes "完成"; with
    // `everythingRead` the block bar shows the last kind's blocks all read.
    void showEnd(const QString& status, bool everythingRead);
    bool cancelRequested() const { return m_cancelRequested; }

    QLabel* m_kindLabel = nullptr;
    QProgressBar* m_kindProgress = nullptr;
    QProgressBar* m_blockProgress = nullptr;
    QLabel* m_statusLabel = nullptr;
    QPushButton* m_cancelButton = nullptr;

protected:
    void reject() override;

private:
    bool m_cancelRequested = false;
    bool m_ended = false;
};
