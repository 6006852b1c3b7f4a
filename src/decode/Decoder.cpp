#include "decode/Decoder.h"

#include "core/ArchiveSink.h"
#include "core/Constants.h"
#include "core/Cp1251.h"
#include "core/Error.h"
#include "core/ProgramState.h"
#include "core/ZSub.h"
#include "decode/Items.h"
#include "link/PanelLink.h"
#include "link/Protocol.h"

#include <array>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr std::array<QStringView, 5> kArchReplies = {u"VRPrt", u"VRSD1", u"VRSD2", u"VRVD1", u"VRFD1"};
constexpr std::array<QStringView, 10> kRestoreReplies = {u"VASD1", u"VASD2", u"VAVD1", u"VAFD1", u"VAFOK",
                                                         u"VAFEr", u"VWrtN", u"VWrtT", u"VADat", u"VWrtY"};

template <std::size_t N> bool isOneOf(QStringView code, const std::array<QStringView, N> &codes)
{
    for (QStringView c : codes) {
        if (code == c)
            return true;
    }
    return false;
}

bool isAscii(QStringView s)
{
    for (QChar c : s) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// The panel writes its messages in UTF-8, which reached us one character per byte: turn the item
// back into its bytes and read those as UTF-8. Plain ASCII needs no conversion.
void appendPanelText(QString &out, QStringView item)
{
    if (isAscii(item))
        out.append(item);
    else
        out.append(QString::fromUtf8(toCp1251(item)));
}

bool isBit(quint32 word, int bit)
{
    return (word >> bit) & 1u;
}

int bits(quint32 word, int first, int count)
{
    return int((word >> first) & ((1u << count) - 1u));
}

// Two decimal digits of a zone number (one digit when the text ends early), or -1.
int zoneNumber(QStringView code)
{
    const QStringView digits = code.sliced(3).first(qMin<qsizetype>(2, code.size() - 3));
    if (digits.isEmpty())
        return -1;
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

template <class Work> void Decoder::guarded(int n, Work &&work)
{
    if (n < 1 || n > nAHUOnPage)
        return;
    try {
        work();
    } catch (const Error &e) {
        p_.log.add(u":: Decode "_s + QString::number(n) + u" :: "_s + e.text());
    } catch (const std::exception &e) {
        p_.log.add(u":: Decode "_s + QString::number(n) + u" :: "_s + QString::fromUtf8(e.what()));
    }
}

void Decoder::ParsData(int n, const QString &text)
{
    guarded(n, [&] { dispatch(n, text); });
}

void Decoder::dispatch(int n, const QString &text)
{
    const QStringView code = QStringView(text).first(qMin<qsizetype>(5, text.size()));
    const QStringView prefix = code.first(qMin<qsizetype>(3, code.size()));

    if (prefix == u"OK_")
        CheckResp(n, text);
    else if (code == u"VSt07")
        ParserVStat(n, text);
    else if (code == u"VScIc")
        ParserVScIc(n, text);
    else if (code == u"VSens")
        ParserVSens(n, text);
    else if (code == u"VEPas")
        link_.ConnectIsLost(n, 3);
    else if (code == u"VECon")
        link_.ConnectIsLost(n, 2);
    else if (text == u"VECd1_VPr07")
        link_.ConnectIsLost(n, 4);
    else if (code == u"VPr07")
        ParserParam(n, text);
    else if (code == u"VDErr")
        ParserErrorData(n, text);
    else if (prefix == u"VZL")
        ParserVZone(n, text);
    else if (p_.archiveSink && isOneOf(code, kArchReplies))
        p_.archiveSink->ParserArch(n, text);
    else if (p_.archiveSink && isOneOf(code, kRestoreReplies))
        p_.archiveSink->ParserRestore(n, text);
}

void Decoder::CheckResp(int n, const QString &text)
{
    guarded(n, [&] {
        UnitTable &u = p_.u;
        const QString &sent = u.StrForSend_woPass_Old[n];
        if (text.size() == 3 + sent.size() && text.startsWith(u"OK_") &&
            QStringView(text).sliced(3) == sent) {
            u.iReqvCnt[n] = 0;
            u.IsReqvChnData[n] = false;
        }
        if (u.CntWaitCursor > 0)
            u.CntWaitCursor = 1;
    });
}

void Decoder::CheckTime(int n, int minute, int hour, int day, int month, int year2)
{
    guarded(n, [&] {
        UnitTable &u = p_.u;
        const QDateTime now = p_.clock().now();
        const QTime t = now.time();
        const QDate d = now.date();
        const int H = t.hour();
        const int M = t.minute();
        const int S = t.second();

        // Two hours after the check the flag is cleared for the next night.
        if (H == 5 && M == n + 5) {
            u.IsSetTimeDone[n] = false;
            return;
        }
        if (H != 3 || M != n + 5 || S <= 24 || S >= 36 || u.IsSetTimeDone[n] ||
            !u.StrForSend_woPass[n].isEmpty())
            return;

        const bool correct = hour == H && std::abs(minute - M) <= 1 && day == d.day() && month == d.month() &&
                             year2 + 2000 == d.year();
        if (correct)
            return;

        const QString request = CmdSetClock(now);
        u.StrForSend_woPass[n] = request;
        u.IsReqvChnData[n] = true;
        u.iReqvCnt[n] = NRequestMax;
        u.StrForSend_woPass_Old[n] = request;
        u.IsSetTimeDone[n] = true;
        if (p_.s.IsTest == 1)
            p_.log.add(u":: SetDT "_s + QString::number(n) + u" :: "_s);
    });
}

void Decoder::ParserVStat(int n, const QString &text)
{
    guarded(n, [&] { statusReply(n, text); });
}

void Decoder::statusReply(int n, const QString &text)
{
    // Three blanks in a row after the first ten characters end the reply; what follows is padding.
    QStringView reply(text);
    const qsizetype cut = reply.indexOf(u"   ");
    if (cut >= 10)
        reply = reply.first(cut);

    ItemReader reader(reply);
    std::array<Item, 11> items;
    for (Item &item : items) {
        if (!reader.next(item))
            return;
    }

    std::array<quint32, 10> w{};
    try {
        for (std::size_t i = 1; i <= 9; ++i)
            w[i] = quint32(HexToDec(items[i].text()));
    } catch (const ConvertError &) {
        return;
    }

    QString codeWord;
    appendPanelText(codeWord, items[10].text());
    QString message = codeWord;
    Item item;
    while (reader.next(item)) {
        message.append(u' ');
        appendPanelText(message, item.text());
    }

    UnitTable &u = p_.u;
    u.MsgAHU[n] = message;

    const quint32 f1 = w[1];
    u.PwrBtnState[n] = bits(f1, 0, 1);
    u.IsErrorAHU[n] = isBit(f1, 1) || isBit(f1, 2);
    u.IsFatalErrorAHU[n] = isBit(f1, 2);
    u.IsDangerOverheat[n] = isBit(f1, 3);
    u.IsAutoOff[n] = isBit(f1, 4);
    u.IsChangeFilterAHU[n] = isBit(f1, 5);
    u.ModeSetAHU[n] = bits(f1, 6, 3);
    u.HumidModeAHU[n] = bits(f1, 9, 1);
    u.IsSpeedDown[n] = isBit(f1, 10);
    u.IsFuncRestart[n] = isBit(f1, 11);
    u.IsFuncComfort[n] = isBit(f1, 12);
    u.IsHumidAuto[n] = isBit(f1, 13);
    u.IsScenBlock[n] = isBit(f1, 14);
    u.IsBtnPwrBlockByRC[n] = isBit(f1, 15);

    u.CodeErrorAHU[n] = 0;
    if (u.IsErrorAHU[n]) {
        try {
            u.CodeErrorAHU[n] = HexToDec(codeWord);
        } catch (const ConvertError &) {
            u.CodeErrorAHU[n] = 0;
        }
    }

    const quint32 f2 = w[2];
    u.PwrAHU[n] = bits(f2, 0, 1);
    u.StateAHU[n] = bits(f2, 0, 2);
    u.ScenAllowAHU[n] = isBit(f2, 2);
    u.ModeAHU[n] = bits(f2, 3, 3);
    u.NumActiveScenAHU[n] = bits(f2, 6, 4);
    u.WhoActivateScenAHU[n] = bits(f2, 10, 3);
    u.NumIcoHF[n] = bits(f2, 13, 3);

    u.TemperAHU[n] = SignCharToInt(int(w[3]));
    u.TemperTargetAHU[n] = bits(w[3], 8, 8);
    u.HumidAHU[n] = bits(w[4], 0, 8);
    u.HumidTargetAHU[n] = bits(w[4], 8, 8);
    u.SpeedAHU[n] = bits(w[5], 0, 4);
    u.SpeedTargetAHU[n] = bits(w[5], 4, 4);
    u.SpeedProcFact[n] = bits(w[5], 8, 8);
    u.TemperMinAHU[n] = bits(w[6], 0, 4);
    u.FilterProcDust[n] = bits(w[6], 8, 8);

    StatusExtras extras;
    extras.minute = int(w[7] % 256);
    extras.hour = int(w[7] / 256);
    extras.day = int(w[8] % 256);
    extras.month = int(w[8] / 256);
    extras.weekday = int(w[9] % 256);
    extras.year2 = int(w[9] / 256);
    extras.msgIcon = bits(w[6], 4, 2);
    extras.lamp = bits(w[6], 6, 2);

    if (p_.s.IsSyncroTime)
        CheckTime(n, extras.minute, extras.hour, extras.day, extras.month, extras.year2);

    u.StateTCPConn[n] = 1;
    u.iTCPGoodRun[n] = 1;

    p_.ShowStatus(n, extras);
}

void Decoder::ParserVScIc(int n, const QString &text)
{
    guarded(n, [&] {
        const Items items = SplitItems(text, 5);
        if (!items.exactly(5))
            return;
        UnitTable &u = p_.u;
        for (int k = 1; k <= 4; ++k) {
            int word = 0;
            try {
                word = HexToDec(items[k]);
            } catch (const ConvertError &) {
                return;
            }
            u.ScenIco[n][2 * k - 2] = bits(quint32(word), 0, 8);
            u.ScenIco[n][2 * k - 1] = bits(quint32(word), 8, 8);
        }
        u.IsScIcoReady[n] = true;
    });
}

void Decoder::ParserVSens(int n, const QString &text)
{
    guarded(n, [&] {
        const Items items = SplitItems(text, 9);
        if (!items.exactly(9))
            return;
        UnitTable &u = p_.u;
        struct Column
        {
            PerUnit<int> UnitTable::*column;
            bool isSigned;
        };
        static constexpr std::array<Column, 8> columns = {{
            {&UnitTable::TInf, true},
            {&UnitTable::HInf, false},
            {&UnitTable::TRoom, true},
            {&UnitTable::HRoom, false},
            {&UnitTable::TOut, true},
            {&UnitTable::HOut, false},
            {&UnitTable::THF, true},
            {&UnitTable::PwrFact, false},
        }};
        for (std::size_t i = 0; i < columns.size(); ++i) {
            int value = 0;
            try {
                value = HexToDec(items[qsizetype(i) + 1]);
            } catch (const ConvertError &) {
                return;
            }
            (u.*columns[i].column)[n] = columns[i].isSigned ? SignWordToInt(value) : value;
        }
    });
}

void Decoder::ParserParam(int n, const QString &text)
{
    guarded(n, [&] {
        const Items items = SplitItems(text, 8);
        if (!items.exactly(8))
            return;
        std::array<quint32, 8> w{};
        try {
            for (std::size_t i = 1; i <= 7; ++i)
                w[i] = quint32(HexToDec(items[qsizetype(i)]));
        } catch (const ConvertError &) {
            return;
        }
        for (std::size_t i = 1; i <= 6; ++i)
            w[i] &= 0xFFFFu;

        UnitTable &u = p_.u;
        u.TemperMinAHU[n] = bits(w[1], 0, 8);
        u.TemperMaxAHU[n] = bits(w[1], 8, 8);
        u.SpeedMinAHU[n] = bits(w[2], 0, 5);
        u.SpeedMaxAHU[n] = bits(w[2], 8, 5);
        u.HumidMinAHU[n] = bits(w[3], 0, 8);
        u.HumidMaxAHU[n] = bits(w[3], 8, 8);
        u.NVAVZoneAHU[n] = bits(w[4], 0, 5);
        u.IsVAV[n] = isBit(w[4], 8);
        u.IsRegPressVAVAHU[n] = isBit(w[4], 9);
        u.IsShowHum[n] = isBit(w[4], 10);
        u.IsCascRegAHUT[n] = isBit(w[4], 11);
        u.IsCascRegAHUH[n] = isBit(w[4], 12);
        u.IsHumidAHU[n] = isBit(w[4], 13);
        u.IsCoolerAHU[n] = isBit(w[4], 14);
        u.IsSensAutoAHU[n] = isBit(w[4], 15);
        u.ProtPNL[n] = bits(w[5], 8, 8);
        u.SubProtPNL[n] = bits(w[5], 0, 8);
        u.VerPNL1[n] = bits(w[6], 8, 8);
        u.VerPNL2[n] = bits(w[6], 0, 8);
        u.VerController[n] = int(w[7]);
        u.TypeOfController[n] = u.VerPNL1[n] == 4 ? 1 : u.VerPNL1[n] == 5 ? 2 : 0;

        // Only the major protocol versions must agree.
        if (u.ProtPNL[n] < ProtVers) {
            u.StateTCPConn[n] = 4;
            link_.ConnectIsLost(n, 4);
        } else if (u.ProtPNL[n] > ProtVers) {
            u.StateTCPConn[n] = 4;
            link_.ConnectIsLost(n, 5);
        } else {
            u.StateTCPConn[n] = 3;
        }
    });
}

void Decoder::ParserVZone(int n, const QString &text)
{
    guarded(n, [&] {
        const Items items = SplitItems(text, 4);
        if (!items.exactly(4) || !items[0].startsWith(u"VZL"))
            return;
        const int z = zoneNumber(items[0]) - 1;
        if (z < 0 || z >= kMaxZones)
            return;
        for (qsizetype i = 1; i <= 3; ++i) {
            if (items[i].size() > 4)
                return;
        }
        quint32 d = 0, c = 0, b = 0;
        try {
            d = quint32(HexToDec(items[1])) & 0xFFFFu;
            c = quint32(HexToDec(items[2])) & 0xFFFFu;
            b = quint32(HexToDec(items[3])) & 0xFFFFu;
        } catch (const ConvertError &) {
            return;
        }
        UnitTable &u = p_.u;
        const auto zi = std::size_t(z);
        u.ZStateV[n][zi] = bits(d, 0, 3);
        u.ZTypeCont[n][zi] = bits(d, 4, 2);
        u.ZTypeMix[n][zi] = bits(d, 8, 1);
        u.ZIco[n][zi] = bits(d, 9, 5);
        u.LZFact[n][zi] = bits(c, 0, 7);
        u.LZTarg[n][zi] = bits(c, 8, 7);
        u.ZCO2F[n][zi] = int(b);
        u.TimeZoneRead[n][zi] = p_.clock().now();
        u.ZAllowCh[n][zi] = u.ZTypeCont[n][zi] == 1 || u.ZTypeCont[n][zi] == 2;
    });
}

void Decoder::ParserErrorData(int n, const QString &text)
{
    guarded(n, [&] {
        const Items items = SplitItems(text, 19);
        if (items.exactly(19)) {
            // The record is only read, never kept; a bad field leaves the request standing so that
            // the poll cycle asks again until its count runs out.
            try {
                for (qsizetype i = 1; i <= 18; ++i)
                    HexToDec(items[i]);
            } catch (const ConvertError &e) {
                p_.log.add(u":: VDErr "_s + QString::number(n) + u" :: "_s + e.text());
                return;
            }
        }
        p_.u.IsNewErrorAHU[n] = false;
        p_.u.iCntNewError[n] = 0;
    });
}

} // namespace kvu
