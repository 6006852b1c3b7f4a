#include "history/History.h"

#include "core/Constants.h"
#include "core/Error.h"
#include "core/ProgramState.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr int kDefaultMaxLines = 2000;
// A history file larger than this is read only up to here: its oldest lines are dropped.
constexpr qint64 kMaxLoadBytes = 32 * 1024 * 1024;
// Ticks from the first unsaved line to the periodic save.
constexpr int kSaveAfterTicks = 15;

constexpr QChar kTab = u'\t';
constexpr QChar kQuote = u'"';

void appendQuoted(QString &line, QStringView text)
{
    line += kQuote;
    line += text;
    line += kQuote;
}

} // namespace

int History::MaxLines() const
{
    // A hand-edited zero or negative bound would empty the list and then the file at the next save.
    return p_.s.MaxLenStringList > 0 ? p_.s.MaxLenStringList : kDefaultMaxLines;
}

void History::GenHistoryMsg(int i)
{
    if (i < 1 || i >= kUnitSlots)
        return;
    UnitTable &u = p_.u;
    const auto k = std::size_t(i);

    if (u.StateTCPConn[k] == 1 && u.StateTCPConn_Old[k] == 1) {
        if (u.iCntPosErr[k] < 0 && u.CodeErrorAHU[k] != u.CodeErrorAHU_Old[k]) {
            u.iCntPosErr[k] = 1;
            ComposeHistoryMsg(i, 1, u"Авария"_s, true);
        }
        if ((!u.IsDangerOverheat_Old[k] && u.IsDangerOverheat[k]) ||
            (!u.IsChangeFilterAHU_Old[k] && u.IsChangeFilterAHU[k])) {
            if (!u.MsgAHU[k].startsWith(u'В'))
                ComposeHistoryMsg(i, 2, u"Предупр."_s, false);
        }
        if (u.StateAHU_Old[k] != u.StateAHU[k]) {
            QString text;
            switch (u.StateAHU[k]) {
            case 1:
                text = u"Включено"_s;
                break;
            case 2:
                text = u"Отключение..."_s;
                break;
            case 3:
                text = u"Включение..."_s;
                break;
            default:
                text = u"Отключено"_s;
                break;
            }
            ComposeHistoryMsg(i, 3, text, false);
        }
        if (u.IsHumidAuto_Old[k] != u.IsHumidAuto[k])
            ComposeHistoryMsg(i, 4, u.IsHumidAuto[k] ? u"Вкл. увлажн."_s : u"Откл. увлажн."_s, false);
        if (u.ModeAHU_Old[k] != u.ModeAHU[k] && u.ModeAHU_Old[k] != 5 && u.ModeAHU[k] != 5)
            ComposeHistoryMsg(i, 8, u"Изм. режима"_s, false);
        if (u.ScenAllowAHU_Old[k] != u.ScenAllowAHU[k])
            ComposeHistoryMsg(i, 9, u.ScenAllowAHU[k] ? u"Разр. сценар."_s : u"Откл. сценар."_s, false);
        if ((u.NumActiveScenAHU_Old[k] != u.NumActiveScenAHU[k] ||
             u.WhoActivateScenAHU_Old[k] != u.WhoActivateScenAHU[k]) &&
            u.NumActiveScenAHU[k] > 0)
            ComposeHistoryMsg(i, 10, u"Запуск сцен. "_s + TableText(ScenName, u.NumActiveScenAHU[k]), false);
        if (u.TemperTargetAHU_Old[k] != u.TemperTargetAHU[k])
            ComposeHistoryMsg(i, 5, u"Задание Т %1°"_s.arg(u.TemperTargetAHU[k]), false);
        if (u.SpeedTargetAHU_Old[k] != u.SpeedTargetAHU[k])
            ComposeHistoryMsg(i, 6, u"Задание V %1"_s.arg(u.SpeedTargetAHU[k]), false);
        if (u.HumidTargetAHU_Old[k] != u.HumidTargetAHU[k])
            ComposeHistoryMsg(i, 7, u"Задание H %1%"_s.arg(u.HumidTargetAHU[k]), false);
    } else {
        const int was = u.StateTCPConn_Old[k];
        const int now = u.StateTCPConn[k];
        if (was != now && now < 2 && now != 0 && was >= -5 && was != 0 && now != -6) {
            if (now == 1)
                ComposeHistoryMsg(i, 101, u"Связь установл."_s, false);
            else
                ComposeHistoryMsg(i, 301, u"Нет связи"_s, false);
        }
    }

    u.StateTCPConn_Old[k] = u.StateTCPConn[k];
    u.IsHumidAuto_Old[k] = u.IsHumidAuto[k];
    u.StateAHU_Old[k] = u.StateAHU[k];
    u.PwrAHU_Old[k] = u.PwrAHU[k];
    u.TemperTargetAHU_Old[k] = u.TemperTargetAHU[k];
    u.SpeedTargetAHU_Old[k] = u.SpeedTargetAHU[k];
    u.HumidTargetAHU_Old[k] = u.HumidTargetAHU[k];
    u.ModeAHU_Old[k] = u.ModeAHU[k];
    u.ModeSetAHU_Old[k] = u.ModeSetAHU[k];
    u.ScenAllowAHU_Old[k] = u.ScenAllowAHU[k];
    u.NumActiveScenAHU_Old[k] = u.NumActiveScenAHU[k];
    u.WhoActivateScenAHU_Old[k] = u.WhoActivateScenAHU[k];
}

