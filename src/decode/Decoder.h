#pragma once

#include <QString>

namespace kvu {

class Program;

// Routes each reply to its decoder and decodes it into the unit table and the view models.
// Nothing here ever throws to its caller: a malformed reply is dropped.
class Decoder
{
public:
    explicit Decoder(Program &program) : p_(program) {}

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

    Program &p_;
};

} // namespace kvu
