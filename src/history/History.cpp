#include "history/History.h"

#include "app/Program.h"

namespace kvu {

void History::GenHistoryMsg(int) {}
void History::ComposeHistoryMsg(int, int, const QString &, bool) {}
void History::AddStringToSLHist(const QString &) {}
void History::LogServiceModeLeft() {}
void History::SetHistFileNames() {}
bool History::LoadHistFiles()
{
    return false;
}
void History::SaveHistFile() {}
void History::TickSave() {}
void History::SaveIfPending() {}
void History::Release() {}

} // namespace kvu