void History::ComposeHistoryMsg(int i, int iType, const QString &sType, bool IsErr)
{
    const UnitTable &u = p_.u;
    // A number outside the table reads the always empty slot 0.
    const auto k = std::size_t(i >= 0 && i < kUnitSlots ? i : 0);
    const QString stamp = p_.clock().now().toString(u"dd.MM.yy HH:mm:ss");

    QString msg = u.MsgAHU[k];
    msg.replace(u';', u',');
    // One history line is one line of the file with twelve fields: a line break or a TAB from the
    // panel's text would split it.
    for (QChar &c : msg) {
        if (c == u'\r' || c == u'\n' || c == kTab)
            c = u' ';
    }
    QString marker;
    if (IsErr) {
        marker = u"#ERR#%1#%2"_s.arg(i).arg(QString::number(u.CodeErrorAHU[k], 16).toUpper());
        msg.replace(marker, u" "_s);
    }

    QString line;
    line.reserve(96 + sType.size() + msg.size());
    line += QString::number(iType);
    line += kTab;
    appendQuoted(line, stamp);
    line += kTab;
    line += iType <= 500 ? QString::number(i) : u"-"_s;
    line += kTab;
    appendQuoted(line, sType);
    line += kTab;
    if (iType <= 300) {
        line += TableText(StateName, u.StateAHU[k]);
        line += kTab;
        line += TableText(sMode, u.ModeAHU[k]);
        line += kTab;
        appendQuoted(line, u"%1 %2"_s.arg(u.SpeedAHU[k]).arg(u.SpeedTargetAHU[k]));
        line += kTab;
        appendQuoted(line, u"%1° %2°"_s.arg(u.TemperAHU[k]).arg(u.TemperTargetAHU[k]));
        line += kTab;
        if (u.IsHumidAHU[k])
            appendQuoted(line, u"%1% %2%"_s.arg(u.HumidAHU[k]).arg(u.HumidTargetAHU[k]));
        else
            line += u'-';
        line += kTab;
        appendQuoted(line, TableText(WhoRunScenName, u.WhoActivateScenAHU[k]) + u' ' +
                               TableText(ScenName, u.NumActiveScenAHU[k]));
        line += kTab;
    } else {
        for (int f = 4; f <= 9; ++f) {
            line += u'-';
            line += kTab;
        }
    }
    appendQuoted(line, msg);
    line += kTab;
    if (IsErr)
        line += marker;
    else
        line += u'-';

    AddStringToSLHist(line);
}

void History::AddStringToSLHist(const QString &sData)
{
    SLHist.prepend(sData);
    if (SLHist.size() > MaxLines())
        SLHist.removeLast();
    if (iCntNotSavedHistData == 0)
        iCntNotSavedHistData = 1;
}

void History::LogServiceModeLeft()
{
    ComposeHistoryMsg(0, 504, u"Сервис (откл. св.)"_s, false);
}

void History::SetHistFileNames()
{
    NameHistFile = u"history001.txt"_s;
    NameHistBakFile = u"history001.bak"_s;
    FullNameHistDir = QDir::cleanPath(p_.ProgramDir + u'/' + QLatin1StringView(kHistDirName));
    FullNameHistFile = FullNameHistDir + u'/' + NameHistFile;
    FullNameHistBakFile = FullNameHistDir + u'/' + NameHistBakFile;
    QDir().mkpath(FullNameHistDir);
}

bool History::LoadHistFiles()
{
    if (FullNameHistFile.isEmpty())
        SetHistFileNames();
    encoding_ = HistEncoding::Cp1251;
    fileUnread_ = false;
    HistReadResult r = ReadHistFile(FullNameHistFile, MaxLines(), kMaxLoadBytes);
    if (!r.ok) {
        SLHist.clear();
        fileUnread_ = r.exists;
        return false;
    }
    SLHist = std::move(r.lines);
    encoding_ = r.encoding;
    return true;
}

void History::ReadUnreadFile()
{
    HistReadResult r = ReadHistFile(FullNameHistFile, MaxLines(), kMaxLoadBytes);
    if (r.exists && !r.ok)
        throw Error(u"Не удалось прочитать файл истории %1: %2. Файл не перезаписан, чтобы не потерять "
                    u"его строки."_s.arg(QDir::toNativeSeparators(FullNameHistFile), r.error));
    if (r.ok) {
        // Its lines are older than every line of this run.
        encoding_ = r.encoding;
        const qsizetype room = MaxLines() - SLHist.size();
        if (room > 0)
            SLHist.append(r.lines.mid(0, room));
    }
    fileUnread_ = false;
}

void History::SaveHistFile()
{
    if (!p_.u.IsGoodDiskSpace || !p_.s.IsSaveHistory)
        return;
    if (FullNameHistFile.isEmpty())
        SetHistFileNames();
    if (fileUnread_)
        ReadUnreadFile();
    WriteHistFile(FullNameHistFile, SLHist, encoding_);
    saveFailing_ = false;
}

void History::TickSave()
{
    if (iCntNotSavedHistData <= 0)
        return;
    if (++iCntNotSavedHistData <= kSaveAfterTicks)
        return;
    iCntNotSavedHistData = 0;
    try {
        SaveHistFile();
    } catch (const Error &) {
        // The file stays behind the list: try again after the same wait.
        iCntNotSavedHistData = 1;
        if (saveFailing_)
            return;
        saveFailing_ = true;
        throw;
    }
}

void History::SaveIfPending()
{
    if (iCntNotSavedHistData <= 0)
        return;
    iCntNotSavedHistData = 0;
    try {
        SaveHistFile();
    } catch (const Error &) {
        iCntNotSavedHistData = 1;
        throw;
    }
}

void History::Release()
{
    SLHist = QStringList();
    // Nothing is left that a later save could write: an empty list must never replace the file.
    iCntNotSavedHistData = 0;
}

} // namespace kvu
