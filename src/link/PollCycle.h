#pragma once

#include <QString>

namespace kvu {

class PanelLink;
class ProgramState;

// The tick's work beyond the links, supplied by the program that composes the subsystems.
class TickWork
{
public:
    virtual ~TickWork() = default;
    // Alarm notices and history lines of unit n; they compare with the previous tick's copies.
    virtual void unitEvents(int n) = 0;
    // The tray icons while the program is minimised.
    virtual void trayTick() = 0;
    // Mailing the notice queue when it is due, the periodic history save and trend recording.
    virtual void periodicWork() = 0;
};

// The main loop: one tick every 700 ms chooses and sends each unit's next request, supervises the
// links and runs the periodic work. Also the per-unit command queue and the power button.
class PollCycle
{
public:
    PollCycle(ProgramState &state, PanelLink &link, TickWork &work) : p_(state), link_(link), work_(work) {}

    void Timer1Timer();

    void SetDataForReqvest(int n, const QString &text);
    void SetDataForArch(int n, const QString &text);
    void ClearDataForReqvest(int n);
    void CheckMSCommand(int m);
    void PwrClick(int n);

private:
    void chooseAndSend(int n);
    void saveWindowPositions();

    ProgramState &p_;
    PanelLink &link_;
    TickWork &work_;
};

} // namespace kvu
