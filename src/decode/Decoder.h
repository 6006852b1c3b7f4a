#pragma once

#include <QString>

namespace kvu {

class PanelLink;
class ProgramState;

// Routes each reply to its decoder and decodes it into the unit table; the rows and unit windows are
// then told through the shared state.
// Nothing here ever throws to its caller: a malformed reply is dropped.
class Decoder
{
public:
    Decoder(ProgramState &state, PanelLink &link) : p_(state), link_(link) {}

    void ParsData(int n, const QString &text);
    void CheckResp(int n, const QString &text);
    void CheckTime(int n, int minute, int hour, int day, int month, int year2);

    void ParserVStat(int n, const QString &text);
    void ParserVScIc(int n, const QString &text);
    void ParserVSens(int n, const QString &text);
    void ParserParam(int n, const QString &text);
    void ParserVZone(int n, const QString &text);
    void ParserErrorData(int n, const QString &text);

private:
    // Runs one decoding step for unit n; a unit number outside the ten connection slots is ignored,
    // and any error is logged and ends the step.
    template <class Work> void guarded(int n, Work &&work);

    void dispatch(int n, const QString &text);
    void statusReply(int n, const QString &text);

    ProgramState &p_;
    PanelLink &link_;
};

} // namespace kvu
