#include "ui/settings/TFormCharts.h"

#include "ui/settings/SaveDialog.h"
#include "ui/settings/SettingsLook.h"

#include "app/Program.h"
#include "core/AtomicFile.h"
#include "core/Constants.h"
#include "trend/TrendRecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

const QString kStyle = settingsStyleSheet() + uR"(
QLabel#L_status { color: #8BC0DA; font-weight: bold; }
QLabel#L_value { color: white; }
QCheckBox { color: white; font-family: Arial; spacing: 6px; }
QCheckBox:focus { text-decoration: underline; }
QGraphicsView#chartView { border: 2px solid #34434F; border-radius: 6px; background: #2A3641; }
QGraphicsView#chartView:focus { border: 2px solid white; }
QPushButton:disabled { background: #8395A6; border-color: #8395A6; color: #46576A; }
)"_s;

const QColor kMeasureColor[kTrendMeasures] = {QColor(0xFF922B), QColor(0xFFD43B), QColor(0x4DABF7),
                                              QColor(0x69DB7C)};
const QColor kUnitColor[MaxnAHU] = {QColor(0xFF922B), QColor(0x4DABF7), QColor(0x69DB7C), QColor(0xDA77F2),
                                    QColor(0xFFD43B)};
const Qt::PenStyle kMeasureStyle[kTrendMeasures] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                                    Qt::DashDotLine};
const QColor kAlarmShade(255, 70, 70, 64);
const QColor kText(0xD8E6F0);
const QColor kGrid(0x46576A);

const QString kMeasureName[kTrendMeasures] = {u"Температура"_s, u"Уставка"_s, u"Влажность"_s, u"Скорость"_s};
// The line each measure has when all units are shown, for the check boxes.
const QString kMeasureLine[kTrendMeasures] = {u"───"_s, u"- - -"_s, u"·····"_s, u"-·-·"_s};

constexpr double kZoomStep = 0.5;
constexpr double kPanStep = 0.25;

QString timeText(qint64 ms, const QString &format = u"dd.MM.yyyy HH:mm:ss"_s)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(format);
}

} // namespace

// What a reading asks for and what it brings back; shared with the worker thread.
struct TFormCharts::Load
{
    QString path;
    int unit = 0;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    std::vector<TrendSample> rows;
    QString error;
    qint64 elapsedMs = 0;
};

TrendChartView::TrendChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setObjectName(u"chartView"_s);
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setDragMode(QGraphicsView::NoDrag);
    setRubberBand(QChartView::NoRubberBand);
}

void TrendChartView::setShading(std::vector<TrendSpan> periods)
{
    shading_ = std::move(periods);
    viewport()->update();
}

void TrendChartView::setCursorTime(std::optional<qint64> ms)
{
    cursor_ = ms;
    viewport()->update();
}

qint64 TrendChartView::timeAt(double x) const
{
    const auto *axis = qobject_cast<QDateTimeAxis *>(chart()->axes(Qt::Horizontal).value(0));
    const QRectF plot = chart()->plotArea();
    if (!axis || plot.width() <= 0)
        return 0;
    const qint64 from = axis->min().toMSecsSinceEpoch();
    const qint64 to = axis->max().toMSecsSinceEpoch();
    return from + qint64(std::llround((x - plot.left()) / plot.width() * double(to - from)));
}

double TrendChartView::xOf(qint64 ms) const
{
    const auto *axis = qobject_cast<QDateTimeAxis *>(chart()->axes(Qt::Horizontal).value(0));
    const QRectF plot = chart()->plotArea();
    if (!axis)
        return plot.left();
    const qint64 from = axis->min().toMSecsSinceEpoch();
    const qint64 to = axis->max().toMSecsSinceEpoch();
    if (to <= from)
        return plot.left();
    return plot.left() + double(ms - from) / double(to - from) * plot.width();
}

