#include "app/chart_frm.h"

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
#include <QSaveFile>
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

const QString kInfoCaption = QStringLiteral("信息提示");
const QString kWarnCaption = QStringLiteral("警告信息");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
// Markers on every point while a line is short enough for them to stay apart.
constexpr int kMarkedPointsAtMost = 60;
constexpr qreal kWheelZoom = 1.25;
// Arrow keys move the view by this share of the plot area.
constexpr qreal kPanStep = 0.1;

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

    std::function<void()> ResetZoom;
    // Called with the pointer's place in the chart's coordinates on every move.
    std::function<void(const QPointF& at)> PointerAt;

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
            if (ResetZoom)
                ResetZoom();
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
            if (PointerAt)
                PointerAt(chart()->mapFromScene(mapToScene(static_cast<QHelpEvent*>(event)->pos())));
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
        FPanFrom = event->position();
        FPanning = true;
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!FPanning) {
            if (PointerAt)
                PointerAt(chart()->mapFromScene(mapToScene(event->position().toPoint())));
            QChartView::mouseMoveEvent(event);
            return;
        }
        const QPointF moved = event->position() - FPanFrom;
        FPanFrom = event->position();
        chart()->scroll(-moved.x(), moved.y());
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::MiddleButton && FPanning) {
            FPanning = false;
            event->accept();
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }

private:
    QPointF FPanFrom;
    bool FPanning = false;
};

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TChartFrm::TChartFrm(RecordTableModel& model, Prompter& prompter, QString saveDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window), FModel(model), FPrompter(prompter),
      FSaveDirectory(std::move(saveDirectory))
{
    setObjectName(QStringLiteral("TChartFrm"));
    setWindowTitle(QStringLiteral("曲线"));
    resize(960, 600);

    auto* chart = new QChart();
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Axis labels in the same digits whatever the operator's locale.
    chart->setLocalizeNumbers(false);
    FAxisY = new QValueAxis(chart);
    FAxisY->setLabelFormat(QStringLiteral("%.6g"));
    chart->addAxis(FAxisY, Qt::AlignLeft);
    connect(FAxisY, &QValueAxis::rangeChanged, this, &TChartFrm::RoundYLabels);
    auto* view = new RecordChartView(chart, this);
    view->ResetZoom = [this] { btnResetClick(); };
    view->PointerAt = [this](const QPointF& at) { ShowValueTip(at); };
    ChartView1 = view;
    ChartView1->setObjectName(QStringLiteral("ChartView1"));

    lstColumns = new QListWidget(this);
    lstColumns->setObjectName(QStringLiteral("lstColumns"));
    connect(lstColumns, &QListWidget::itemChanged, this, &TChartFrm::ColumnItemChanged);
    btnReset = new QPushButton(QStringLiteral("复位"), this);
    btnReset->setObjectName(QStringLiteral("btnReset"));
    connect(btnReset, &QPushButton::clicked, this, &TChartFrm::btnResetClick);
    btnSave = new QPushButton(QStringLiteral("保存图片"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    connect(btnSave, &QPushButton::clicked, this, &TChartFrm::btnSaveClick);

    auto* side = new QVBoxLayout();
    side->addWidget(new QLabel(QStringLiteral("曲线项目"), this));
    side->addWidget(lstColumns, 1);
    // The help sits beside the chart, not in a tooltip that would cover the values' tooltips.
    auto* hint =
        new QLabel(QStringLiteral("框选放大，右键缩小，滚轮缩放，方向键或中键拖动平移，Home 复位"), this);
    hint->setWordWrap(true);
    side->addWidget(hint);
    side->addWidget(btnReset);
    side->addWidget(btnSave);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(side);
    layout->addWidget(ChartView1, 1);
    lstColumns->setFixedWidth(190);

    connect(&FModel, &QAbstractItemModel::rowsInserted, this, &TChartFrm::ScheduleRefresh);
    connect(&FModel, &QAbstractItemModel::modelReset, this, &TChartFrm::ScheduleRefresh);
    Refresh();
}

TChartFrm::~TChartFrm() = default;

QChart* TChartFrm::Chart() const
{
    return ChartView1->chart();
}

QLineSeries* TChartFrm::SeriesOf(int column) const
{
    const auto found = FSeries.find(column);
    return found == FSeries.end() ? nullptr : found->second;
}

void TChartFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Refresh();
}

void TChartFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TChartFrm::SetSubject(std::function<QString()> subject)
{
    FSubject = std::move(subject);
    UpdateTitle();
}

QString TChartFrm::Title() const
{
    return Chart()->title();
}

void TChartFrm::UpdateTitle()
{
    QStringList parts;
    if (FSubject)
        parts << FSubject();
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    for (const RecordSeries& series : FData.series) {
        for (const SeriesPoint& point : series.points) {
            first = std::min(first, point.x);
            last = std::max(last, point.x);
        }
    }
    if (first > last) {
        parts << QStringLiteral("无数据");
    } else if (FData.timeColumn >= 0) {
        // The meter's own clock reading, shown as read.
        const auto reading = [](double seconds) {
            return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC).toString(kTimeFormat);
        };
        parts << reading(first) + QStringLiteral(" 至 ") + reading(last);
    } else {
        parts << QStringLiteral("%1 %2 至 %3")
                     .arg(Text(FData.xCaption), QString::number(first, 'g', 12),
                          QString::number(last, 'g', 12));
    }
    parts.removeAll(QString());
    Chart()->setTitle(parts.join(QStringLiteral("    ")));
}

