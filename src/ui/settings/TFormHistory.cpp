#include "ui/settings/TFormHistory.h"

#include "ui/settings/SaveDialog.h"
#include "ui/settings/SettingsLook.h"

#include "app/Program.h"
#include "core/Constants.h"
#include "history/History.h"

#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

// The shared look of the settings windows, with the table, its header and slim scroll bars.
const QString kStyle = settingsStyleSheet() + uR"(
QLabel#L_count { color: #8BC0DA; font-weight: bold; }
QTableView {
    font-family: Arial; background: #2A3641; alternate-background-color: #31404C; color: white;
    gridline-color: #46576A; border: 1px solid #8395A6; border-radius: 5px;
    selection-background-color: #8BC0DA; selection-color: #1E2830;
}
QTableView:focus { border: 2px solid white; }
QHeaderView::section {
    background: #5E7284; color: white; font-family: Arial; font-weight: bold; border: none;
    border-right: 1px solid #46576A; padding: 4px 6px;
}
QTableCornerButton::section { background: #5E7284; border: none; }
QAbstractScrollArea::corner { background: #2A3641; }
QScrollBar { background: #2A3641; border: none; }
QScrollBar:vertical { width: 12px; }
QScrollBar:horizontal { height: 12px; }
QScrollBar::handle { background: #5E7284; border-radius: 4px; margin: 2px; }
QScrollBar::handle:hover { background: #8395A6; }
QScrollBar::handle:vertical { min-height: 24px; }
QScrollBar::handle:horizontal { min-width: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QPushButton:disabled { background: #8395A6; border-color: #8395A6; color: #46576A; }
)"_s;

constexpr int kMessageColumn = 10;
constexpr int kMessageMinWidth = 200;

// Alarm lines stand out in the panel's alarm colour.
const QColor kAlarmText(0xFF, 0xB4, 0xA8);

} // namespace

void HistTableModel::setRecords(QList<HistRecord> records, QList<int> rows)
{
    beginResetModel();
    records_ = std::move(records);
    rows_ = std::move(rows);
    endResetModel();
}

void HistTableModel::setRows(QList<int> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int HistTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int HistTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kHistFields;
}

QVariant HistTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= kHistFields)
        return {};
    const HistRecord &r = records_[rows_[index.row()]];
    switch (role) {
    case Qt::DisplayRole:
        return r.field[std::size_t(index.column())];
    case Qt::ForegroundRole:
        if (r.kind == HistKind::Alarm)
            return kAlarmText;
        return {};
    case Qt::ToolTipRole:
        if (r.damaged)
            return u"Строка журнала повреждена"_s;
        return {};
    default:
        return {};
    }
}

QVariant HistTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kHistFields)
        return HistFieldHeaders()[section];
    return {};
}

TFormHistory::TFormHistory(Program &program, QWidget *parent)
    : QDialog(parent, kToolWindowFlags), program_(program)
{
    setUpSettingsWindow(this, u"FormHistory"_s, u"Журнал событий"_s, kStyle);
    setModal(false);
    build();
    resize(1260, 640);
}

TFormHistory::~TFormHistory()
{
    if (thread_) {
        cancel_->store(true);
        thread_->wait();
        delete thread_;
    }
}

void TFormHistory::build()
{
    const auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };

    unit_ = new QComboBox(this);
    unit_->setObjectName(u"CB_unit"_s);
    unit_->setAccessibleName(u"Установка"_s);
    unit_->addItem(u"Все"_s, 0);
    for (int i = 1; i <= MaxnAHU; ++i)
        unit_->addItem(QString::number(i), i);
    nameUnits();

    kind_ = new QComboBox(this);
    kind_->setObjectName(u"CB_kind"_s);
    kind_->setAccessibleName(u"Вид события"_s);
    kind_->addItem(u"Все"_s, -1);
    for (HistKind k : {HistKind::Link, HistKind::Alarm, HistKind::State, HistKind::Program})
        kind_->addItem(HistKindName(k), int(k));

    const auto dateEdit = [this](const char *name, const QString &accessible) {
        auto *d = new QDateEdit(this);
        d->setObjectName(QString::fromLatin1(name));
        d->setAccessibleName(accessible);
        d->setDisplayFormat(u"dd.MM.yyyy"_s);
        d->setCalendarPopup(true);
        d->setDateRange(QDate(2000, 1, 1), QDate(2099, 12, 31));
        d->setMinimumWidth(d->fontMetrics().horizontalAdvance(u"00.00.00000"_s) + 40);
        return d;
    };
    from_ = dateEdit("DE_from", u"С даты"_s);
    to_ = dateEdit("DE_to", u"По дату"_s);

    search_ = new QLineEdit(this);
    search_->setObjectName(u"E_search"_s);
    search_->setAccessibleName(u"Поиск"_s);
    search_->setPlaceholderText(u"Текст для поиска"_s);
    search_->setClearButtonEnabled(true);
    search_->setMinimumWidth(200);

    reset_ = settingsButton(this, "B_reset", u"Сбросить"_s, u"Сбросить фильтры"_s);

    auto *tile = new QFrame(this);
    tile->setObjectName(u"tile"_s);
    auto *filters = new QHBoxLayout(tile);
    filters->setContentsMargins(14, 10, 14, 10);
    filters->setSpacing(8);
    filters->addWidget(label(u"&Установка:"_s, unit_));
    filters->addWidget(unit_);
    filters->addSpacing(8);
    filters->addWidget(label(u"&Вид:"_s, kind_));
    filters->addWidget(kind_);
    filters->addSpacing(8);
    filters->addWidget(label(u"&С:"_s, from_));
    filters->addWidget(from_);
    filters->addWidget(label(u"&по:"_s, to_));
    filters->addWidget(to_);
    filters->addSpacing(8);
    filters->addWidget(label(u"П&оиск:"_s, search_));
    filters->addWidget(search_, 1);
    filters->addWidget(reset_);

    model_ = new HistTableModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(u"TV_hist"_s);
    table_->setAccessibleName(u"События"_s);
    table_->setModel(model_);
    table_->setAlternatingRowColors(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(24);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[kHistFields] = {46, 130, 86, 140, 86, 60, 76, 100, 88, 84, 200, 96};
    for (int c = 0; c < kHistFields; ++c)
        table_->setColumnWidth(c, widths[c]);
    // The message column takes the room the others leave, but never less than its own width.
    table_->viewport()->installEventFilter(this);

    count_ = new QLabel(this);
    count_->setObjectName(u"L_count"_s);
    count_->setAccessibleName(u"Число записей"_s);
    reload_ = settingsButton(this, "B_reload", u"Обновить"_s, u"Перечитать журнал"_s);
    export_ = settingsButton(this, "B_export", u"Экспорт в CSV…"_s, u"Экспорт в CSV"_s);
    close_ = settingsButton(this, "B_close", u"Закрыть"_s, u"Закрыть журнал"_s);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(count_, 1);
    bottom->addWidget(reload_);
    bottom->addWidget(export_);
    bottom->addWidget(close_);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(12, 12, 12, 12);
    root->setSpacing(10);
    root->addWidget(tile);
    root->addWidget(table_, 1);
    root->addLayout(bottom);

    setTabOrder(unit_, kind_);
    setTabOrder(kind_, from_);
    setTabOrder(from_, to_);
    setTabOrder(to_, search_);
    setTabOrder(search_, reset_);
    setTabOrder(reset_, table_);
    setTabOrder(table_, reload_);
    setTabOrder(reload_, export_);
    setTabOrder(export_, close_);

    connect(unit_, &QComboBox::currentIndexChanged, this, &TFormHistory::applyFilter);
    connect(kind_, &QComboBox::currentIndexChanged, this, &TFormHistory::applyFilter);
    const auto dateChanged = [this](bool &touched) {
        if (settingDates_)
            return;
        touched = true;
        applyFilter();
    };
    connect(from_, &QDateEdit::dateChanged, this, [this, dateChanged] { dateChanged(fromTouched_); });
    connect(to_, &QDateEdit::dateChanged, this, [this, dateChanged] { dateChanged(toTouched_); });
    connect(search_, &QLineEdit::returnPressed, this, &TFormHistory::applyFilter);
    // Clearing the field with its button shows everything again without Enter.
    connect(search_, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            applyFilter();
    });
    connect(reset_, &QPushButton::clicked, this, &TFormHistory::resetFilters);
    connect(reload_, &QPushButton::clicked, this, &TFormHistory::reload);
    connect(export_, &QPushButton::clicked, this, &TFormHistory::exportCsv);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        if (progress_)
            setCountText(u"Чтение журнала… %1 %"_s.arg(progress_->load()));
    });
    showCount();
}