void TrendChartView::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    const QRectF plot = chart()->plotArea();
    painter->save();
    painter->setClipRect(plot);
    for (const TrendSpan &p : shading_) {
        const double x1 = std::max(plot.left(), xOf(p.from));
        const double x2 = std::min(plot.right(), xOf(p.to));
        if (x2 < plot.left() || x1 > plot.right())
            continue;
        // A short alarm stays visible however far the chart is zoomed out.
        painter->fillRect(QRectF(x1, plot.top(), std::max(2.0, x2 - x1), plot.height()), kAlarmShade);
    }
    if (cursor_) {
        const double x = xOf(*cursor_);
        QPen pen(Qt::white, 1, Qt::DashLine);
        pen.setCosmetic(true);
        painter->setPen(pen);
        painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter->restore();
}

void TrendChartView::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    Q_EMIT zoomAt(std::pow(0.8, double(delta) / 120.0), timeAt(event->position().x()));
    event->accept();
}

void TrendChartView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    dragFrom_ = event->position();
    setCursor(Qt::ClosedHandCursor);
    Q_EMIT dragStarted();
    event->accept();
}

void TrendChartView::mouseMoveEvent(QMouseEvent *event)
{
    const QRectF plot = chart()->plotArea();
    if (dragFrom_) {
        if (plot.width() > 0)
            Q_EMIT dragMoved(-(event->position().x() - dragFrom_->x()) / plot.width());
    } else if (plot.contains(event->position())) {
        Q_EMIT hovered(timeAt(event->position().x()));
    }
    event->accept();
}

void TrendChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (dragFrom_ && event->button() == Qt::LeftButton) {
        dragFrom_.reset();
        unsetCursor();
    }
    event->accept();
}

void TrendChartView::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_EMIT wholeRequested();
    event->accept();
}

TFormCharts::TFormCharts(Program &program, QWidget *parent)
    : QDialog(parent, kToolWindowFlags), program_(program)
{
    setUpSettingsWindow(this, u"FormCharts"_s, u"Графики"_s, kStyle);
    setModal(false);
    build();
    resize(1180, 680);
}

TFormCharts::~TFormCharts()
{
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
}

