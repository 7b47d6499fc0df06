#include "app/chart_window.h"
#include "app/app_texts.h"
#include "app/utf8_text.h"

#include "app/prompter.h"
#include "app/record_table_model.h"

#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
// Markers on every point while a line is short enough for them to stay apart.
constexpr int kMarkedPointsAtMost = 60;
constexpr qreal kWheelZoom = 1.25;
// Arrow keys move the view by this share of the plot area.
constexpr qreal kPanStep = 0.1;

// A time axis over [low, high] (milliseconds of the local clock reading, as the
// axis holds them) widened to whole steps of a round length, so that every tick
// falls on a round time: the shortest step that needs no more than
// kTimeIntervalsAtMost intervals (more labels than that do not fit a window
// and are cut short).
struct TimeTicks {
    double low;
    double high;
    int count;
};
constexpr int kTimeIntervalsAtMost = 6;

TimeTicks roundTimeTicks(double low, double high)
{
    constexpr qint64 kMinute = 60'000;
    constexpr qint64 kHour = 60 * kMinute;
    constexpr qint64 kDay = 24 * kHour;
    // Steps are counted on the local clock: a whole hour or day starts at local midnight.
    const qint64 offset =
        qint64(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(low)).offsetFromUtc()) * 1000;
    const qint64 from = static_cast<qint64>(std::floor(low)) + offset;
    const qint64 to = static_cast<qint64>(std::ceil(high)) + offset;
    const auto fits = [&](qint64 step, TimeTicks& ticks) {
        const qint64 first = from / step * step - (from % step < 0 ? step : 0);
        const qint64 last = to / step * step + (to % step > 0 ? step : 0);
        const qint64 intervals = std::max<qint64>((last - first) / step, 1);
        if (intervals > kTimeIntervalsAtMost)
            return false;
        ticks = {double(first - offset), double(first + intervals * step - offset), int(intervals) + 1};
        return true;
    };
    TimeTicks ticks{low, high, kTimeIntervalsAtMost + 1};
    for (qint64 step : {kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,
                        2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour}) {
        if (fits(step, ticks))
            return ticks;
    }
    for (qint64 days = 1;; days *= 10) {
        for (qint64 times : {1, 2, 5}) {
            if (fits(days * times * kDay, ticks))
                return ticks;
        }
    }
}

// The chart view with wheel zoom around the pointer, keyboard zoom and pan,
// and panning with the middle button; the left button draws the zoom
// rectangle and the right one zooms back out (the view's own rubber band).
class RecordChartView : public QChartView {
public:
    RecordChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent)
    {
        setRubberBand(QChartView::RectangleRubberBand);
        setRenderHint(QPainter::Antialiasing);
        setFocusPolicy(Qt::StrongFocus);
    }

    std::function<void()> resetZoom;
    // Called with the pointer's place in the chart's coordinates on every move.
    std::function<void(const QPointF& at)> pointerAt;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const int steps = event->angleDelta().y();
        if (steps == 0)
            return;
        const qreal factor = steps > 0 ? kWheelZoom : 1 / kWheelZoom;
        const QRectF area = chart()->plotArea();
        QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
        if (!area.contains(at))
            at = area.center();
        QRectF zoomed(QPointF(), area.size() / factor);
        zoomed.moveTopLeft(at - (at - area.topLeft()) / factor);
        chart()->zoomIn(zoomed);
        event->accept();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const QRectF area = chart()->plotArea();
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            chart()->zoom(kWheelZoom);
            break;
        case Qt::Key_Minus:
            chart()->zoom(1 / kWheelZoom);
            break;
        case Qt::Key_Left:
            chart()->scroll(-area.width() * kPanStep, 0);
            break;
        case Qt::Key_Right:
            chart()->scroll(area.width() * kPanStep, 0);
            break;
        case Qt::Key_Up:
            chart()->scroll(0, area.height() * kPanStep);
            break;
        case Qt::Key_Down:
            chart()->scroll(0, -area.height() * kPanStep);
            break;
        case Qt::Key_Home:
        case Qt::Key_0:
            if (resetZoom)
                resetZoom();
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
        }
        event->accept();
    }

    bool viewportEvent(QEvent* event) override
    {
        // The scene would answer the pointer resting with "no tooltip" and hide
        // the value just shown: the value tip answers it instead.
        if (event->type() == QEvent::ToolTip) {
            if (pointerAt)
                pointerAt(chart()->mapFromScene(mapToScene(static_cast<QHelpEvent*>(event)->pos())));
            return true;
        }
        return QChartView::viewportEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::MiddleButton) {
            QChartView::mousePressEvent(event);
            return;
        }
        m_panFrom = event->position();
        m_panning = true;
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_panning) {
            if (pointerAt)
                pointerAt(chart()->mapFromScene(mapToScene(event->position().toPoint())));
            QChartView::mouseMoveEvent(event);
            return;
        }
        const QPointF moved = event->position() - m_panFrom;
        m_panFrom = event->position();
        chart()->scroll(-moved.x(), moved.y());
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::MiddleButton && m_panning) {
            m_panning = false;
            event->accept();
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }

