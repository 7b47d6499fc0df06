// Progress window of a read. It drives a TransactionRun: one tick per poll
// interval, each tick one request, reply and decode, shown in the caption
// panel, the gauge and the status label as RunProgressOf tells. Runs modally;
// StartRun returns when the window closes.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TransactionRun;
struct BaseRequest;
struct PreparedKind;
struct ReadPlan;
class Waiter;

class TransactionDialog : public QDialog {
    Q_OBJECT
public:
    // The period between ticks is waited through `waiter`, like every other
    // fixed wait, so tests run reads on a virtual clock.
    TransactionDialog(TransactionRun& run, Waiter& waiter, QWidget* parent = nullptr);

    // Poll interval of the last run.
    int pollInterval() const;

    // Runs the plan's blocks of `kind` modally.
    void startRun(const PreparedKind& kind, const BaseRequest& base, const ReadPlan& plan);

    // What the window showed when the last run ended (tests and the main window).
    TransactionRun& run() { return m_run; }

    QLabel* m_captionLabel = nullptr;
    QLabel* m_activityImage = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_countLabel = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QTimer* m_tickTimer = nullptr;

signals:
    // Emitted after every tick, once the window shows its result.
    void tickDone();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void onTick();
    void onOkClicked();
    void onCancelClicked();
    void armTimer();
    void disarmTimer();
    void showRunState();
    void animateActivity();

    TransactionRun& m_run;
    Waiter& m_waiter;
    bool m_timerArmed = false;
    bool m_inTick = false;
    bool m_pausing = false;
    int m_activityPhase = 0;
    QTimer* m_activityTimer = nullptr;
};