void TFormCharts::build()
{

    unitBox_ = new QComboBox(this);
    unitBox_->setObjectName(u"CB_unit"_s);
    unitBox_->setAccessibleName(u"Вентустановка"_s);
    unitBox_->setMinimumWidth(200);
    rangeBox_ = new QComboBox(this);
    rangeBox_->setObjectName(u"CB_range"_s);
    rangeBox_->setAccessibleName(u"Период"_s);
    rangeBox_->addItem(u"Час"_s, int(TrendRange::Hour));
    rangeBox_->addItem(u"Сутки"_s, int(TrendRange::Day));
    rangeBox_->addItem(u"Неделя"_s, int(TrendRange::Week));
    rangeBox_->addItem(u"Всё"_s, int(TrendRange::All));
    rangeBox_->setCurrentIndex(int(range_));

    auto *tile = new QFrame(this);
    tile->setObjectName(u"tile"_s);
    auto *top = new QHBoxLayout(tile);
    top->setContentsMargins(14, 10, 14, 10);
    top->setSpacing(8);
    auto *unitLabel = new QLabel(u"&Вентустановка:"_s, this);
    unitLabel->setBuddy(unitBox_);
    auto *rangeLabel = new QLabel(u"&Период:"_s, this);
    rangeLabel->setBuddy(rangeBox_);
    top->addWidget(unitLabel);
    top->addWidget(unitBox_);
    top->addSpacing(8);
    top->addWidget(rangeLabel);
    top->addWidget(rangeBox_);
    top->addSpacing(16);
    const char *boxNames[kTrendMeasures] = {"CB_temper", "CB_target", "CB_humidity", "CB_speed"};
    for (int m = 0; m < kTrendMeasures; ++m) {
        auto *box = new QCheckBox(kMeasureName[m], this);
        box->setObjectName(QString::fromLatin1(boxNames[m]));
        box->setAccessibleName(kMeasureName[m]);
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this, m](bool on) { setMeasureShown(TrendMeasure(m), on); });
        measureBox_[m] = box;
        top->addWidget(box);
    }
    top->addStretch(1);

    chart_ = new QChart;
    chart_->legend()->hide();
    chart_->setBackgroundBrush(QColor(0x2A3641));
    chart_->setBackgroundRoundness(0);
    chart_->setPlotAreaBackgroundBrush(QColor(0x25303A));
    chart_->setPlotAreaBackgroundVisible(true);
    chart_->setMargins(QMargins(6, 8, 6, 4));
    QFont axisFont(u"Arial"_s);
    axisFont.setPixelSize(12);
    const auto styleAxis = [&](QAbstractAxis *axis, const QString &title, const QColor &titleColour) {
        axis->setLabelsFont(axisFont);
        axis->setLabelsColor(kText);
        axis->setGridLineColor(kGrid);
        axis->setLinePenColor(QColor(0x8395A6));
        axis->setTitleText(title);
        axis->setTitleFont(axisFont);
        axis->setTitleBrush(titleColour);
    };
    timeAxis_ = new QDateTimeAxis(this);
    styleAxis(timeAxis_, QString(), kText);
    timeAxis_->setTickCount(8);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    temperAxis_ = new QValueAxis(this);
    styleAxis(temperAxis_, u"Температура, °C"_s, kMeasureColor[0]);
    temperAxis_->setLabelFormat(u"%d"_s);
    chart_->addAxis(temperAxis_, Qt::AlignLeft);
    humidityAxis_ = new QValueAxis(this);
    styleAxis(humidityAxis_, u"Влажность, %"_s, kMeasureColor[2]);
    humidityAxis_->setRange(0, 100);
    humidityAxis_->setTickCount(6);
    humidityAxis_->setLabelFormat(u"%d"_s);
    humidityAxis_->setGridLineVisible(false);
    chart_->addAxis(humidityAxis_, Qt::AlignRight);
    speedAxis_ = new QValueAxis(this);
    styleAxis(speedAxis_, u"Скорость"_s, kMeasureColor[3]);
    speedAxis_->setLabelFormat(u"%d"_s);
    speedAxis_->setGridLineVisible(false);
    chart_->addAxis(speedAxis_, Qt::AlignRight);

    chartView_ = new TrendChartView(chart_, this);
    chartView_->setAccessibleName(u"График"_s);
    chartView_->setMinimumSize(500, 260);
    chartView_->installEventFilter(this);
    connect(chartView_, &TrendChartView::zoomAt, this,
            [this](double factor, qint64 centre) { setView(zoomSpan(view_, limits_, factor, centre)); });
    connect(chartView_, &TrendChartView::dragStarted, this, [this] { dragStart_ = view_; });
    connect(chartView_, &TrendChartView::dragMoved, this,
            [this](double fraction) { setView(panSpan(dragStart_, limits_, fraction)); });
    connect(chartView_, &TrendChartView::hovered, this, [this](qint64 ms) { setCursorTime(ms); });
    connect(chartView_, &TrendChartView::wholeRequested, this, &TFormCharts::showWhole);

    legend_ = new QLabel(this);
    legend_->setObjectName(u"L_legend"_s);
    legend_->setTextFormat(Qt::RichText);
    value_ = new QLabel(this);
    value_->setObjectName(u"L_value"_s);
    value_->setAccessibleName(u"Значения под курсором"_s);
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value_->setWordWrap(true);
    value_->setMinimumHeight(value_->fontMetrics().height() * 2 + 4);
    value_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    status_ = new QLabel(this);
    status_->setObjectName(u"L_status"_s);
    status_->setAccessibleName(u"Состояние графиков"_s);
    status_->setWordWrap(true);
    zoomIn_ = settingsButton(this, "B_zoomIn", u"Увеличить"_s, u"Увеличить"_s);
    zoomOut_ = settingsButton(this, "B_zoomOut", u"Уменьшить"_s, u"Уменьшить"_s);
    whole_ = settingsButton(this, "B_whole", u"Весь период"_s, u"Весь период"_s);
    png_ = settingsButton(this, "B_png", u"Сохранить PNG…"_s, u"Сохранить PNG"_s);
    csv_ = settingsButton(this, "B_csv", u"Сохранить CSV…"_s, u"Сохранить CSV"_s);
    close_ = settingsButton(this, "B_close", u"Закрыть"_s, u"Закрыть графики"_s);
    connect(zoomIn_, &QPushButton::clicked, this, [this] { zoom(kZoomStep); });
    connect(zoomOut_, &QPushButton::clicked, this, [this] { zoom(1.0 / kZoomStep); });
    connect(whole_, &QPushButton::clicked, this, &TFormCharts::showWhole);
    connect(png_, &QPushButton::clicked, this, &TFormCharts::exportPng);
    connect(csv_, &QPushButton::clicked, this, &TFormCharts::exportCsv);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    for (QPushButton *b : {zoomIn_, zoomOut_, whole_, png_, csv_, close_})
        bottom->addWidget(b);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(12, 12, 12, 12);
    root->setSpacing(8);
    root->addWidget(tile);
    root->addWidget(legend_);
    root->addWidget(chartView_, 1);
    root->addWidget(value_);
    root->addLayout(bottom);

    QWidget *order[] = {unitBox_,       rangeBox_,  measureBox_[0], measureBox_[1], measureBox_[2],
                        measureBox_[3], chartView_, zoomIn_,        zoomOut_,       whole_,
                        png_,           csv_,       close_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(unitBox_, &QComboBox::activated, this, [this] { setUnit(unitBox_->currentData().toInt()); });
    connect(rangeBox_, &QComboBox::activated, this,
            [this] { setRange(TrendRange(rangeBox_->currentData().toInt())); });

    // Wheel turns and drags come many to a frame: the curves are drawn once for all of them.
    redrawTimer_ = new QTimer(this);
    redrawTimer_->setSingleShot(true);
    redrawTimer_->setInterval(0);
    connect(redrawTimer_, &QTimer::timeout, this, &TFormCharts::redraw);

    fillUnitBox();
    showStatus();
    showValues();
}

