#pragma once

#include "trend/TrendChart.h"

#include <QChartView>
#include <QDialog>
#include <QPointer>
#include <map>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QThread;
class QTimer;
class QValueAxis;

namespace kvu {

class Program;

// The plot of the chart window: draws the alarm periods and the value cursor over the curves and turns
// the mouse into zooming (wheel), moving (drag) and the cursor (hover).
class TrendChartView : public QChartView
{
    Q_OBJECT
public:
    explicit TrendChartView(QChart *chart, QWidget *parent = nullptr);

    void setShading(std::vector<TrendSpan> periods);
    void setCursorTime(std::optional<qint64> ms);
    // The time under a horizontal position of the view, from the time axis.
    qint64 timeAt(double x) const;
    double xOf(qint64 ms) const;

Q_SIGNALS:
    void zoomAt(double factor, qint64 centreMs);
    void dragStarted();
    void dragMoved(double fractionOfWidth);
    void hovered(qint64 ms);
    void wholeRequested();

protected:
    void drawForeground(QPainter *painter, const QRectF &rect) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    std::vector<TrendSpan> shading_;
    std::optional<qint64> cursor_;
    std::optional<QPointF> dragFrom_;
};

// "Графики": the recorded values of one unit or of all, with the time range, zoom and pan, the values
// under the cursor, export as PNG and CSV, and new samples added as they are recorded. Not modal;
// Escape and "Закрыть" hide it. The file is read in a worker thread through a connection of its own.
class TFormCharts : public QDialog
{
    Q_OBJECT
public:
    TFormCharts(Program &program, QWidget *parent);
    ~TFormCharts() override;

    // Shows the window in front for unit n (0: all units) and reads the file afresh.
    void showCharts(int n = 0);
    void reload();
    bool loading() const { return thread_ != nullptr; }

    void setUnit(int n);
    void setRange(TrendRange range);
    void setMeasureShown(TrendMeasure m, bool shown);
    // Zooms by factor (below 1 is closer) around the cursor, or the middle of the view.
    void zoom(double factor);
    void pan(double fraction);
    void showWhole();
    // Moves the value cursor to the next (step > 0) or the previous sample.
    void stepCursor(int step);
    void setCursorTime(std::optional<qint64> ms);

    // Samples just recorded: shown at once when they belong to what the window shows.
    void addSamples(const std::vector<TrendSample> &rows);

    bool savePng(const QString &path, QString *error);
    bool saveCsv(const QString &path, QString *error);
    // Ask for a file name with the file dialog, then save.
    void exportPng();
    void exportCsv();

    const TrendChartData &data() const { return data_; }
    TrendSpan view() const { return view_; }
    TrendSpan limits() const { return limits_; }
    int unit() const { return unit_; }
    TrendRange range() const { return range_; }
    TrendChartView *chartView() const { return chartView_; }
    QLabel *statusLabel() const { return status_; }
    QLabel *valueLabel() const { return value_; }
    QComboBox *unitBox() const { return unitBox_; }
    QComboBox *rangeBox() const { return rangeBox_; }
    // The points drawn now for unit n and measure m, over all its segments; and the segment count.
    int drawnPoints(int n, TrendMeasure m) const;
    int drawnSegments(int n, TrendMeasure m) const;
    // How long the last reading took in the worker, and the last redraw, in milliseconds.
    qint64 lastLoadMs() const { return loadMs_; }
    qint64 lastDrawMs() const { return drawMs_; }

Q_SIGNALS:
    void loaded();
    void exported(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Load;

    void build();
    void finishLoad();
    void scheduleRedraw();
    void redraw();
    void updateAxes();
    void updateLimits(qint64 nowMs);
    void setView(TrendSpan view);
    void showStatus();
    void describeView();
    void showValues();
    void fillUnitBox();
    qint64 nowMs() const;
    QList<int> shownUnits() const;
    QString unitTitle(int n) const;
    QLineSeries *segmentSeries(int n, TrendMeasure m, int index);

    Program &program_;
    QChart *chart_ = nullptr;
    TrendChartView *chartView_ = nullptr;
    QDateTimeAxis *timeAxis_ = nullptr;
    QValueAxis *temperAxis_ = nullptr;
    QValueAxis *humidityAxis_ = nullptr;
    QValueAxis *speedAxis_ = nullptr;
    QComboBox *unitBox_ = nullptr;
    QComboBox *rangeBox_ = nullptr;
    QCheckBox *measureBox_[kTrendMeasures] = {};
    QLabel *legend_ = nullptr;
    QLabel *status_ = nullptr;
    QLabel *value_ = nullptr;
    QPushButton *zoomIn_ = nullptr;
    QPushButton *zoomOut_ = nullptr;
    QPushButton *whole_ = nullptr;
    QPushButton *png_ = nullptr;
    QPushButton *csv_ = nullptr;
    QPushButton *close_ = nullptr;
    QTimer *redrawTimer_ = nullptr;

    // Line series by unit and measure, one per unbroken stretch; spare ones stay empty and hidden.
    std::map<std::pair<int, int>, QList<QLineSeries *>> series_;
    TrendChartData data_;
    int unit_ = 0;
    TrendRange range_ = TrendRange::Day;
    bool shown_[kTrendMeasures] = {true, true, true, true};
    TrendSpan limits_;
    TrendSpan view_;
    std::optional<qint64> cursor_;
    TrendSpan dragStart_;
    bool error_ = false;
    QString errorText_;

    QThread *thread_ = nullptr;
    std::shared_ptr<Load> pending_;
    bool reloadAgain_ = false;
    // Samples recorded while a reading was under way.
    std::vector<TrendSample> lateRows_;
    qint64 loadMs_ = 0;
    qint64 drawMs_ = 0;
};

} // namespace kvu
