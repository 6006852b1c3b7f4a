#pragma once

#include <QString>

namespace kvu {

class Program;

// The main loop: one tick every 700 ms chooses and sends each unit's next request, supervises the
// links and runs the periodic work. Also the per-unit command queue and the power button.
class PollCycle
{
public:
    explicit PollCycle(Program &program) : p_(program) {}

    void Timer1Timer();

    void SetDataForReqvest(int n, const QString &text);
    void SetDataForArch(int n, const QString &text);
    void ClearDataForReqvest(int n);
    void CheckMSCommand(int m);
    void PwrClick(int n);

private:
    void chooseAndSend(int n);
    void unitEvents(int n);
    void mailAndHistorySave();
    void saveWindowPositions();

    Program &p_;
};

} // namespace kvu
