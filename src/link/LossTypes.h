#pragma once

#include <QString>

namespace kvu {

// What each kind of link loss shows and which link state it leaves.
struct LossType
{
    int TypeLost = 0;
    QString MsgAHU;         // the unit's short status text
    QString RowText;        // the main window row's status text (and the unit window's message line)
    int StatPicture = 0;    // IL_stat index of the row
    int SoloMsgPicture = 0; // IL_Msg index of the unit window
    int State = 0;          // new StateTCPConn
};

// The entry for a loss type 0 or 2..7; nullptr for any other number.
const LossType *FindLossType(int TypeLost);

} // namespace kvu
