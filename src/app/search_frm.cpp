#include "app/search_frm.h"

#include "catalogue/catalogue.h"
#include "protocol/meter_scan.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

TSearchFrm::TSearchFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSearchFrm"));
    setWindowTitle(QStringLiteral("搜索流量计"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    spFrom = new QSpinBox(this);
    spFrom->setObjectName(QStringLiteral("spFrom"));
    spFrom->setRange(1, 247);
    spFrom->setValue(1);
    spTo = new QSpinBox(this);
    spTo->setObjectName(QStringLiteral("spTo"));
    spTo->setRange(1, 247);
    spTo->setValue(247);
    btnSearch = new QPushButton(QStringLiteral("搜索"), this);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnStop = new QPushButton(QStringLiteral("停止"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setEnabled(false);
    connect(btnSearch, &QPushButton::clicked, this, &TSearchFrm::Search);
    connect(btnStop, &QPushButton::clicked, this, [this] { FStopRequested = true; });

    lstMeters = new QTableWidget(0, 2, this);
    lstMeters->setObjectName(QStringLiteral("lstMeters"));
    lstMeters->setHorizontalHeaderLabels({QStringLiteral("地址"), QStringLiteral("设备类型")});
    lstMeters->horizontalHeader()->setStretchLastSection(true);
    lstMeters->verticalHeader()->hide();
    lstMeters->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstMeters->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstMeters->setSelectionMode(QAbstractItemView::SingleSelection);
    lstMeters->setColumnWidth(0, 60);
    connect(lstMeters, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (FSearching)
            return;
        FChosenAddress = lstMeters->item(row, 0)->text().toInt();
        accept();
    });
    lblStatus = new QLabel(QStringLiteral("双击流量计即设为当前地址。"), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("地址从"), this));
    range->addWidget(spFrom);
    range->addWidget(new QLabel(QStringLiteral("到"), this));
    range->addWidget(spTo);
    range->addStretch();
    range->addWidget(btnSearch);
    range->addWidget(btnStop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(lstMeters, 1);
    layout->addWidget(lblStatus);
    resize(420, 320);
}

int TSearchFrm::From() const
{
    return std::min(spFrom->value(), spTo->value());
}

int TSearchFrm::To() const
{
    return std::max(spFrom->value(), spTo->value());
}

void TSearchFrm::Search()
{
    if (FSearching || !OnSearch)
        return;
    FSearching = true;
    FStopRequested = false;
    lstMeters->setRowCount(0);
    btnSearch->setEnabled(false);
    btnStop->setEnabled(true);
    OnSearch();
    FSearching = false;
    btnSearch->setEnabled(true);
    btnStop->setEnabled(false);
}

bool TSearchFrm::ShowProbing(int address)
{
    lblStatus->setText(QStringLiteral("正在搜索地址 %1（%2 - %3）……").arg(address).arg(From()).arg(To()));
    return !FStopRequested;
}

void TSearchFrm::AddMeter(const FoundMeter& meter)
{
    const int row = lstMeters->rowCount();
    lstMeters->insertRow(row);
    const std::string_view caption = DeviceTypeCaption(meter.deviceType);
    lstMeters->setItem(row, 0, new QTableWidgetItem(QString::number(meter.address)));
    lstMeters->setItem(
        row, 1,
        new QTableWidgetItem(QString::number(meter.deviceType) + QStringLiteral(" ") +
                             QString::fromUtf8(caption.data(), static_cast<int>(caption.size()))));
}

void TSearchFrm::ShowEnd(const QString& status)
{
    lblStatus->setText(status);
}

void TSearchFrm::reject()
{
    // Closing while probing stops the search first; the window goes once it has.
    if (FSearching) {
        FStopRequested = true;
        return;
    }
    QDialog::reject();
}