qint64 TFormCharts::nowMs() const
{
    return program_.clock().now().toMSecsSinceEpoch();
}

QString TFormCharts::unitTitle(int n) const
{
    const QString name = n >= 1 && n <= MaxnAHU ? program_.u.NameAHU[std::size_t(n)].trimmed() : QString();
    // "-" is the name of a unit nobody has named.
    return name.isEmpty() || name == u"-"_s ? u"№%1"_s.arg(n) : u"№%1 %2"_s.arg(n).arg(name);
}

void TFormCharts::fillUnitBox()
{
    unitBox_->clear();
    unitBox_->addItem(u"Все"_s, 0);
    const int count = std::clamp(program_.u.nAHU, 1, MaxnAHU);
    for (int n = 1; n <= std::max(count, unit_); ++n)
        unitBox_->addItem(unitTitle(n), n);
    unitBox_->setCurrentIndex(std::max(0, unitBox_->findData(unit_)));
}

void TFormCharts::showCharts(int n)
{
    unit_ = std::clamp(n, 0, MaxnAHU);
    fillUnitBox();
    show();
    raise();
    activateWindow();
    reload();
}

void TFormCharts::setUnit(int n)
{
    n = std::clamp(n, 0, MaxnAHU);
    if (unitBox_->findData(n) >= 0)
        unitBox_->setCurrentIndex(unitBox_->findData(n));
    if (n == unit_)
        return;
    unit_ = n;
    reload();
}

void TFormCharts::setRange(TrendRange range)
{
    rangeBox_->setCurrentIndex(rangeBox_->findData(int(range)));
    if (range == range_)
        return;
    range_ = range;
    reload();
}

void TFormCharts::setMeasureShown(TrendMeasure m, bool shown)
{
    const int k = int(m);
    if (measureBox_[k]->isChecked() != shown)
        measureBox_[k]->setChecked(shown); // comes back here through the box's signal
    if (shown_[k] == shown)
        return;
    shown_[k] = shown;
    updateAxes();
    scheduleRedraw();
}

