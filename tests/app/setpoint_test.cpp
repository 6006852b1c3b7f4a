#include "app/Program.h"
#include "app/SetPointEditor.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

// A program whose units are set by hand: no settings file, no windows, no sockets.
class SetPointTest : public ::testing::Test
{
protected:
    SetPointTest() : p(clock, dir.path())
    {
        for (int n = 1; n <= 3; ++n) {
            p.u.TemperMinAHU[n] = 15;
            p.u.TemperMaxAHU[n] = 30;
            p.u.SpeedMinAHU[n] = 0;
            p.u.SpeedMaxAHU[n] = 10;
            p.u.StateTCPConn[n] = 1;
        }
    }
    // Opens the editor on unit n, runs the presses ('+' up, '-' down) and confirms.
    bool run(int n, SetPointEditor::Type type, int start, const std::string &presses)
    {
        (type == SetPointEditor::Temperature ? p.u.TemperTargetAHU : p.u.SpeedTargetAHU)[n] = start;
        editor.prepare(p, n, type, false);
        editor.FormActivate();
        for (const char c : presses)
            c == '+' ? editor.ImgUpMouseDown() : editor.ImgDnMouseDown();
        return editor.ImgRetClick(p);
    }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    SetPointEditor editor;
};

TEST_F(SetPointTest, StepsStayWithinTheLimitsAndOnlyAChangeIsSent)
{
    struct Case
    {
        SetPointEditor::Type type;
        int start;
        std::string presses;
        int value;
        QString sent; // empty: nothing queued
    };
    const Case cases[] = {
        {SetPointEditor::Temperature, 30, "+", 30, {}},
        {SetPointEditor::Temperature, 30, "+-", 29, u"VWTmp_1D"_s},
        {SetPointEditor::Temperature, 15, "-", 15, {}},
        {SetPointEditor::Temperature, 22, "++--", 22, {}},
        {SetPointEditor::Temperature, 22, "+", 23, u"VWTmp_17"_s},
        {SetPointEditor::Speed, 5, "-", 4, u"VWSpd_4"_s},
        {SetPointEditor::Speed, 10, "+++", 10, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.presses + " from " + std::to_string(c.start));
        p.u.IsReqvChnData[1] = false;
        p.u.StrForSend_woPass[1].clear();
        const bool sent = run(1, c.type, c.start, c.presses);
        EXPECT_EQ(editor.CurVal, c.value);
        EXPECT_EQ(sent, !c.sent.isEmpty());
        EXPECT_EQ(p.u.IsReqvChnData[1], !c.sent.isEmpty());
        EXPECT_EQ(p.u.StrForSend_woPass[1], c.sent);
        if (sent) {
            EXPECT_EQ(p.u.StrForSend_woPass_Old[1], c.sent);
            EXPECT_EQ(p.u.iReqvCnt[1], NRequestMax);
        }
    }
}

TEST_F(SetPointTest, CommandToAMasterIsCopiedToItsConnectedSlaves)
{
    p.u.iNumMS[1] = -3; // units 2 and 3 follow unit 1
    p.u.iNumMS[2] = 1;
    p.u.iNumMS[3] = 1;
    p.u.StateTCPConn[3] = 0; // not connected: not copied
    ASSERT_TRUE(run(1, SetPointEditor::Temperature, 22, "+"));
    EXPECT_EQ(p.u.StrForSend_woPass[2], u"VWTmp_17"_s);
    EXPECT_TRUE(p.u.IsReqvChnData[2]);
    EXPECT_FALSE(p.u.IsReqvChnData[3]);
}

TEST_F(SetPointTest, HeaderCarriesTheUnitNumberWhenAsked)
{
    editor.prepare(p, 2, SetPointEditor::Temperature, true);
    EXPECT_EQ(editor.CurHdr, u"Температура для вентуст. №2"_s);
    editor.prepare(p, 2, SetPointEditor::Speed, false);
    EXPECT_EQ(editor.CurHdr, u"Скорость"_s);
    EXPECT_EQ(editor.TypeTarget, 20);
}

} // namespace
