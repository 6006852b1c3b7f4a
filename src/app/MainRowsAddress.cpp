#include "app/MainRows.h"

#include "app/Program.h"

namespace kvu {

// The unit address dialog: what it shows and what "ОК" stores.
AddressForm MainRows::FormIPActivate(int) const
{
    return {};
}
bool MainRows::TestBtnOK(const std::array<QString, 4> &)
{
    return false;
}
AddressOutcome MainRows::Btn_OKClick(int, const std::array<QString, 4> &, const QString &)
{
    return {};
}

} // namespace kvu
