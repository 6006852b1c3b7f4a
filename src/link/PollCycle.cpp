#include "link/PollCycle.h"

#include "core/Constants.h"
#include "core/ProgramState.h"
#include "link/PanelLink.h"
#include "link/Protocol.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

void PollCycle::Timer1Timer()
{
    UnitTable &u = p_.u;
    PanelLink &link = link_;
    const int nAHU = std::clamp(u.nAHU, 0, MaxnAHU);

    u.CurTD = p_.clock().now();
    u.TimerCounter = u.TimerCounter >= 1000000000 ? 10001 : u.TimerCounter + 1;

    for (int n = 1; n <= nAHU; ++n) {
        if (u.CntNoRecive[n] > 0 && u.CntNoRecive[n] < 10000)
            ++u.CntNoRecive[n];
        if (u.IsServiceMode || !u.IsShowAHU[n] || !u.IsCorrectIP[n])
            continue;
        if (u.StateTCPConn[n] == 1 && u.CodeErrorAHU[n] > 0 && u.CodeErrorAHU[n] != u.CodeErrorAHU_Old[n]) {
            u.IsNewErrorAHU[n] = true;
            u.iCntNewError[n] = 1;
            u.iCntPosErr[n] = -1;
        }
        if (u.iCntNewError[n] > 0 && ++u.iCntNewError[n] > 5) {
            u.iCntNewError[n] = 0;
            u.IsNewErrorAHU[n] = false;
        }
    }

    if (!u.IsServiceMode) {
        for (int n = 1; n <= nAHU; ++n) {
            link.SuperviseOpen(n);
            if (!u.IsArchDataProc[n])
                chooseAndSend(n);
            link.SuperviseSilence(n);
        }
    }

    if (u.CntWaitCursor > 0 && --u.CntWaitCursor == 0) {
        if (ProgramView *v = p_.view())
            v->setWaitCursor(false);
    }

    u.iGlobErr = 0;
    u.iGlobErrAHU = 0;
    u.iGlobErrConn = 0;
    for (int n = 1; n <= nAHU; ++n) {
        link.SupervisePeriodic(n);
        if (!u.IsServiceMode && u.IsShowAHU[n] && u.IsCorrectIP[n]) {
            if (u.iTCPGoodRun[n] == 2 && u.iGlobErrConn == 0)
                u.iGlobErrConn = n;
            if ((u.IsErrorAHU[n] || u.IsDangerOverheat[n] || u.IsChangeFilterAHU[n]) && u.iGlobErrAHU == 0)
                u.iGlobErrAHU = n;
            work_.unitEvents(n);
        }
        u.CodeErrorAHU_Old[n] = u.CodeErrorAHU[n];
        u.IsErrorAHU_Old[n] = u.IsErrorAHU[n];
        u.IsDangerOverheat_Old[n] = u.IsDangerOverheat[n];
        u.IsChangeFilterAHU_Old[n] = u.IsChangeFilterAHU[n];
        if (u.CntChangeFilterAHU[n] > 0 && !u.IsChangeFilterAHU[n] && u.PwrAHU[n] > 0)
            --u.CntChangeFilterAHU[n];
        if (u.IsChangeFilterAHU[n])
            u.CntChangeFilterAHU[n] = 7200;
    }
    u.iGlobErr = (u.iGlobErrAHU > 0 || u.iGlobErrConn > 0) ? 1 : 0;

    if (u.IsMinimize)
        work_.trayTick();
    u.iGlobErr_Old = u.iGlobErr;

    work_.periodicWork();

    if (p_.s.IsTest == 1) {
        QString states = u"StateTCPConn "_s;
        for (int n = 1; n <= 4; ++n)
            states += QString::number(u.StateTCPConn[n]);
        p_.log.setLabel(1, states);
        p_.log.setLabel(3, u"ResetConn "_s + QString::number(u.TimerCounter % (ResetTimeConn + 2)));
        p_.log.setLabel(4, u"Err %1-%2-%3"_s.arg(u.iGlobErr).arg(u.iGlobErrConn).arg(u.iGlobErrAHU));
    }

    saveWindowPositions();
}