private:
    QPointF m_panFrom;
    bool m_panning = false;
};

} // namespace

ChartWindow::ChartWindow(RecordTableModel& model, Prompter& prompter, QString saveDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(model), m_prompter(prompter),
      m_saveDirectory(std::move(saveDirectory))
{
    setObjectName(QStringLiteral("chartWindow"));
    setWindowTitle(QStringLiteral("曲线"));
    resize(960, 600);

    auto* chart = new QChart();
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Axis labels in the same digits whatever the operator's locale.
    chart->setLocalizeNumbers(false);
    m_axisY = new QValueAxis(chart);
    m_axisY->setLabelFormat(QStringLiteral("%.6g"));
    chart->addAxis(m_axisY, Qt::AlignLeft);
    connect(m_axisY, &QValueAxis::rangeChanged, this, &ChartWindow::roundYLabels);
    auto* view = new RecordChartView(chart, this);
    view->resetZoom = [this] { onResetClicked(); };
    view->pointerAt = [this](const QPointF& at) { showValueTip(at); };
    m_chartView = view;
    m_chartView->setObjectName(QStringLiteral("ChartView1"));

    m_columnList = new QListWidget(this);
    m_columnList->setObjectName(QStringLiteral("lstColumns"));
    connect(m_columnList, &QListWidget::itemChanged, this, &ChartWindow::columnItemChanged);
    m_resetButton = new QPushButton(QStringLiteral("复位"), this);
    m_resetButton->setObjectName(QStringLiteral("btnReset"));
    connect(m_resetButton, &QPushButton::clicked, this, &ChartWindow::onResetClicked);
    m_saveButton = new QPushButton(QStringLiteral("保存图片"), this);
    m_saveButton->setObjectName(QStringLiteral("btnSave"));
    connect(m_saveButton, &QPushButton::clicked, this, &ChartWindow::onSaveClicked);

    auto* side = new QVBoxLayout();
    side->addWidget(new QLabel(QStringLiteral("曲线项目"), this));
    side->addWidget(m_columnList, 1);
    // The help sits beside the chart, not in a tooltip that would cover the values' tooltips.
    auto* hint =
        new QLabel(QStringLiteral("框选放大，右键缩小，滚轮缩放，方向键或中键拖动平移，Home 复位"), this);
    hint->setWordWrap(true);
    side->addWidget(hint);
    side->addWidget(m_resetButton);
    side->addWidget(m_saveButton);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(side);
    layout->addWidget(m_chartView, 1);
    m_columnList->setFixedWidth(190);

    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &ChartWindow::scheduleRefresh);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ChartWindow::scheduleRefresh);
    refresh();
}