void TFormCharts::reload()
{
    if (thread_) {
        reloadAgain_ = true;
        return;
    }
    auto load = std::make_shared<Load>();
    load->path = program_.trend().filePath();
    load->unit = unit_;
    const qint64 now = nowMs();
    load->fromMs = range_ == TrendRange::All ? 0 : now - trendRangeMs(range_);
    // Samples stamped a little ahead (a clock set back) are shown too.
    load->toMs = now + 24LL * 60 * 60 * 1000;
    pending_ = load;
    thread_ = QThread::create([load] {
        QElapsedTimer t;
        t.start();
        // A file not made yet means nothing recorded yet; reading must not create it.
        if (QFileInfo::exists(load->path)) {
            TrendStore store(load->path);
            if (store.open())
                load->rows = store.samples(load->unit == 0 ? TrendStore::kAllUnits : load->unit, load->fromMs,
                                           load->toMs);
            if (!store.lastError().isEmpty())
                load->error = store.lastError();
        }
        load->elapsedMs = t.elapsed();
    });
    connect(thread_, &QThread::finished, this, &TFormCharts::finishLoad);
    showStatus();
    thread_->start(QThread::LowPriority);
}

void TFormCharts::finishLoad()
{
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    const std::shared_ptr<Load> load = std::move(pending_);
    if (reloadAgain_) {
        reloadAgain_ = false;
        lateRows_.clear(); // the next reading asks for another unit or range
        reload();
        return;
    }
    loadMs_ = load->elapsedMs;
    error_ = !load->error.isEmpty();
    errorText_ = load->error;
    data_.set(load->rows, qint64(TrendRecorder::intervalMinutes(program_.s.IntervalRecGraph)) * 60 * 1000);
    data_.append(std::exchange(lateRows_, {}));
    updateLimits(nowMs());
    view_ = limits_;
    cursor_.reset();
    chartView_->setCursorTime(std::nullopt);
    updateAxes();
    redraw();
    showStatus();
    showValues();
    Q_EMIT loaded();
}

void TFormCharts::updateLimits(qint64 now)
{
    if (range_ == TrendRange::All) {
        const TrendSpan e = data_.extent();
        limits_ = data_.empty() ? TrendSpan{now - trendRangeMs(TrendRange::Hour), now}
                                : TrendSpan{e.from, std::max(now, e.to)};
    } else {
        limits_ = {now - trendRangeMs(range_), std::max(now, data_.extent().to)};
    }
    if (limits_.width() < kTrendMinViewMs)
        limits_.from = limits_.to - kTrendMinViewMs;
}

void TFormCharts::addSamples(const std::vector<TrendSample> &rows)
{
    if (!isVisible())
        return; // the next showing reads them from the file
    std::vector<TrendSample> mine;
    for (const TrendSample &s : rows) {
        if (unit_ == 0 || s.unit == unit_)
            mine.push_back(s);
    }
    if (mine.empty())
        return;
    if (thread_) {
        // The reading may have missed them: they join once it ends (a repeated sample is ignored).
        lateRows_.insert(lateRows_.end(), mine.begin(), mine.end());
        return;
    }
    // A view that showed the newest samples keeps following them.
    const bool following = view_.to >= limits_.to;
    data_.append(mine);
    const qint64 now = std::max(nowMs(), data_.extent().to);
    // A window left open for weeks keeps what the file keeps, no more.
    const qint64 keptMs = qint64(TrendRecorder::daysKept(program_.s.MaxNDayGraph)) * 24 * 60 * 60 * 1000;
    data_.dropBefore(now - (range_ == TrendRange::All ? keptMs : trendRangeMs(range_)));
    updateLimits(now);
    view_ = following ? panSpan({limits_.to - view_.width(), limits_.to}, limits_, 0.0)
                      : panSpan(view_, limits_, 0.0);
    updateAxes();
    scheduleRedraw();
    showStatus();
    showValues();
}

void TFormCharts::setView(TrendSpan view)
{
    if (view == view_)
        return;
    view_ = view;
    scheduleRedraw();
}

void TFormCharts::zoom(double factor)
{
    const qint64 centre =
        cursor_ && *cursor_ >= view_.from && *cursor_ <= view_.to ? *cursor_ : view_.from + view_.width() / 2;
    setView(zoomSpan(view_, limits_, factor, centre));
}

void TFormCharts::pan(double fraction)
{
    setView(panSpan(view_, limits_, fraction));
}

void TFormCharts::showWhole()
{
    setView(limits_);
}