void PollCycle::chooseAndSend(int n)
{
    UnitTable &u = p_.u;
    if (u.IsReqvChnData[n] && u.iReqvCnt[n] <= 0) {
        u.IsReqvChnData[n] = false;
        u.iReqvCnt[n] = 0;
        p_.ShowErrorMsg(u"Ошибка записи в пульт"_s);
    }

    if (u.IsReqvChnData[n]) {
        --u.iReqvCnt[n];
        u.StrForSend_woPass[n] = u.StrForSend_woPass_Old[n];
    } else if (u.IsReqVAVPar[n] && u.StateTCPConn[n] == 1) {
        // Zones only while the link allows commands: after a reconnect the parameter and status
        // requests bring the link back first.
        if (u.iZoneRead[n] < u.Zone_Beg)
            u.iZoneRead[n] = u.Zone_Beg;
        u.StrForSend_woPass[n] = ReqZone(u.iZoneRead[n]);
        if (u.CntWaitRecive[n] == 0 || u.CntWaitRecive[n] > NWaitResp) {
            if (++u.iZoneRead[n] > u.Zone_LocEnd)
                u.iZoneRead[n] = u.Zone_Beg;
        }
    } else {
        const int state = u.StateTCPConn[n];
        if (state == 2 || state == 4 || state < 0)
            u.StrForSend_woPass[n] = ReqParam();
        else if (state == 1 || state == 3)
            u.StrForSend_woPass[n] =
                u.IsNewErrorAHU[n] ? ReqErrorData() : (!u.IsScIcoReady[n] ? ReqScenIcons() : ReqStatus());
    }

    if (u.StrForSend_woPass[n].size() > 4 && u.WriteEnable[n] &&
        (u.CntWaitRecive[n] == 0 || u.CntWaitRecive[n] > NWaitResp || u.IsReqvChnData[n])) {
        link_.SendData(n);
    }
    if (u.CntWaitRecive[n] > 0 && u.CntWaitRecive[n] < NWaitResp + 900)
        ++u.CntWaitRecive[n];
}

void PollCycle::saveWindowPositions()
{
    UnitTable &u = p_.u;
    ProgramView *v = p_.view();
    if (!v)
        return;
    if (u.TimerCounter % 5 == 0 && u.nAHU > 1) {
        const QPoint pos = v->mainWindowPos();
        if (pos != QPoint(-1, -1) && (pos.x() != u.LeftForm || pos.y() != u.TopForm)) {
            u.LeftForm = pos.x();
            u.TopForm = pos.y();
            if (IniFile *ini = p_.iniFile()) {
                p_.tryWrite([&] {
                    ini->WriteInteger(u"Options", u"LeftForm", u.LeftForm);
                    ini->WriteInteger(u"Options", u"TopForm", u.TopForm);
                });
            }
            if (p_.s.IsTest == 1)
                p_.log.add(u":: Save Form Position :: "_s);
        }
    }
    for (int i = 1; i <= nAHUOnPage; ++i) {
        if (!u.IsShowSolo[i] || u.TimerCounter % (2 * i) != 0 || u.IsServiceMode || i > u.nAHU)
            continue;
        const QPoint pos = v->soloWindowPos(i);
        if (pos == QPoint(-1, -1) || (pos.x() == u.LeftSoloForm[i] && pos.y() == u.TopSoloForm[i]))
            continue;
        u.LeftSoloForm[i] = pos.x();
        u.TopSoloForm[i] = pos.y();
        if (IniFile *ini = p_.iniFile()) {
            p_.tryWrite([&] {
                ini->WriteInteger(u"Options", u"LeftSoloForm"_s + QString::number(i), pos.x());
                ini->WriteInteger(u"Options", u"TopSoloForm"_s + QString::number(i), pos.y());
            });
        }
        if (p_.s.IsTest == 1)
            p_.log.add(u":: Save Solo Form %1 Position :: "_s.arg(i));
    }
}

void PollCycle::SetDataForReqvest(int n, const QString &text)
{
    UnitTable &u = p_.u;
    u.StrForSend_woPass[n] = text;
    u.IsReqvChnData[n] = true;
    u.iReqvCnt[n] = NRequestMax;
    u.StrForSend_woPass_Old[n] = text;
}

void PollCycle::SetDataForArch(int n, const QString &text)
{
    SetDataForReqvest(n, text);
    p_.u.iCntArchData[n] = 1;
    link_.SendData(n);
}

void PollCycle::ClearDataForReqvest(int n)
{
    UnitTable &u = p_.u;
    u.StrForSend_woPass[n].clear();
    u.StrForSend_woPass_Old[n].clear();
    u.IsReqvChnData[n] = false;
    u.iReqvCnt[n] = 0;
    u.iCntArchData[n] = 0;
}

void PollCycle::CheckMSCommand(int m)
{
    UnitTable &u = p_.u;
    if (u.IsServiceMode || m < 1 || m > MaxnAHU || u.iNumMS[m] >= 0)
        return;
    const int last = std::min(-u.iNumMS[m], MaxnAHU);
    for (int j = m + 1; j <= last; ++j) {
        if (u.StateTCPConn[j] == 1)
            SetDataForReqvest(j, u.StrForSend_woPass[m]);
    }
}

void PollCycle::PwrClick(int n)
{
    UnitTable &u = p_.u;
    if (n < 1 || n > MaxnAHU)
        return;
    if (u.IsServiceMode || u.StateTCPConn[n] != 1) {
        link_.ClickAttConn(n);
        return;
    }
    if (u.IsFatalErrorAHU[n]) {
        p_.ShowErrorMsg(u"Критическая ошибка!"_s);
        return;
    }
    if (ProgramView *v = p_.view())
        v->setWaitCursor(true);
    u.CntWaitCursor = 5;
    SetDataForReqvest(n, CmdPower(u.PwrAHU[n] == 0));
    CheckMSCommand(n);
}

} // namespace kvu