ChartWindow::~ChartWindow() = default;

QChart* ChartWindow::chart() const
{
    return m_chartView->chart();
}

QLineSeries* ChartWindow::seriesOf(int column) const
{
    const auto found = m_series.find(column);
    return found == m_series.end() ? nullptr : found->second;
}

void ChartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void ChartWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ChartWindow::setSubject(std::function<Subject()> subject)
{
    m_subject = std::move(subject);
    updateTitle();
}

QString ChartWindow::title() const
{
    return chart()->title();
}

void ChartWindow::updateTitle()
{
    QStringList parts;
    if (m_subject) {
        const Subject subject = m_subject();
        parts << subject.kind + QStringLiteral("    流量计地址：") + QString::number(subject.address);
    }
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    for (const RecordSeries& series : m_data.series) {
        for (const SeriesPoint& point : series.points) {
            first = std::min(first, point.x);
            last = std::max(last, point.x);
        }
    }
    if (first > last) {
        parts << QStringLiteral("无数据");
    } else if (m_data.timeColumn >= 0) {
        // The meter's own clock reading, shown as read.
        const auto reading = [](double seconds) {
            return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC).toString(kTimeFormat);
        };
        parts << reading(first) + QStringLiteral(" 至 ") + reading(last);
    } else {
        parts << QStringLiteral("%1 %2 至 %3")
                     .arg(toQString(m_data.xCaption), QString::number(first, 'g', 12),
                          QString::number(last, 'g', 12));
    }
    parts.removeAll(QString());
    chart()->setTitle(parts.join(QStringLiteral("    ")));
}

void ChartWindow::roundYLabels(qreal low, qreal high)
{
    const int ticks = std::max(m_axisY->tickCount(), 2);
    const double step = (high - low) / (ticks - 1);
    int decimals = 0;
    if (step > 0 && std::isfinite(step))
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    const QString format = QStringLiteral("%.%1f").arg(decimals);
    if (m_axisY->labelFormat() != format)
        m_axisY->setLabelFormat(format);
}

void ChartWindow::scheduleRefresh()
{
    // A read appends rows one by one: read the table once per turn of the
    // event loop, and not at all while nobody looks.
    if (m_refreshPending || !isVisible())
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshPending)
            refresh();
    });
}

void ChartWindow::refresh()
{
    m_refreshPending = false;
    const RecordTable& table = m_model.table();
    std::vector<std::string> captions;
    for (const TableColumn& column : table.columns())
        captions.push_back(column.caption);
    const bool anotherKind = captions != m_tableCaptions;
    if (anotherKind) {
        // Start again with the first quantity of the new kind.
        m_tableCaptions = std::move(captions);
        m_shownColumns.clear();
    }
    const bool wasTime = m_data.timeColumn >= 0;
    const bool hadSeries = !anotherKind && !m_data.series.empty();
    m_data = extractRecordSeries(table);
    if (m_shownColumns.empty() && !hadSeries && !m_data.series.empty())
        m_shownColumns.insert(m_data.series.front().column);
    rebuildColumnList();
    if (!m_axisX || wasTime != (m_data.timeColumn >= 0))
        replaceXAxis();
    m_axisX->setTitleText(toQString(m_data.xCaption));
    updateSeries();
    updateTitle();
    // While the operator looks at a zoomed part, new rows must not move it.
    if (!chart()->isZoomed())
        fitAxes();
}

void ChartWindow::rebuildColumnList()
{
    QSignalBlocker blocker(m_columnList);
    const int keptRow = m_columnList->currentRow();
    m_columnList->clear();
    for (const RecordSeries& series : m_data.series) {
        auto* item = new QListWidgetItem(toQString(series.caption), m_columnList);
        item->setData(Qt::UserRole, series.column);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(m_shownColumns.count(series.column) ? Qt::Checked : Qt::Unchecked);
    }
    if (keptRow < m_columnList->count())
        m_columnList->setCurrentRow(keptRow);
}

