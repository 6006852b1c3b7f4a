#pragma once

#include "history/HistoryReader.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <atomic>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QThread;
class QTimer;

namespace kvu {

class Program;

// The records the filter lets through, as a table of the twelve fields.
class HistTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRecords(QList<HistRecord> records, QList<int> rows);
    void setRows(QList<int> rows);
    const QList<HistRecord> &records() const { return records_; }
    const QList<int> &rows() const { return rows_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<HistRecord> records_;
    QList<int> rows_;
};

// "Журнал событий": every history file of the program read in a worker thread, newest first, with
// filters and export as CSV. Not modal; Escape and "Закрыть" hide it.
class TFormHistory : public QDialog
{
    Q_OBJECT
public:
    TFormHistory(Program &program, QWidget *parent);
    ~TFormHistory() override;

    // Shows the window (in front) and reads the files afresh.
    void showHistory();
    // Reads the files again; a reading still under way is left to finish.
    void reload();
    bool loading() const { return thread_ != nullptr; }

    // Applies the filter controls to the table.
    void applyFilter();
    // Asks for a file name with the file dialog and writes what the table shows there.
    void exportCsv();

    HistTableModel *model() const { return model_; }
    QTableView *table() const { return table_; }
    QComboBox *unitBox() const { return unit_; }
    QComboBox *kindBox() const { return kind_; }
    QDateEdit *fromEdit() const { return from_; }
    QDateEdit *toEdit() const { return to_; }
    QLineEdit *searchEdit() const { return search_; }
    QPushButton *exportButton() const { return export_; }
    QLabel *countLabel() const { return count_; }

    // How long the last reading took in the worker, and the last filtering, in milliseconds.
    qint64 lastLoadMs() const { return loadMs_; }
    qint64 lastFilterMs() const { return filterMs_; }

Q_SIGNALS:
    void loaded();
    void exported(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void nameUnits();
    void finishLoad();
    void resetFilters();
    void showCount();
    void setCountText(const QString &text);
    HistFilter filter() const;

    Program &program_;
    HistTableModel *model_ = nullptr;
    QTableView *table_ = nullptr;
    QComboBox *unit_ = nullptr;
    QComboBox *kind_ = nullptr;
    QDateEdit *from_ = nullptr;
    QDateEdit *to_ = nullptr;
    QLineEdit *search_ = nullptr;
    QPushButton *reset_ = nullptr;
    QPushButton *reload_ = nullptr;
    QPushButton *export_ = nullptr;
    QPushButton *close_ = nullptr;
    QLabel *count_ = nullptr;
    QTimer *progressTimer_ = nullptr;

    QThread *thread_ = nullptr;
    std::shared_ptr<HistLoad> pending_;
    std::shared_ptr<std::atomic<int>> progress_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    bool reloadAgain_ = false;
    // Each date follows what was read until the operator sets it.
    bool fromTouched_ = false;
    bool toTouched_ = false;
    bool settingDates_ = false;
    qint64 loadMs_ = 0;
    qint64 filterMs_ = 0;
    HistLoad info_;
};

} // namespace kvu