void TFormCharts::stepCursor(int step)
{
    const qint64 from = cursor_ ? *cursor_ : (step > 0 ? view_.from - 1 : view_.to + 1);
    const std::optional<qint64> t = data_.stepTime(from, step);
    if (!t)
        return;
    if (*t < view_.from || *t > view_.to)
        setView(panSpan({*t - view_.width() / 2, *t - view_.width() / 2 + view_.width()}, limits_, 0.0));
    setCursorTime(*t);
}

void TFormCharts::setCursorTime(std::optional<qint64> ms)
{
    if (ms) {
        // The cursor sits on the nearest sample of the units shown, when one is near.
        const TrendSample *best = nullptr;
        for (int n : shownUnits()) {
            const TrendSample *s = data_.nearest(n, *ms);
            if (s && (!best || std::llabs(s->timeMs - *ms) < std::llabs(best->timeMs - *ms)))
                best = s;
        }
        if (best)
            ms = best->timeMs;
    }
    cursor_ = ms;
    chartView_->setCursorTime(ms);
    showValues();
}

QList<int> TFormCharts::shownUnits() const
{
    QList<int> out;
    for (const TrendUnitSeries &u : data_.units()) {
        if (unit_ == 0 || u.unit == unit_)
            out.append(u.unit);
    }
    return out;
}

QLineSeries *TFormCharts::segmentSeries(int n, TrendMeasure m, int index)
{
    QList<QLineSeries *> &list = series_[{n, int(m)}];
    while (list.size() <= index) {
        auto *s = new QLineSeries;
        chart_->addSeries(s);
        s->attachAxis(timeAxis_);
        s->attachAxis(m == TrendMeasure::Humidity ? humidityAxis_
                      : m == TrendMeasure::Speed  ? speedAxis_
                                                  : temperAxis_);
        list.append(s);
    }
    return list[index];
}

void TFormCharts::scheduleRedraw()
{
    redrawTimer_->start();
}

void TFormCharts::redraw()
{
    QElapsedTimer t;
    t.start();
    redrawTimer_->stop();
    // Before the first reading there is no span yet; an empty time axis loses its labels for good.
    if (view_.width() <= 0)
        return;
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(view_.from), QDateTime::fromMSecsSinceEpoch(view_.to));
    const qint64 day = 24LL * 60 * 60 * 1000;
    timeAxis_->setFormat(view_.width() <= 2 * day    ? u"HH:mm"_s
                         : view_.width() <= 14 * day ? u"dd.MM HH:mm"_s
                                                     : u"dd.MM.yyyy"_s);

    const int buckets = std::max(100, int(chart_->plotArea().width()));
    const bool all = unit_ == 0;
    std::map<std::pair<int, int>, int> used;
    std::vector<TrendSpan> alarms;
    for (int n : shownUnits()) {
        for (int k = 0; k < kTrendMeasures; ++k) {
            if (!shown_[k])
                continue;
            const QList<QList<QPointF>> segments = data_.curve(n, TrendMeasure(k), view_, buckets);
            QPen pen(all ? kUnitColor[(n - 1) % MaxnAHU] : kMeasureColor[k]);
            pen.setWidthF(2.0);
            pen.setStyle(all ? kMeasureStyle[k]
                             : (k == int(TrendMeasure::Target) ? Qt::DashLine : Qt::SolidLine));
            for (qsizetype i = 0; i < segments.size(); ++i) {
                QLineSeries *s = segmentSeries(n, TrendMeasure(k), int(i));
                s->setPen(pen);
                s->replace(segments[i]);
                s->setVisible(true);
            }
            used[{n, k}] = int(segments.size());
        }
        const std::vector<TrendSpan> periods = data_.alarmPeriods(n);
        alarms.insert(alarms.end(), periods.begin(), periods.end());
    }
    for (auto &[key, list] : series_) {
        const int keep = used.contains(key) ? used[key] : 0;
        for (qsizetype i = keep; i < list.size(); ++i) {
            if (list[i]->count() > 0)
                list[i]->clear();
            list[i]->setVisible(false);
        }
    }
    chartView_->setShading(std::move(alarms));
    describeView();
    drawMs_ = t.elapsed();
}