void ChartWindow::columnItemChanged(QListWidgetItem* item)
{
    setColumnShown(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
}

void ChartWindow::setColumnShown(int column, bool shown)
{
    if (shown)
        m_shownColumns.insert(column);
    else
        m_shownColumns.erase(column);
    {
        QSignalBlocker blocker(m_columnList);
        for (int i = 0; i < m_columnList->count(); ++i) {
            QListWidgetItem* item = m_columnList->item(i);
            if (item->data(Qt::UserRole).toInt() == column)
                item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        }
    }
    updateSeries();
    if (!chart()->isZoomed())
        fitAxes();
}

void ChartWindow::replaceXAxis()
{
    if (m_axisX) {
        chart()->removeAxis(m_axisX);
        delete m_axisX;
    }
    m_axisXIsTime = m_data.timeColumn >= 0;
    if (m_axisXIsTime) {
        auto* axis = new QDateTimeAxis(chart());
        axis->setFormat(QStringLiteral("MM-dd hh:mm"));
        m_axisX = axis;
    } else {
        auto* axis = new QValueAxis(chart());
        axis->setLabelFormat(QStringLiteral("%.0f"));
        m_axisX = axis;
    }
    chart()->addAxis(m_axisX, Qt::AlignBottom);
    for (const auto& [column, series] : m_series)
        series->attachAxis(m_axisX);
}

double ChartWindow::axisX(double x) const
{
    if (!m_axisXIsTime)
        return x;
    // The meter's clock reading is shown as the same reading on this computer's clock.
    const QDateTime meterClock = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(x), Qt::UTC);
    return static_cast<double>(QDateTime(meterClock.date(), meterClock.time()).toMSecsSinceEpoch());
}

void ChartWindow::updateSeries()
{
    for (auto it = m_series.begin(); it != m_series.end();) {
        const bool stillShown = m_shownColumns.count(it->first) &&
                                std::any_of(m_data.series.begin(), m_data.series.end(),
                                            [&](const RecordSeries& s) { return s.column == it->first; });
        if (stillShown) {
            ++it;
            continue;
        }
        chart()->removeSeries(it->second);
        delete it->second;
        it = m_series.erase(it);
    }
    for (const RecordSeries& data : m_data.series) {
        if (!m_shownColumns.count(data.column))
            continue;
        QLineSeries*& series = m_series[data.column];
        if (!series) {
            series = new QLineSeries(chart());
            series->setName(toQString(data.caption));
            chart()->addSeries(series);
            series->attachAxis(m_axisX);
            series->attachAxis(m_axisY);
        }
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(data.points.size()));
        for (const SeriesPoint& point : data.points)
            points.append(QPointF(axisX(point.x), point.y));
        series->replace(points);
        series->setPointsVisible(points.size() <= kMarkedPointsAtMost);
    }
}

void ChartWindow::fitAxes()
{
    double lowX = std::numeric_limits<double>::max();
    double highX = std::numeric_limits<double>::lowest();
    double lowY = lowX;
    double highY = highX;
    for (const auto& [column, series] : m_series) {
        for (const QPointF& point : series->points()) {
            lowX = std::min(lowX, point.x());
            highX = std::max(highX, point.x());
            lowY = std::min(lowY, point.y());
            highY = std::max(highY, point.y());
        }
    }
    // Nothing to draw: no tick labels that would read as data ("0 0 1 1 1");
    // the title says "无数据". Nor the x caption: without labels its axis has
    // no room left for it and Qt would draw "..." instead.
    const bool empty = lowX > highX;
    m_axisX->setLabelsVisible(!empty);
    m_axisX->setTitleVisible(!empty);
    m_axisY->setLabelsVisible(!empty);
    if (empty) {
        lowX = m_axisXIsTime ? axisX(0) : 0;
        highX = m_axisXIsTime ? axisX(86400) : 1;
        lowY = 0;
        highY = 1;
    }
    if (lowX == highX) {
        // One record: an hour (or one record number) either side of it.
        const double half = m_axisXIsTime ? 3600'000.0 : 1.0;
        lowX -= half;
        highX += half;
    }
    const double margin = highY > lowY ? (highY - lowY) * 0.05 : std::max(1.0, std::abs(highY) * 0.05);
    if (m_axisXIsTime) {
        const TimeTicks ticks = roundTimeTicks(lowX, highX);
        auto* axis = static_cast<QDateTimeAxis*>(m_axisX);
        axis->setTickCount(ticks.count);
        axis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ticks.low)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ticks.high)));
    } else {
        static_cast<QValueAxis*>(m_axisX)->setRange(lowX, highX);
    }
    m_axisY->setRange(lowY - margin, highY + margin);
    // Round tick values read better than the data's own extremes.
    m_axisY->applyNiceNumbers();
}

