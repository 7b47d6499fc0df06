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

class ChartWindow : public QWidget {
    Q_OBJECT
public:
    // `model` and `prompter` must outlive the window; PNG files are proposed in
    // `saveDirectory`.
    ChartWindow(RecordTableModel& model, Prompter& prompter, QString saveDirectory,
                QWidget* parent = nullptr);
    ~ChartWindow() override;

    // Reads the table again now; otherwise that happens once events are
    // processed after the table changed, and only while the window is shown.
    void refresh();
    // Shows or hides the line of a table column (no effect for a column that
    // holds no quantities).
    void setColumnShown(int column, bool shown);
    // Back to the whole data after zooming or panning.
    void onResetClicked();
    // Asks for a file name through the prompter and saves the chart there.
    void onSaveClicked();
    // Writes the chart as PNG; the file is replaced only by a complete image.
    bool saveImage(const QString& fileName);

    // What the table holds, asked at every refresh for the chart's title (which
    // adds the records' date range) and when a picture is saved, for its name.
    struct Subject {
        QString kind; // the record kind's caption
        int address = 0;
    };
    void setSubject(std::function<Subject()> subject);
    QString title() const;

    const RecordChartData& chartData() const { return m_data; }
    QChart* chart() const;
    // The line drawn for a table column, or nullptr.
    QLineSeries* seriesOf(int column) const;

    QListWidget* m_columnList = nullptr;
    QChartView* m_chartView = nullptr;
    QPushButton* m_resetButton = nullptr;
    QPushButton* m_saveButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void scheduleRefresh();
    void rebuildColumnList();
    void updateSeries();
    void replaceXAxis();
    void fitAxes();
    void updateTitle();
    // Tick labels with as many decimals as the tick spacing needs, also after zooming.
    void roundYLabels(qreal low, qreal high);
    // Tooltip with the record nearest to `at` (chart coordinates), if any is near.
    void showValueTip(const QPointF& at);
    void columnItemChanged(QListWidgetItem* item);
    // x of the table (meter-clock seconds or record number) as the axis holds it.
    double axisX(double x) const;

    RecordTableModel& m_model;
    Prompter& m_prompter;
    QString m_saveDirectory;
    RecordChartData m_data;
    // Captions of all table columns when last read: a change means another kind.
    std::vector<std::string> m_tableCaptions;
    std::set<int> m_shownColumns;
    std::map<int, QLineSeries*> m_series;
    QAbstractAxis* m_axisX = nullptr;
    bool m_axisXIsTime = false;
    QValueAxis* m_axisY = nullptr;
    bool m_refreshPending = false;
    std::function<Subject()> m_subject;
};
