#include "app/num_frm.h"

#include "app/prompter.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* MakeBlockField(QWidget* parent, const char* name)
{
    auto* field = new QSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(1, 1000);
    field->setValue(1);
    field->setMinimumWidth(80);
    return field;
}

} // namespace

TNumFrm::TNumFrm(QWidget* parent, Prompter* prompter) : QDialog(parent), FPrompter(prompter)
{
    setObjectName(QStringLiteral("TNumFrm"));
    setWindowTitle(QStringLiteral("流量计实时记录调试系统V2.0"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Panel1 = new QLabel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(57);
    Panel1->setAlignment(Qt::AlignCenter);
    QFont captionFont = font();
    captionFont.setPixelSize(19);
    captionFont.setBold(true);
    Panel1->setFont(captionFont);
    Panel1->setStyleSheet(QStringLiteral("color: blue;"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    auto* group = new QGroupBox(QStringLiteral("读取记录"), this);
    SPBegin = MakeBlockField(group, "SPBegin");
    SpEnd = MakeBlockField(group, "SpEnd");
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("读取条数：从"), group));
    row->addWidget(SPBegin);
    row->addWidget(new QLabel(QStringLiteral("至"), group));
    row->addWidget(SpEnd);
    row->addStretch();

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(Panel1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 8, 16, 8);
    body->addWidget(group);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    setFixedSize(347, 252);
}

void TNumFrm::Prepare(const QString& kindCaption, int blockCount)
{
    Panel1->setText(kindCaption);
    SPBegin->setMinimum(1);
    SpEnd->setMaximum(blockCount);
    SpEnd->setValue(blockCount);
}

int TNumFrm::BeginBlock() const
{
    return SPBegin->value();
}

int TNumFrm::EndBlock() const
{
    return SpEnd->value();
}

void TNumFrm::accept()
{
    if (BeginBlock() > EndBlock()) {
        if (FPrompter)
            FPrompter->Warn(this, QStringLiteral("起始条数不能大于结束条数，请重新输入！"),
                            QStringLiteral("警告信息"));
        SPBegin->setFocus();
        return;
    }
    QDialog::accept();
}