bool TFormHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table_->viewport() && event->type() == QEvent::Resize) {
        int others = 0;
        for (int c = 0; c < kHistFields; ++c) {
            if (c != kMessageColumn)
                others += table_->columnWidth(c);
        }
        table_->setColumnWidth(kMessageColumn,
                               std::max(kMessageMinWidth, table_->viewport()->width() - others));
    }
    return QDialog::eventFilter(watched, event);
}

void TFormHistory::nameUnits()
{
    for (int i = 1; i <= MaxnAHU; ++i) {
        const QString name = program_.u.NameAHU[std::size_t(i)].trimmed();
        // "-" is the settings file's word for a unit without a name.
        const bool unnamed = name.isEmpty() || name == u"-"_s;
        unit_->setItemText(i, unnamed ? QString::number(i) : u"%1 %2"_s.arg(i).arg(name));
    }
}

void TFormHistory::showHistory()
{
    // Units may have been renamed since the window was last open.
    nameUnits();
    show();
    raise();
    activateWindow();
    reload();
}

void TFormHistory::reload()
{
    if (thread_) {
        reloadAgain_ = true;
        return;
    }
    const History &h = program_.history();
    auto request = std::make_shared<HistFolderRead>();
    request->folder = h.FullNameHistDir;
    request->current = h.FullNameHistFile;
    // The list in memory holds what the file has plus lines not saved yet (or never, with saving
    // switched off).
    request->currentLines = h.SLHist;
    progress_ = std::make_shared<std::atomic<int>>(0);
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    request->progressPercent = progress_.get();
    request->cancel = cancel_.get();
    auto result = std::make_shared<HistLoad>();
    pending_ = result;
    // The shared pointers keep the request, its counters and the result alive for the thread.
    thread_ = QThread::create([request, result, progress = progress_, cancel = cancel_] {
        if (request->folder.isEmpty()) {
            *result = ParseHistLines(*request->currentLines);
            SortNewestFirst(result->records);
        } else {
            *result = LoadHistFolder(*request);
        }
    });
    auto *timer = new QElapsedTimer;
    timer->start();
    connect(thread_, &QThread::finished, this, [this, timer] {
        loadMs_ = timer->elapsed();
        delete timer;
        finishLoad();
    });
    reload_->setEnabled(false);
    export_->setEnabled(false);
    setCountText(u"Чтение журнала…"_s);
    progressTimer_->start();
    thread_->start(QThread::LowPriority);
}

