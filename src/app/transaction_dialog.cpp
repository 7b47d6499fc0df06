#include "app/transaction_dialog.h"

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

QPixmap activityPicture(int phase)
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

TransactionDialog::TransactionDialog(TransactionRun& run, Waiter& waiter, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint), m_run(run), m_waiter(waiter)
{
    setObjectName(QStringLiteral("TWaitEchoFrm"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette shade = palette();
    shade.setColor(QPalette::Window, kPanelColour);
    setPalette(shade);

    m_captionLabel = new QLabel(this);
    m_captionLabel->setObjectName(QStringLiteral("pnlCaption"));
    m_captionLabel->setFixedHeight(55);
    m_captionLabel->setAlignment(Qt::AlignCenter);
    m_captionLabel->setFrameShape(QFrame::Panel);
    m_captionLabel->setFrameShadow(QFrame::Raised);
    QFont captionFont = font();
    captionFont.setPixelSize(19);
    captionFont.setBold(true);
    m_captionLabel->setFont(captionFont);

    m_activityImage = new QLabel(this);
    m_activityImage->setObjectName(QStringLiteral("Image1"));
    m_activityImage->setFixedSize(32, 32);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("Gauge1"));
    m_progressBar->setFixedSize(353, 24);
    m_progressBar->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: #1E5AC8; }"
                       "QProgressBar { border: 1px solid grey; text-align: center; }"));
    m_countLabel = new QLabel(this);
    m_countLabel->setObjectName(QStringLiteral("lblCnt"));
    m_countLabel->setFixedWidth(169);
    m_okButton = new QPushButton(QStringLiteral("完成"), this);
    m_okButton->setObjectName(QStringLiteral("Btn_OK"));
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("Btn_Cancel"));
    connect(m_okButton, &QPushButton::clicked, this, &TransactionDialog::onOkClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &TransactionDialog::onCancelClicked);

    m_tickTimer = new QTimer(this);
    m_tickTimer->setObjectName(QStringLiteral("Timer1"));
    m_tickTimer->setSingleShot(true);
    m_tickTimer->setInterval(0);
    connect(m_tickTimer, &QTimer::timeout, this, &TransactionDialog::onTick);
    m_activityTimer = new QTimer(this);
    m_activityTimer->setInterval(120);
    connect(m_activityTimer, &QTimer::timeout, this, &TransactionDialog::animateActivity);

    auto* progress = new QHBoxLayout;
    progress->addWidget(m_activityImage);
    progress->addWidget(m_countLabel);
    progress->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(m_captionLabel);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(11, 4, 11, 0);
    body->addLayout(progress);
    body->addWidget(m_progressBar);
    body->addLayout(buttons);
    layout->addLayout(body);
    setFixedSize(376, 172);
}

int TransactionDialog::pollInterval() const
{
    return m_run.pollInterval();
}

void TransactionDialog::startRun(const PreparedKind& kind, const BaseRequest& base, const ReadPlan& plan)
{
    m_run.start(kind, base, plan);
    showRunState();
    armTimer();
    exec();
    disarmTimer();
    m_run.close();
}

// The period is waited through the Waiter rather than by the timer itself: the
// timer only hands control to the tick from the window's event loop.
void TransactionDialog::armTimer()
{
    m_timerArmed = true;
    m_tickTimer->start();
}

void TransactionDialog::disarmTimer()
{
    m_timerArmed = false;
    m_tickTimer->stop();
    // The pause before the next block ends with the run: left running, it would
    // hold this window's modal loop open, and a read started meanwhile could not
    // show the window again.
    if (m_pausing)
        m_waiter.interrupt();
}

void TransactionDialog::onTick()
{
    if (!m_timerArmed || m_inTick)
        return;
    m_pausing = true;
    m_waiter.pause(m_run.pauseBeforeTickMs());
    m_pausing = false;
    // "完成", "取消" or closing the window while the period ran disarm the timer.
    if (!m_timerArmed)
        return;
    m_timerArmed = false;
    m_inTick = true;
    const TickOutcome outcome = m_run.tick();
    m_inTick = false;
    showRunState();
    if (outcome == TickOutcome::Closed) {
        done(QDialog::Rejected);
    } else if (outcome == TickOutcome::Again && isVisible()) {
        armTimer();
    }
    emit tickDone();
}

void TransactionDialog::showRunState()
{
    const RunProgress shown = runProgressOf(m_run);
    m_captionLabel->setText(QString::fromStdString(shown.caption));
    m_progressBar->setMinimum(0);
    m_progressBar->setMaximum(shown.gaugeMax);
    m_progressBar->setValue(shown.gaugePosition);
    m_countLabel->setText(QString::fromStdString(shown.statusText));
    m_okButton->setEnabled(shown.okEnabled);
    m_cancelButton->setEnabled(shown.cancelEnabled);
    m_activityImage->setVisible(shown.activityVisible);
    if (shown.activityVisible && m_run.running())
        m_activityTimer->start();
    else
        m_activityTimer->stop();
}

void TransactionDialog::animateActivity()
{
    m_activityPhase = (m_activityPhase + 1) % 8;
    m_activityImage->setPixmap(activityPicture(m_activityPhase));
}

void TransactionDialog::showEvent(QShowEvent* event)
{
    m_activityImage->setPixmap(activityPicture(m_activityPhase));
    m_activityImage->setVisible(true);
    QDialog::showEvent(event);
}

void TransactionDialog::onOkClicked()
{
    disarmTimer();
    accept();
}

void TransactionDialog::onCancelClicked()
{
    m_run.cancel();
    disarmTimer();
    done(QDialog::Rejected);
}

// Escape and the title bar's close button end the window like "取消" while a
// run is going, so no run outlives its window.
void TransactionDialog::reject()
{
    if (m_run.running())
        m_run.cancel();
    disarmTimer();
    QDialog::reject();
}

void TransactionDialog::closeEvent(QCloseEvent* event)
{
    if (m_run.running())
        m_run.cancel();
    disarmTimer();
    QDialog::closeEvent(event);
}