void TChartFrm::RoundYLabels(qreal low, qreal high)
{
    const int ticks = std::max(FAxisY->tickCount(), 2);
    const double step = (high - low) / (ticks - 1);
    int decimals = 0;
    if (step > 0 && std::isfinite(step))
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    const QString format = QStringLiteral("%.%1f").arg(decimals);
    if (FAxisY->labelFormat() != format)
        FAxisY->setLabelFormat(format);
}

void TChartFrm::ScheduleRefresh()
{
    // A read appends rows one by one: read the table once per turn of the
    // event loop, and not at all while nobody looks.
    if (FRefreshPending || !isVisible())
        return;
    FRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        if (FRefreshPending)
            Refresh();
    });
}

void TChartFrm::Refresh()
{
    FRefreshPending = false;
    const RecordTable& table = FModel.Table();
    std::vector<std::string> captions;
    for (const TableColumn& column : table.Columns())
        captions.push_back(column.caption);
    const bool anotherKind = captions != FTableCaptions;
    if (anotherKind) {
        // Start again with the first quantity of the new kind.
        FTableCaptions = std::move(captions);
        FShownColumns.clear();
    }
    const bool wasTime = FData.timeColumn >= 0;
    const bool hadSeries = !anotherKind && !FData.series.empty();
    FData = ExtractRecordSeries(table);
    if (FShownColumns.empty() && !hadSeries && !FData.series.empty())
        FShownColumns.insert(FData.series.front().column);
    RebuildColumnList();
    if (!FAxisX || wasTime != (FData.timeColumn >= 0))
        ReplaceXAxis();
    FAxisX->setTitleText(Text(FData.xCaption));
    UpdateSeries();
    UpdateTitle();
    // While the operator looks at a zoomed part, new rows must not move it.
    if (!Chart()->isZoomed())
        FitAxes();
}

void TChartFrm::RebuildColumnList()
{
    QSignalBlocker blocker(lstColumns);
    const int keptRow = lstColumns->currentRow();
    lstColumns->clear();
    for (const RecordSeries& series : FData.series) {
        auto* item = new QListWidgetItem(Text(series.caption), lstColumns);
        item->setData(Qt::UserRole, series.column);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(FShownColumns.count(series.column) ? Qt::Checked : Qt::Unchecked);
    }
    if (keptRow < lstColumns->count())
        lstColumns->setCurrentRow(keptRow);
}

void TChartFrm::ColumnItemChanged(QListWidgetItem* item)
{
    SetColumnShown(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
}

void TChartFrm::SetColumnShown(int column, bool shown)
{
    if (shown)
        FShownColumns.insert(column);
    else
        FShownColumns.erase(column);
    {
        QSignalBlocker blocker(lstColumns);
        for (int i = 0; i < lstColumns->count(); ++i) {
            QListWidgetItem* item = lstColumns->item(i);
            if (item->data(Qt::UserRole).toInt() == column)
                item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        }
    }
    UpdateSeries();
    if (!Chart()->isZoomed())
        FitAxes();
}

void TChartFrm::ReplaceXAxis()
{
    if (FAxisX) {
        Chart()->removeAxis(FAxisX);
        delete FAxisX;
    }
    FAxisXIsTime = FData.timeColumn >= 0;
    if (FAxisXIsTime) {
        auto* axis = new QDateTimeAxis(Chart());
        axis->setFormat(QStringLiteral("MM-dd hh:mm"));
        axis->setTickCount(7);
        FAxisX = axis;
    } else {
        auto* axis = new QValueAxis(Chart());
        axis->setLabelFormat(QStringLiteral("%.0f"));
        FAxisX = axis;
    }
    Chart()->addAxis(FAxisX, Qt::AlignBottom);
    for (const auto& [column, series] : FSeries)
        series->attachAxis(FAxisX);
}

double TChartFrm::AxisX(double x) const
{
    if (!FAxisXIsTime)
        return x;
    // The meter's clock reading is shown as the same reading on this computer's clock.
    const QDateTime meterClock = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(x), Qt::UTC);
    return static_cast<double>(QDateTime(meterClock.date(), meterClock.time()).toMSecsSinceEpoch());
}

