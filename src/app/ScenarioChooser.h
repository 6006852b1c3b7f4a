#pragma once

#include <QString>
#include <array>

namespace kvu {

class Program;

// The scenario window's decisions: what its eight rows and the allow box show when it opens, and
// the request each click queues for the unit and its answering slaves. While the window is open it
// shows the operator's clicks, not later status replies.
class ScenarioChooser
{
public:
    struct ScenRow
    {
        int button = 0; // IL_Sc: 0 not active, 1..3 active
        int icon = 0;   // IL_ScIco; 0 none
        QString label;  // short name or number over an empty icon
        bool narrowLabel = false;
    };

    // Fills the window for unit i.
    void FormShow(const Program &p, int i);
    // Starts scenario n (1..8); gives the request.
    QString start(Program &p, int n);
    // The allow box; gives the request.
    QString toggleAllow(Program &p);

    static QString header(int i);

    int iAHU = 0;
    int iScen = 0;
    bool NewScenAllow = false;
    std::array<ScenRow, 9> rows{}; // 1..8

private:
    QString queue(Program &p, int code) const;
};

} // namespace kvu
