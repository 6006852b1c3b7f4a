#include "HistoryFixture.h"

#include "core/Cp1251.h"
#include "core/ZSub.h"
#include "support/TempIni.h"

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

class HistoryRuns : public ::testing::Test
{
protected:
    // One run of the program on the test folder, up to the end of its start-up.
    std::unique_ptr<Program> start()
    {
        auto p = std::make_unique<Program>(clock, dir.path());
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        p->FormCreate();
        clock.advanceSecs(60);
        return p;
    }
    QStringList fileLines() const
    {
        return fromCp1251(readFile(dir.filePath(u"histdata/history001.txt"_s)))
            .split(u"\r\n"_s, Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    FakeClock clock{kHistNow};
};

TEST_F(HistoryRuns, StartStopAndRestartAfterAKilledRun)
{
    auto first = start();
    EXPECT_EQ(codesAndTexts(first->history().SLHist), QStringList{u"501 Старт прогр."_s});
    first->FormClose();
    first.reset();
    EXPECT_EQ(fileLines().size(), 2);

    // This run saves by the tick and is then killed: no shutdown, the marker stays set.
    auto killed = start();
    for (int tick = 0; tick < 15; ++tick)
        killed->history().TickSave();
    killed.reset();

    auto third = start();
    EXPECT_EQ(codesAndTexts(third->history().SLHist).front(), u"502 Перезагр. прогр."_s);
    third->FormClose();
    EXPECT_TRUE(third->history().SLHist.isEmpty());

    const QStringList lines = fileLines();
    QStringList codes;
    for (const QString &l : lines)
        codes << fields(l).value(0);
    EXPECT_EQ(codes, (QStringList{u"503"_s, u"502"_s, u"501"_s, u"503"_s, u"501"_s}));
    // Program events carry no unit number and no unit detail, at the time of the event.
    EXPECT_EQ(fields(lines.front()).mid(2), (QStringList{u"-"_s, u"\"Остановка прогр.\""_s, u"-"_s, u"-"_s,
                                                         u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"\"\""_s, u"-"_s}));
    EXPECT_EQ(fields(lines.front()).value(1), u"\"05.03.17 14:10:09\""_s);
}

} // namespace