void TChartFrm::UpdateSeries()
{
    for (auto it = FSeries.begin(); it != FSeries.end();) {
        const bool stillShown = FShownColumns.count(it->first) &&
                                std::any_of(FData.series.begin(), FData.series.end(),
                                            [&](const RecordSeries& s) { return s.column == it->first; });
        if (stillShown) {
            ++it;
            continue;
        }
        Chart()->removeSeries(it->second);
        delete it->second;
        it = FSeries.erase(it);
    }
    for (const RecordSeries& data : FData.series) {
        if (!FShownColumns.count(data.column))
            continue;
        QLineSeries*& series = FSeries[data.column];
        if (!series) {
            series = new QLineSeries(Chart());
            series->setName(Text(data.caption));
            Chart()->addSeries(series);
            series->attachAxis(FAxisX);
            series->attachAxis(FAxisY);
        }
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(data.points.size()));
        for (const SeriesPoint& point : data.points)
            points.append(QPointF(AxisX(point.x), point.y));
        series->replace(points);
        series->setPointsVisible(points.size() <= kMarkedPointsAtMost);
    }
}

void TChartFrm::FitAxes()
{
    double lowX = std::numeric_limits<double>::max();
    double highX = std::numeric_limits<double>::lowest();
    double lowY = lowX;
    double highY = highX;
    for (const auto& [column, series] : FSeries) {
        for (const QPointF& point : series->points()) {
            lowX = std::min(lowX, point.x());
            highX = std::max(highX, point.x());
            lowY = std::min(lowY, point.y());
            highY = std::max(highY, point.y());
        }
    }
    // Nothing to draw: no tick labels that would read as data ("0 0 1 1 1");
    // the title says "无数据".
    const bool empty = lowX > highX;
    FAxisX->setLabelsVisible(!empty);
    FAxisY->setLabelsVisible(!empty);
    if (empty) {
        lowX = FAxisXIsTime ? AxisX(0) : 0;
        highX = FAxisXIsTime ? AxisX(86400) : 1;
        lowY = 0;
        highY = 1;
    }
    if (lowX == highX) {
        // One record: an hour (or one record number) either side of it.
        const double half = FAxisXIsTime ? 3600'000.0 : 1.0;
        lowX -= half;
        highX += half;
    }
    const double margin = highY > lowY ? (highY - lowY) * 0.05 : std::max(1.0, std::abs(highY) * 0.05);
    if (FAxisXIsTime) {
        static_cast<QDateTimeAxis*>(FAxisX)->setRange(
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lowX)),
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(highX)));
    } else {
        static_cast<QValueAxis*>(FAxisX)->setRange(lowX, highX);
    }
    FAxisY->setRange(lowY - margin, highY + margin);
    // Round tick values read better than the data's own extremes.
    FAxisY->applyNiceNumbers();
}

void TChartFrm::ShowValueTip(const QPointF& at)
{
    // The record drawn nearest to the pointer, when it is close enough to be
    // the one meant; a thin line alone is too hard to hit.
    constexpr qreal kReachPixels = 8;
    qreal best = kReachPixels * kReachPixels;
    const QLineSeries* bestSeries = nullptr;
    QPointF bestPoint;
    for (const auto& [column, series] : FSeries) {
        for (const QPointF& point : series->points()) {
            const QPointF offset = Chart()->mapToPosition(point, series) - at;
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
        FAxisXIsTime
            ? QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(bestPoint.x())).toString(kTimeFormat)
            : Text(FData.xCaption) + QLatin1Char(' ') + QString::number(bestPoint.x(), 'g', 12);
    QToolTip::showText(QCursor::pos(),
                       bestSeries->name() + QLatin1Char('\n') + x + QLatin1Char('\n') +
                           QString::number(bestPoint.y(), 'g', 12),
                       ChartView1);
}

void TChartFrm::btnResetClick()
{
    Chart()->zoomReset();
    FitAxes();
}

void TChartFrm::btnSaveClick()
{
    QString name = FPrompter.SaveFileName(this, QStringLiteral("保存图片"),
                                          QDir(FSaveDirectory).filePath(QStringLiteral("*.png")),
                                          QStringLiteral("*.png"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".png");
    if (QFileInfo::exists(name) &&
        !FPrompter.Ask(this, QStringLiteral("文件已经存在，是否覆盖原文件？"), kInfoCaption))
        return;
    if (!SaveImage(name)) {
        FPrompter.Warn(this, QStringLiteral("保存有误，请重新试一次。"), kWarnCaption);
        return;
    }
    FPrompter.Inform(this, QStringLiteral("曲线图片保存成功！"), kInfoCaption);
}

bool TChartFrm::SaveImage(const QString& fileName)
{
    const QPixmap picture = ChartView1->grab();
    // The image goes to a temporary file beside the target and replaces it only when complete.
    QSaveFile file(fileName);
    return !picture.isNull() && file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") &&
           file.commit();
}
