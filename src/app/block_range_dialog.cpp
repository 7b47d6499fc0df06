#include "app/block_range_dialog.h"
#include "app/dialog_buttons.h"

#include "app/prompter.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* makeBlockField(QWidget* parent, const char* name)
{
    auto* field = new QSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(1, 1000);
    field->setValue(1);
    field->setMinimumWidth(80);
    return field;
}

} // namespace

BlockRangeDialog::BlockRangeDialog(QWidget* parent, Prompter* prompter)
    : QDialog(parent), m_prompter(prompter)
{
    setObjectName(QStringLiteral("TNumFrm"));
    setWindowTitle(QStringLiteral("流量计实时记录调试系统V2.0"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_captionLabel = new QLabel(this);
    m_captionLabel->setObjectName(QStringLiteral("Panel1"));
    m_captionLabel->setFixedHeight(57);
    m_captionLabel->setAlignment(Qt::AlignCenter);
    QFont captionFont = font();
    captionFont.setPixelSize(19);
    captionFont.setBold(true);
    m_captionLabel->setFont(captionFont);
    m_captionLabel->setStyleSheet(QStringLiteral("color: blue;"));
    m_captionLabel->setFrameShape(QFrame::Panel);
    m_captionLabel->setFrameShadow(QFrame::Raised);

    auto* group = new QGroupBox(QStringLiteral("读取记录"), this);
    m_beginSpin = makeBlockField(group, "SPBegin");
    m_endSpin = makeBlockField(group, "SpEnd");
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("读取条数：从"), group));
    row->addWidget(m_beginSpin);
    row->addWidget(new QLabel(QStringLiteral("至"), group));
    row->addWidget(m_endSpin);
    row->addStretch();

    // Centred under the fields.
    QDialogButtonBox* buttons = okCancelButtons(this);
    buttons->setCenterButtons(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(m_captionLabel);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 8, 16, 8);
    body->addWidget(group);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
    setFixedSize(347, 252);
}

void BlockRangeDialog::prepare(const QString& kindCaption, int blockCount)
{
    m_captionLabel->setText(kindCaption);
    m_beginSpin->setMinimum(1);
    m_endSpin->setMaximum(blockCount);
    m_endSpin->setValue(blockCount);
}

int BlockRangeDialog::beginBlock() const
{
    return m_beginSpin->value();
}

int BlockRangeDialog::endBlock() const
{
    return m_endSpin->value();
}

void BlockRangeDialog::accept()
{
    if (beginBlock() > endBlock()) {
        if (m_prompter)
            m_prompter->warn(this, QStringLiteral("起始条数不能大于结束条数，请重新输入！"),
                             QStringLiteral("警告信息"));
        m_beginSpin->setFocus();
        return;
    }
    QDialog::accept();
}