void TFormHistory::finishLoad()
{
    progressTimer_->stop();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    HistLoad load = std::move(*pending_);
    pending_.reset();
    reload_->setEnabled(true);
    export_->setEnabled(true);

    info_.skipped = load.skipped;
    info_.errors = load.errors;
    info_.files = load.files;
    {
        // A date the operator has not set follows the range of the dates read, so that nothing
        // is hidden by it.
        QDate first, last;
        for (const HistRecord &r : load.records) {
            if (!r.when.isValid())
                continue;
            const QDate d = r.when.date();
            if (!first.isValid() || d < first)
                first = d;
            if (!last.isValid() || d > last)
                last = d;
        }
        settingDates_ = true;
        if (!fromTouched_)
            from_->setDate(first.isValid() ? first : QDate::currentDate());
        if (!toTouched_)
            to_->setDate(last.isValid() ? last : QDate::currentDate());
        settingDates_ = false;
    }
    QElapsedTimer t;
    t.start();
    QList<int> rows = FilterHist(load.records, filter());
    filterMs_ = t.elapsed();
    model_->setRecords(std::move(load.records), std::move(rows));
    showCount();
    Q_EMIT loaded();
    if (reloadAgain_) {
        reloadAgain_ = false;
        reload();
    }
}

HistFilter TFormHistory::filter() const
{
    HistFilter f;
    f.unit = unit_->currentData().toInt();
    const int kind = kind_->currentData().toInt();
    if (kind >= 0)
        f.kind = HistKind(kind);
    if (fromTouched_)
        f.from = from_->date();
    if (toTouched_)
        f.to = to_->date();
    f.text = search_->text();
    return f;
}

void TFormHistory::applyFilter()
{
    if (thread_)
        return; // applied when the reading ends
    QElapsedTimer t;
    t.start();
    model_->setRows(FilterHist(model_->records(), filter()));
    filterMs_ = t.elapsed();
    showCount();
}

void TFormHistory::resetFilters()
{
    settingDates_ = true;
    unit_->setCurrentIndex(0);
    kind_->setCurrentIndex(0);
    search_->clear();
    fromTouched_ = false;
    toTouched_ = false;
    settingDates_ = false;
    // The dates go back to the range of what was read.
    if (!thread_)
        reload();
}

void TFormHistory::showCount()
{
    QString text = u"Показано: %1 из %2"_s.arg(model_->rows().size()).arg(model_->records().size());
    if (info_.skipped > 0)
        text += u"; пропущено строк: %1"_s.arg(info_.skipped);
    if (!info_.errors.isEmpty())
        text += u"; не прочитано файлов: %1"_s.arg(info_.errors.size());
    setCountText(text);
    count_->setToolTip(info_.errors.join(u'\n'));
}

void TFormHistory::setCountText(const QString &text)
{
    count_->setText(text);
    // The label's accessible name says what it is; a screen reader reads the count from here.
    count_->setAccessibleDescription(text);
}

void TFormHistory::exportCsv()
{
    const auto write = [this](const QString &path, QString *error) {
        return WriteHistCsv(path, model_->records(), model_->rows(), error);
    };
    if (const auto path =
            saveThroughDialog(this, u"Экспорт в CSV"_s, {u"Файлы CSV (*.csv)"_s}, u"csv"_s,
                              u"журнал_%1.csv"_s.arg(QDate::currentDate().toString(u"yyyy-MM-dd"_s)), write))
        Q_EMIT exported(*path);
}

} // namespace kvu
