#include "app/wait_echo_frm.h"

#include "protocol/transaction_run.h"
#include "protocol/waiter.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Light grey of the original panels (0xF0F0F0).
const QColor kPanelColour(0xF0, 0xF0, 0xF0);

QPixmap ActivityPicture(int phase)
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr int kDots = 8;
    for (int i = 0; i < kDots; ++i) {
        const double angle = 2 * M_PI * i / kDots;
        const int age = (phase - i + kDots) % kDots;
        QColor colour(0x1E, 0x5A, 0xC8);
        colour.setAlpha(255 - age * 28);
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(16 + 11 * std::cos(angle), 16 + 11 * std::sin(angle)), 3, 3);
    }
    return picture;
}

} // namespace

TWaitEchoFrm::TWaitEchoFrm(TransactionRun& run, Waiter& waiter, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint), FRun(run), FWaiter(waiter)
{
    setObjectName(QStringLiteral("TWaitEchoFrm"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette shade = palette();
    shade.setColor(QPalette::Window, kPanelColour);
    setPalette(shade);

    pnlCaption = new QLabel(this);
    pnlCaption->setObjectName(QStringLiteral("pnlCaption"));
    pnlCaption->setFixedHeight(55);
    pnlCaption->setAlignment(Qt::AlignCenter);
    pnlCaption->setFrameShape(QFrame::Panel);
    pnlCaption->setFrameShadow(QFrame::Raised);
    QFont captionFont = font();
    captionFont.setPixelSize(19);
    captionFont.setBold(true);
    pnlCaption->setFont(captionFont);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(32, 32);
    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setFixedSize(353, 24);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #1E5AC8; }"
                                         "QProgressBar { border: 1px solid grey; text-align: center; }"));
    lblCnt = new QLabel(this);
    lblCnt->setObjectName(QStringLiteral("lblCnt"));
    lblCnt->setFixedWidth(169);
    Btn_OK = new QPushButton(QStringLiteral("完成"), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_Cancel = new QPushButton(QStringLiteral("取消"), this);
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    connect(Btn_OK, &QPushButton::clicked, this, &TWaitEchoFrm::Btn_OKClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &TWaitEchoFrm::Btn_CancelClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(0);
    connect(Timer1, &QTimer::timeout, this, &TWaitEchoFrm::Timer1Timer);
    FActivityTimer = new QTimer(this);
    FActivityTimer->setInterval(120);
    connect(FActivityTimer, &QTimer::timeout, this, &TWaitEchoFrm::AnimateActivity);

    auto* progress = new QHBoxLayout;
    progress->addWidget(Image1);
    progress->addWidget(lblCnt);
    progress->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(pnlCaption);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(11, 4, 11, 0);
    body->addLayout(progress);
    body->addWidget(Gauge1);
    body->addLayout(buttons);
    layout->addLayout(body);
    setFixedSize(376, 172);
}

void TWaitEchoFrm::SetPollInterval(int ms)
{
    FRun.SetPollInterval(ms);
}

int TWaitEchoFrm::PollInterval() const
{
    return FRun.PollInterval();
}

void TWaitEchoFrm::StartRun(int endBlock, int beginBlock, Bytes baseRequest, int kindCode)
{
    FRun.StartRun(endBlock, beginBlock, std::move(baseRequest), kindCode);
    ShowRunState();
    ArmTimer();
    exec();
    DisarmTimer();
    FRun.Close();
}

// The period is waited through the Waiter rather than by the timer itself: the
// timer only hands control to the tick from the window's event loop.
void TWaitEchoFrm::ArmTimer()
{
    FTimerArmed = true;
    Timer1->start();
}

void TWaitEchoFrm::DisarmTimer()
{
    FTimerArmed = false;
    Timer1->stop();
    // The pause before the next block ends with the run: left running, it would
    // hold this window's modal loop open, and a read started meanwhile could not
    // show the window again.
    if (FPausing)
        FWaiter.Interrupt();
}

void TWaitEchoFrm::Timer1Timer()
{
    if (!FTimerArmed || FInTick)
        return;
    FPausing = true;
    FWaiter.Pause(FRun.PauseBeforeTickMs());
    FPausing = false;
    // "完成", "取消" or closing the window while the period ran disarm the timer.
    if (!FTimerArmed)
        return;
    FTimerArmed = false;
    FInTick = true;
    const TickOutcome outcome = FRun.Tick();
    FInTick = false;
    ShowRunState();
    if (outcome == TickOutcome::Closed) {
        done(QDialog::Rejected);
    } else if (outcome == TickOutcome::Again && isVisible()) {
        ArmTimer();
    }
    emit TickDone();
}

void TWaitEchoFrm::ShowRunState()
{
    pnlCaption->setText(QString::fromStdString(FRun.Caption()));
    Gauge1->setMinimum(0);
    Gauge1->setMaximum(FRun.GaugeMax());
    Gauge1->setValue(FRun.GaugePosition());
    lblCnt->setText(QString::fromStdString(FRun.StatusText()));
    Btn_OK->setEnabled(FRun.OkEnabled());
    Btn_Cancel->setEnabled(FRun.CancelEnabled());
    Image1->setVisible(FRun.ImageVisible());
    if (FRun.ImageVisible() && FRun.Running())
        FActivityTimer->start();
    else
        FActivityTimer->stop();
}

void TWaitEchoFrm::AnimateActivity()
{
    FActivityPhase = (FActivityPhase + 1) % 8;
    Image1->setPixmap(ActivityPicture(FActivityPhase));
}

void TWaitEchoFrm::showEvent(QShowEvent* event)
{
    Image1->setPixmap(ActivityPicture(FActivityPhase));
    Image1->setVisible(true);
    QDialog::showEvent(event);
}

void TWaitEchoFrm::Btn_OKClick()
{
    DisarmTimer();
    accept();
}

void TWaitEchoFrm::Btn_CancelClick()
{
    FRun.Cancel();
    Gauge1->setMaximum(FRun.GaugeMax());
    DisarmTimer();
    done(QDialog::Rejected);
}

// Escape and the title bar's close button end the window like "取消" while a
// run is going, so no run outlives its window.
void TWaitEchoFrm::reject()
{
    if (FRun.Running())
        FRun.Cancel();
    DisarmTimer();
    QDialog::reject();
}

void TWaitEchoFrm::closeEvent(QCloseEvent* event)
{
    if (FRun.Running())
        FRun.Cancel();
    DisarmTimer();
    QDialog::closeEvent(event);
}
