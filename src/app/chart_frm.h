// The chart window "曲线": the quantity columns of the record table drawn
// against the record time (or the record number where a kind has no time
// column). It follows the table while a read appends rows, lets the operator
// pick the columns, zoom and pan, shows values on hover and saves a PNG.
#pragma once

#include "decoding/record_series.h"

#include <QWidget>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class Prompter;
class QAbstractAxis;
class QChart;
class QChartView;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QValueAxis;
class RecordTableModel;

class TChartFrm : public QWidget {
    Q_OBJECT
public:
    // `model` and `prompter` must outlive the window; PNG files are proposed in
    // `saveDirectory`.
    TChartFrm(RecordTableModel& model, Prompter& prompter, QString saveDirectory, QWidget* parent = nullptr);
    ~TChartFrm() override;

    // Reads the table again now; otherwise that happens once events are
    // processed after the table changed, and only while the window is shown.
    void Refresh();
    // Shows or hides the line of a table column (no effect for a column that
    // holds no quantities).
    void SetColumnShown(int column, bool shown);
    // Back to the whole data after zooming or panning.
    void btnResetClick();
    // Asks for a file name through the prompter and saves the chart there.
    void btnSaveClick();
    // Writes the chart as PNG; the file is replaced only by a complete image.
    bool SaveImage(const QString& fileName);

    // What the table holds (record kind, meter address), asked at every refresh
    // for the chart's title; the title adds the records' date range.
    void SetSubject(std::function<QString()> subject);
    QString Title() const;

    const RecordChartData& Data() const { return FData; }
    QChart* Chart() const;
    // The line drawn for a table column, or nullptr.
    QLineSeries* SeriesOf(int column) const;

    QListWidget* lstColumns = nullptr;
    QChartView* ChartView1 = nullptr;
    QPushButton* btnReset = nullptr;
    QPushButton* btnSave = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ScheduleRefresh();
    void RebuildColumnList();
    void UpdateSeries();
    void ReplaceXAxis();
    void FitAxes();
    void UpdateTitle();
    // Tick labels with as many decimals as the tick spacing needs, also after zooming.
    void RoundYLabels(qreal low, qreal high);
    // Tooltip with the record nearest to `at` (chart coordinates), if any is near.
    void ShowValueTip(const QPointF& at);
    void ColumnItemChanged(QListWidgetItem* item);
    // x of the table (meter-clock seconds or record number) as the axis holds it.
    double AxisX(double x) const;

    RecordTableModel& FModel;
    Prompter& FPrompter;
    QString FSaveDirectory;
    RecordChartData FData;
    // Captions of all table columns when last read: a change means another kind.
    std::vector<std::string> FTableCaptions;
    std::set<int> FShownColumns;
    std::map<int, QLineSeries*> FSeries;
    QAbstractAxis* FAxisX = nullptr;
    bool FAxisXIsTime = false;
    QValueAxis* FAxisY = nullptr;
    bool FRefreshPending = false;
    std::function<QString()> FSubject;
};