void ChartWindow::showValueTip(const QPointF& at)
{
    // The record drawn nearest to the pointer, when it is close enough to be
    // the one meant; a thin line alone is too hard to hit.
    constexpr qreal kReachPixels = 8;
    qreal best = kReachPixels * kReachPixels;
    const QLineSeries* bestSeries = nullptr;
    QPointF bestPoint;
    for (const auto& [column, series] : m_series) {
        for (const QPointF& point : series->points()) {
            const QPointF offset = chart()->mapToPosition(point, series) - at;
            const qreal distance = QPointF::dotProduct(offset, offset);
            if (distance <= best) {
                best = distance;
                bestSeries = series;
                bestPoint = point;
            }
        }
    }
    if (!bestSeries) {
        QToolTip::hideText();
        return;
    }
    const QString x =
        m_axisXIsTime
            ? QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(bestPoint.x())).toString(kTimeFormat)
            : toQString(m_data.xCaption) + QLatin1Char(' ') + QString::number(bestPoint.x(), 'g', 12);
    QToolTip::showText(QCursor::pos(),
                       bestSeries->name() + QLatin1Char('\n') + x + QLatin1Char('\n') +
                           QString::number(bestPoint.y(), 'g', 12),
                       m_chartView);
}

void ChartWindow::onResetClicked()
{
    chart()->zoomReset();
    fitAxes();
}

void ChartWindow::onSaveClicked()
{
    // Proposed: kind, meter address and today's date, e.g. "实时记录500组_23_2026-12-09.png".
    QStringList parts;
    if (m_subject) {
        const Subject subject = m_subject();
        parts << subject.kind << QString::number(subject.address);
    }
    parts << QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    parts.removeAll(QString());
    QString proposed = parts.join(QLatin1Char('_')) + QStringLiteral(".png");
    // Characters no file name may hold on Windows.
    proposed.replace(QRegularExpression(QStringLiteral(R"([\\/:*?"<>|])")), QStringLiteral("_"));
    QString name = m_prompter.saveFileName(this, QStringLiteral("保存图片"),
                                           QDir(m_saveDirectory).filePath(proposed), QStringLiteral("*.png"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".png");
    if (QFileInfo::exists(name) &&
        !m_prompter.ask(this, QStringLiteral("文件已经存在，是否覆盖原文件？"), kInfoCaption))
        return;
    if (!saveImage(name)) {
        m_prompter.warn(this, QStringLiteral("保存有误，请重新试一次。"), kWarnCaption);
        return;
    }
    m_prompter.inform(this, QStringLiteral("曲线图片保存成功！"), kInfoCaption);
}

bool ChartWindow::saveImage(const QString& fileName)
{
    const QPixmap picture = m_chartView->grab();
    // The image goes to a temporary file beside the target and replaces it only when complete.
    QSaveFile file(fileName);
    return !picture.isNull() && file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") &&
           file.commit();
}
