#pragma once

#include "app/Program.h"
#include "app/ViewModels.h"
#include "core/ArchiveSink.h"
#include "core/Clock.h"
#include "core/Constants.h"
#include "core/Cp1251.h"
#include "decode/Decoder.h"

#include <QByteArrayView>
#include <QDir>
#include <QObject>
#include <QString>
#include <set>

namespace kvu::fuzz {

// Feeds one received block to the dispatcher and to every decoder, on a program whose state is reset
// before each block, and checks what the decoders left behind. Shared by the fuzz target and the test
// that replays its corpus.
class ParsDataHarness
{
public:
    ParsDataHarness() = default;

    // The first broken rule after decoding, or an empty text.
    QString run(QByteArrayView bytes)
    {
        reset();
        const QString text = fromCp1251(bytes);
        Decoder &d = p_.decoder();
        // Unit 1 has its window open and is inside its night clock window; unit 2 has no window.
        d.ParsData(1, text);
        d.ParsData(2, text);
        d.ParserVStat(3, text);
        d.ParserVScIc(3, text);
        d.ParserVSens(3, text);
        d.ParserParam(4, text);
        d.ParserVZone(4, text);
        d.ParserErrorData(4, text);
        d.CheckResp(5, text);
        for (int n = 1; n <= 5; ++n) {
            const QString problem = check(n, text.size());
            if (!problem.isEmpty())
                return problem;
        }
        return QString();
    }

private:
    class NullSink : public ArchiveSink
    {
    public:
        void ParserArch(int, const QString &) override {}
        void ParserRestore(int, const QString &) override {}
    };

    void reset()
    {
        p_.u = UnitTable{};
        for (int n = 0; n < kWindowSlots; ++n) {
            p_.rows[std::size_t(n)] = DefaultRowView(n);
            p_.solos[std::size_t(n)] = SoloView{};
        }
        p_.log.clear();
        p_.s.IsSyncroTime = true;
        p_.s.IsTest = 1;
        p_.archiveSink = &sink_;
        UnitTable &u = p_.u;
        u.nAHU = 5;
        for (int n = 1; n <= 5; ++n) {
            u.IsShowAHU[n] = true;
            u.IsCorrectIP[n] = true;
            u.StateTCPConn[n] = 3;
            u.iTCPGoodRun[n] = -1;
            u.IsNewErrorAHU[n] = true;
            u.ScenIco[n][2] = 5;
        }
        u.TypeOfController[1] = 1;
        u.IsShowHum[1] = true;
        u.StrForSend_woPass_Old[5] = QStringLiteral("VWPwr_A");
        u.IsShowSolo[1] = true;
        u.FormAS[1] = &window_;
    }

    static bool inList(int index, int size) { return index >= -1 && index < size; }

    QString check(int n, qsizetype textSize) const
    {
        static const std::set<int> states = {0, 1, 2, 3, 4, 9, -2, -3, -4, -5, -6, -7};
        const UnitTable &u = p_.u;
        const RowView &r = p_.rows[std::size_t(n)];
        const SoloView &w = p_.solos[std::size_t(n)];
        const auto fail = [n](const char *what) {
            return QStringLiteral("unit %1: %2").arg(n).arg(QLatin1StringView(what));
        };
        if (!states.count(u.StateTCPConn[n]))
            return fail("link state");
        if (!inList(r.Img_stat, 15) || !inList(r.Img_sc, 5) || !inList(r.Img_ScIco, 25) ||
            !inList(r.Img_show, 3))
            return fail("row picture");
        if (!inList(w.Img_Tempr, 2) || !inList(w.Img_HF, 7) || !inList(w.Img_net, 3) ||
            !inList(w.Img_hc, 6) || !inList(w.Img_hum, 2) || !inList(w.Img_ar, 2) || !inList(w.Img_rs, 2) ||
            !inList(w.Img_cmf, 2) || !inList(w.Img_vav, 2) || !inList(w.Img_vent, 3) ||
            !inList(w.Img_scn, 6) || !inList(w.Img_ScIco, 25) || !inList(w.Img_Msg, 7) || !inList(w.Ind, 3) ||
            !inList(w.IndBtn, 2) || w.PwrBtn < 0 || w.PwrBtn > 2)
            return fail("window picture");
        if (u.TemperAHU[n] < -128 || u.TemperAHU[n] > 127 || u.HumidAHU[n] < 0 || u.HumidAHU[n] > 255 ||
            u.SpeedAHU[n] < 0 || u.SpeedAHU[n] > 15 || u.ModeAHU[n] < 0 || u.ModeAHU[n] > 7 ||
            u.NumActiveScenAHU[n] < 0 || u.NumActiveScenAHU[n] > 15)
            return fail("status value");
        // UTF-8 never needs more UTF-16 units than it has bytes.
        if (u.MsgAHU[n].size() > textSize && u.StateTCPConn[n] == 1)
            return fail("message longer than the reply");
        for (std::size_t z = 0; z < kZoneSlots; ++z) {
            if (z >= std::size_t(kMaxZones) && u.TimeZoneRead[n][z].isValid())
                return fail("zone beyond the last");
            if (u.LZFact[n][z] < 0 || u.LZFact[n][z] > 127 || u.ZCO2F[n][z] < 0 || u.ZCO2F[n][z] > 0xFFFF)
                return fail("zone value");
        }
        if (u.IsSetTimeDone[n] && (u.StrForSend_woPass[n].isEmpty() || !u.IsReqvChnData[n]))
            return fail("clock correction not queued");
        return QString();
    }

    FakeClock clock_{QDateTime(QDate(2026, 3, 4), QTime(3, 6, 30))};
    Program p_{clock_, QDir::tempPath()};
    QObject window_;
    NullSink sink_;
};

} // namespace kvu::fuzz