void TFormCharts::describeView()
{
    // A screen reader hears what the chart holds and which times it shows.
    QString text = status_->text();
    if (!thread_ && !data_.empty())
        text += u"; показано с %1 по %2"_s.arg(timeText(view_.from, u"dd.MM.yyyy HH:mm"_s),
                                               timeText(view_.to, u"dd.MM.yyyy HH:mm"_s));
    chartView_->setAccessibleDescription(text);
}

void TFormCharts::updateAxes()
{
    std::optional<int> low, high;
    int topSpeed = 0;
    bool humidity = false;
    for (int n : shownUnits()) {
        for (const TrendSample &s : data_.unit(n)->samples) {
            if (shown_[int(TrendMeasure::Temper)]) {
                low = std::min(low.value_or(s.temper), s.temper);
                high = std::max(high.value_or(s.temper), s.temper);
            }
            if (shown_[int(TrendMeasure::Target)]) {
                low = std::min(low.value_or(s.target), s.target);
                high = std::max(high.value_or(s.target), s.target);
            }
            topSpeed = std::max(topSpeed, s.speed);
            humidity = humidity || s.humidity.has_value();
        }
    }
    temperAxis_->setRange(low ? *low - 1 : 15, high ? *high + 1 : 25);
    temperAxis_->applyNiceNumbers();
    temperAxis_->setVisible(shown_[int(TrendMeasure::Temper)] || shown_[int(TrendMeasure::Target)]);
    humidityAxis_->setVisible(shown_[int(TrendMeasure::Humidity)] && humidity);
    const int speedTop = std::max(topSpeed + 1, 4);
    speedAxis_->setRange(0, speedTop);
    speedAxis_->setTickCount(speedTop <= 10 ? speedTop + 1 : 6);
    speedAxis_->setVisible(shown_[int(TrendMeasure::Speed)]);

    // The colours of the curves: per value for one unit, per unit (and a line per value) for all.
    const bool all = unit_ == 0;
    temperAxis_->setTitleBrush(all ? kText : kMeasureColor[int(TrendMeasure::Temper)]);
    humidityAxis_->setTitleBrush(all ? kText : kMeasureColor[int(TrendMeasure::Humidity)]);
    speedAxis_->setTitleBrush(all ? kText : kMeasureColor[int(TrendMeasure::Speed)]);
    for (int k = 0; k < kTrendMeasures; ++k) {
        const QString colour = all ? u"white"_s : kMeasureColor[k].name();
        measureBox_[k]->setStyleSheet(u"QCheckBox { color: %1; }"_s.arg(colour));
        measureBox_[k]->setText(all ? kMeasureName[k] + u"  "_s + kMeasureLine[k] : kMeasureName[k]);
    }
    QString legend;
    if (all) {
        for (int n : shownUnits())
            legend += u"<span style='color:%1'>■</span>&nbsp;%2&nbsp;&nbsp;&nbsp;"_s.arg(
                kUnitColor[(n - 1) % MaxnAHU].name(), unitTitle(n).toHtmlEscaped());
    }
    legend += u"<span style='color:rgb(255,110,110)'>■</span>&nbsp;авария"_s;
    legend_->setText(legend);
}

void TFormCharts::showStatus()
{
    QString text;
    if (thread_) {
        text = u"Чтение записей…"_s;
    } else if (error_) {
        text = u"Не удалось прочитать файл графиков %1: %2"_s.arg(
            QDir::toNativeSeparators(program_.trend().filePath()), errorText_);
    } else if (data_.empty()) {
        text = u"Нет записанных значений за выбранный период."_s;
        if (!program_.s.IsSaveGraph)
            text += u" Запись включается флажком «Записывать графики» в окне «Параметры программы»."_s;
    } else {
        text = u"Значений: %1; последнее: %2"_s.arg(data_.size())
                   .arg(timeText(data_.extent().to, u"dd.MM.yyyy HH:mm"_s));
    }
    status_->setText(text);
    describeView();
    const bool any = !thread_ && !data_.empty();
    for (QPushButton *b : {zoomIn_, zoomOut_, whole_, png_, csv_})
        b->setEnabled(any);
}

