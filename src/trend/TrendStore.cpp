#include "trend/TrendStore.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace kvu {

namespace {

QAtomicInt connectionCounter;

// SQLite's primary result code for a full disk or a database at its page limit.
constexpr int kSqliteFull = 13;

const QString kCreateTable = u"CREATE TABLE IF NOT EXISTS sample ("
                             "time_ms INTEGER NOT NULL, unit INTEGER NOT NULL, "
                             "temper INTEGER NOT NULL, target INTEGER NOT NULL, humidity INTEGER, "
                             "speed INTEGER NOT NULL, is_on INTEGER NOT NULL, alarm INTEGER NOT NULL)"_s;
const QString kCreateIndex = u"CREATE INDEX IF NOT EXISTS sample_unit_time ON sample (unit, time_ms)"_s;

} // namespace

TrendStore::TrendStore(QString path)
    : path_(std::move(path)), connection_(u"kvu-trend-%1"_s.arg(connectionCounter.fetchAndAddRelaxed(1)))
{}

TrendStore::~TrendStore()
{
    close();
}

bool TrendStore::isOpen() const
{
    return QSqlDatabase::contains(connection_) && QSqlDatabase::database(connection_, false).isOpen();
}

void TrendStore::close()
{
    if (!QSqlDatabase::contains(connection_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

void TrendStore::fail(const QString &what, const QSqlError &error)
{
    lastErrorFull_ = error.nativeErrorCode().toInt() % 256 == kSqliteFull;
    const QString detail = error.text().trimmed();
    lastError_ = detail.isEmpty() ? what : what + u": "_s + detail;
}

bool TrendStore::exec(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(sql)) {
        fail(sql.section(u' ', 0, 1), q.lastError());
        return false;
    }
    return true;
}

bool TrendStore::open()
{
    if (isOpen())
        return true;
    close();
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        lastError_ = u"нет драйвера SQLite"_s;
        lastErrorFull_ = false;
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection_);
        db.setDatabaseName(path_);
        // Wait briefly rather than fail when a reader (the chart window) holds a lock.
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=2000"_s);
        if (!db.open()) {
            fail(u"open"_s, db.lastError());
            db = QSqlDatabase();
            close();
            return false;
        }
    }
    // A file that is not a database, or of another version, is refused before anything is written.
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    bool ok = q.exec(u"PRAGMA user_version"_s) && q.next();
    const int version = ok ? q.value(0).toInt() : -1;
    if (!ok) {
        fail(u"user_version"_s, q.lastError());
    } else if (version != 0 && version != kSchemaVersion) {
        lastError_ = u"файл другой версии (%1)"_s.arg(version);
        lastErrorFull_ = false;
        ok = false;
    }
    if (ok) {
        ok = q.exec(u"PRAGMA journal_mode=WAL"_s) && q.next() &&
             q.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) == 0;
        if (!ok) {
            fail(u"journal_mode"_s, q.lastError());
            if (lastError_ == u"journal_mode"_s)
                lastError_ = u"журнал WAL недоступен"_s;
        }
    }
    q = QSqlQuery();
    ok = ok && exec(u"PRAGMA synchronous=FULL"_s);
    if (ok && version == 0) {
        ok = exec(u"BEGIN"_s) && exec(kCreateTable) && exec(kCreateIndex) &&
             exec(u"PRAGMA user_version=%1"_s.arg(kSchemaVersion)) && exec(u"COMMIT"_s);
        if (!ok)
            exec(u"ROLLBACK"_s);
    }
    if (!ok)
        close();
    return ok;
}

bool TrendStore::setMaxPages(int pages)
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    return q.exec(u"PRAGMA max_page_count=%1"_s.arg(pages));
}

bool TrendStore::append(const std::vector<TrendSample> &rows)
{
    if (!isOpen()) {
        lastError_ = u"файл не открыт"_s;
        lastErrorFull_ = false;
        return false;
    }
    if (rows.empty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        fail(u"begin"_s, db.lastError());
        return false;
    }
    bool ok = true;
    {
        QSqlQuery q(db);
        ok = q.prepare(u"INSERT INTO sample (time_ms, unit, temper, target, humidity, speed, is_on, alarm) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s);
        for (const TrendSample &r : rows) {
            if (!ok)
                break;
            q.bindValue(0, r.timeMs);
            q.bindValue(1, r.unit);
            q.bindValue(2, r.temper);
            q.bindValue(3, r.target);
            q.bindValue(4, r.humidity ? QVariant(*r.humidity) : QVariant(QMetaType(QMetaType::Int)));
            q.bindValue(5, r.speed);
            q.bindValue(6, r.on ? 1 : 0);
            q.bindValue(7, r.alarm ? 1 : 0);
            ok = q.exec();
        }
        if (!ok)
            fail(u"insert"_s, q.lastError());
    }
    if (ok && !db.commit()) {
        fail(u"commit"_s, db.lastError());
        ok = false;
    }
    if (!ok)
        db.rollback();
    return ok;
}

std::vector<TrendSample> TrendStore::samples(int unit, qint64 fromMs, qint64 toMs)
{
    std::vector<TrendSample> out;
    if (!isOpen())
        return out;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    const QString columns =
        u"SELECT time_ms, unit, temper, target, humidity, speed, is_on, alarm FROM sample "_s;
    if (unit == kAllUnits) {
        q.prepare(columns + u"WHERE time_ms BETWEEN ? AND ? ORDER BY unit, time_ms"_s);
        q.bindValue(0, fromMs);
        q.bindValue(1, toMs);
    } else {
        q.prepare(columns + u"WHERE unit = ? AND time_ms BETWEEN ? AND ? ORDER BY time_ms"_s);
        q.bindValue(0, unit);
        q.bindValue(1, fromMs);
        q.bindValue(2, toMs);
    }
    if (!q.exec()) {
        fail(u"select"_s, q.lastError());
        return out;
    }
    while (q.next()) {
        TrendSample s;
        s.timeMs = q.value(0).toLongLong();
        s.unit = q.value(1).toInt();
        s.temper = q.value(2).toInt();
        s.target = q.value(3).toInt();
        const QVariant h = q.value(4);
        if (!h.isNull())
            s.humidity = h.toInt();
        s.speed = q.value(5).toInt();
        s.on = q.value(6).toInt() != 0;
        s.alarm = q.value(7).toInt() != 0;
        out.push_back(s);
    }
    return out;
}

int TrendStore::pruneBefore(qint64 beforeMs)
{
    if (!isOpen())
        return -1;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(u"DELETE FROM sample WHERE time_ms < ?"_s);
    q.bindValue(0, beforeMs);
    if (!q.exec()) {
        fail(u"delete"_s, q.lastError());
        return -1;
    }
    return q.numRowsAffected();
}

} // namespace kvu
