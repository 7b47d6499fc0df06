#include "app/search_dialog.h"

#include "app/utf8_text.h"

#include "catalogue/catalogue.h"
#include "protocol/meter_scan.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

SearchDialog::SearchDialog(const DeviceRegistry& registry, QWidget* parent)
    : QDialog(parent), m_registry(registry)
{
    setObjectName(QStringLiteral("searchDialog"));
    setWindowTitle(QStringLiteral("搜索流量计"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_fromSpin = new QSpinBox(this);
    m_fromSpin->setObjectName(QStringLiteral("spFrom"));
    m_fromSpin->setRange(1, 247);
    m_fromSpin->setValue(1);
    m_toSpin = new QSpinBox(this);
    m_toSpin->setObjectName(QStringLiteral("spTo"));
    m_toSpin->setRange(1, 247);
    m_toSpin->setValue(247);
    m_searchButton = new QPushButton(QStringLiteral("搜索"), this);
    m_searchButton->setObjectName(QStringLiteral("btnSearch"));
    m_stopButton = new QPushButton(QStringLiteral("停止"), this);
    m_stopButton->setObjectName(QStringLiteral("btnStop"));
    m_stopButton->setEnabled(false);
    connect(m_searchButton, &QPushButton::clicked, this, &SearchDialog::search);
    connect(m_stopButton, &QPushButton::clicked, this, [this] { m_stopRequested = true; });

    m_meterList = new QTableWidget(0, 2, this);
    m_meterList->setObjectName(QStringLiteral("lstMeters"));
    m_meterList->setHorizontalHeaderLabels({QStringLiteral("地址"), QStringLiteral("设备类型")});
    m_meterList->horizontalHeader()->setStretchLastSection(true);
    m_meterList->verticalHeader()->hide();
    m_meterList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_meterList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_meterList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_meterList->setColumnWidth(0, 60);
    connect(m_meterList, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (m_searching)
            return;
        m_chosenAddress = m_meterList->item(row, 0)->text().toInt();
        accept();
    });
    m_statusLabel = new QLabel(QStringLiteral("双击流量计即设为当前地址。"), this);
    m_statusLabel->setObjectName(QStringLiteral("lblStatus"));

    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("地址从"), this));
    range->addWidget(m_fromSpin);
    range->addWidget(new QLabel(QStringLiteral("到"), this));
    range->addWidget(m_toSpin);
    range->addStretch();
    range->addWidget(m_searchButton);
    range->addWidget(m_stopButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(m_meterList, 1);
    layout->addWidget(m_statusLabel);
    resize(420, 320);
}

int SearchDialog::from() const
{
    return std::min(m_fromSpin->value(), m_toSpin->value());
}

int SearchDialog::to() const
{
    return std::max(m_fromSpin->value(), m_toSpin->value());
}

void SearchDialog::search()
{
    if (m_searching)
        return;
    m_searching = true;
    m_stopRequested = false;
    m_meterList->setRowCount(0);
    m_searchButton->setEnabled(false);
    m_stopButton->setEnabled(true);
    emit searchRequested();
    m_searching = false;
    m_searchButton->setEnabled(true);
    m_stopButton->setEnabled(false);
}

bool SearchDialog::showProbing(int address)
{
    m_statusLabel->setText(QStringLiteral("正在搜索地址 %1（%2 - %3）……").arg(address).arg(from()).arg(to()));
    return !m_stopRequested;
}

void SearchDialog::addMeter(const FoundMeter& meter)
{
    const int row = m_meterList->rowCount();
    m_meterList->insertRow(row);
    const std::string_view caption = deviceTypeCaption(m_registry, meter.deviceType);
    m_meterList->setItem(row, 0, new QTableWidgetItem(QString::number(meter.address)));
    m_meterList->setItem(
        row, 1,
        new QTableWidgetItem(QString::number(meter.deviceType) + QStringLiteral(" ") + toQString(caption)));
}

void SearchDialog::showEnd(const QString& status)
{
    m_statusLabel->setText(status);
}

void SearchDialog::reject()
{
    // Closing while probing stops the search first; the window goes once it has.
    if (m_searching) {
        m_stopRequested = true;
        return;
    }
    QDialog::reject();
}