void TFormCharts::showValues()
{
    if (!cursor_) {
        value_->setText(
            data_.empty()
                ? QString()
                : u"Наведите указатель на график (или Shift+← / Shift+→), чтобы увидеть значения."_s);
        value_->setAccessibleDescription(value_->text());
        return;
    }
    QStringList lines{timeText(*cursor_)};
    for (int n : shownUnits()) {
        const TrendSample *s = data_.nearest(n, *cursor_);
        if (!s) {
            lines.append(u"%1: нет данных"_s.arg(unitTitle(n)));
            continue;
        }
        QString line =
            u"%1: температура %2 °C, уставка %3 °C"_s.arg(unitTitle(n)).arg(s->temper).arg(s->target);
        if (s->humidity)
            line += u", влажность %1 %"_s.arg(*s->humidity);
        line += u", скорость %1, %2"_s.arg(s->speed).arg(s->on ? u"работает"_s : u"остановлена"_s);
        if (s->alarm)
            line += u", авария"_s;
        lines.append(line);
    }
    value_->setText(lines.join(u'\n'));
    // A screen reader reads the values from the label's description, its name being the label's role.
    value_->setAccessibleDescription(value_->text());
}

bool TFormCharts::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == chartView_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        switch (key->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoom(kZoomStep);
            return true;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            zoom(1.0 / kZoomStep);
            return true;
        case Qt::Key_Left:
            shift ? stepCursor(-1) : pan(-kPanStep);
            return true;
        case Qt::Key_Right:
            shift ? stepCursor(1) : pan(kPanStep);
            return true;
        case Qt::Key_PageUp:
            pan(-1.0);
            return true;
        case Qt::Key_PageDown:
            pan(1.0);
            return true;
        case Qt::Key_Home:
            showWhole();
            return true;
        case Qt::Key_End:
            setView(panSpan({limits_.to - view_.width(), limits_.to}, limits_, 0.0));
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCharts::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The curves keep about one point per pixel of the new width.
    scheduleRedraw();
}

int TFormCharts::drawnPoints(int n, TrendMeasure m) const
{
    int count = 0;
    const auto it = series_.find({n, int(m)});
    if (it == series_.end())
        return 0;
    for (const QLineSeries *s : it->second) {
        if (s->isVisible())
            count += int(s->count());
    }
    return count;
}

int TFormCharts::drawnSegments(int n, TrendMeasure m) const
{
    int count = 0;
    const auto it = series_.find({n, int(m)});
    if (it == series_.end())
        return 0;
    for (const QLineSeries *s : it->second)
        count += s->isVisible() ? 1 : 0;
    return count;
}

bool TFormCharts::savePng(const QString &path, QString *error)
{
    QSaveFile f(path);
    const QPixmap picture = chartView_->grab();
    if (!f.open(QIODevice::WriteOnly) || !picture.save(&f, "PNG") || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

bool TFormCharts::saveCsv(const QString &path, QString *error)
{
    return writeFileAtomically(path, data_.csv(view_, shownUnits()), error);
}

namespace {

QString exportName(int unit, const QString &suffix)
{
    return u"графики_%1_%2.%3"_s.arg(unit == 0 ? u"все"_s : QString::number(unit),
                                     QDateTime::currentDateTime().toString(u"yyyy-MM-dd_HHmm"_s), suffix);
}

} // namespace

void TFormCharts::exportPng()
{
    if (const auto path = saveThroughDialog(
            this, u"Сохранить график"_s, {u"Рисунки PNG (*.png)"_s}, u"png"_s, exportName(unit_, u"png"_s),
            [this](const QString &p, QString *error) { return savePng(p, error); }))
        Q_EMIT exported(*path);
}

void TFormCharts::exportCsv()
{
    if (const auto path = saveThroughDialog(
            this, u"Сохранить значения"_s, {u"Файлы CSV (*.csv)"_s}, u"csv"_s, exportName(unit_, u"csv"_s),
            [this](const QString &p, QString *error) { return saveCsv(p, error); }))
        Q_EMIT exported(*path);
}

} // namespace kvu
