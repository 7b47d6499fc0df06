// Progress window of a read. It drives a TransactionRun: one tick per poll
// interval, each tick one request, reply and decode, shown in the caption
// panel, the gauge and the status label. Runs modally; StartRun returns when
// the window closes.
#pragma once

#include "codec/codec.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TransactionRun;
class Waiter;

class TWaitEchoFrm : public QDialog {
    Q_OBJECT
public:
    // The period between ticks is waited through `waiter`, like every other
    // fixed wait, so tests run reads on a virtual clock.
    TWaitEchoFrm(TransactionRun& run, Waiter& waiter, QWidget* parent = nullptr);

    void SetPollInterval(int ms);
    int PollInterval() const;

    // Runs blocks beginBlock..endBlock of kindCode modally.
    void StartRun(int endBlock, int beginBlock, Bytes baseRequest, int kindCode);

    // What the window showed when the last run ended (tests and the main window).
    TransactionRun& Run() { return FRun; }

    QLabel* pnlCaption = nullptr;
    QLabel* Image1 = nullptr;
    QProgressBar* Gauge1 = nullptr;
    QLabel* lblCnt = nullptr;
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QTimer* Timer1 = nullptr;

signals:
    // Emitted after every tick, once the window shows its result.
    void TickDone();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Timer1Timer();
    void Btn_OKClick();
    void Btn_CancelClick();
    void ArmTimer();
    void DisarmTimer();
    void ShowRunState();
    void AnimateActivity();

    TransactionRun& FRun;
    Waiter& FWaiter;
    bool FTimerArmed = false;
    bool FInTick = false;
    bool FPausing = false;
    int FActivityPhase = 0;
    QTimer* FActivityTimer = nullptr;
};
