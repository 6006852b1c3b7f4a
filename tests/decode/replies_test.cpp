#include "DecodeFixture.h"

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

constexpr int kUnit = 4;

TEST_F(DecodeTest, ScenarioIconsTwoPerWord)
{
    feed(kUnit, u"VScIc_201_403_605_1817"_s);
    const auto &ico = p.u.ScenIco[kUnit];
    EXPECT_EQ(std::vector<int>(ico.begin(), ico.begin() + 8),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 0x17, 0x18}));
    EXPECT_TRUE(p.u.IsScIcoReady[kUnit]);
}

struct IconsCase
{
    const char *name;
    QString reply;
    std::vector<int> icons; // scenarios 1..8 afterwards
};

const IconsCase kBadIconsCases[] = {
    {"ThreeWords", u"VScIc_201_403_605"_s, {9, 9, 9, 9, 9, 9, 9, 9}},
    {"FiveWords", u"VScIc_201_403_605_807_A09"_s, {9, 9, 9, 9, 9, 9, 9, 9}},
    // The pairs before the bad word are kept.
    {"BadThirdWord", u"VScIc_201_403_6Z5_807"_s, {1, 2, 3, 4, 9, 9, 9, 9}},
};

class BadIconsTest : public DecodeTest, public ::testing::WithParamInterface<IconsCase>
{};

TEST_P(BadIconsTest, LeavesTheTableUnready)
{
    auto &ico = p.u.ScenIco[kUnit];
    std::fill(ico.begin(), ico.end(), 9);
    feed(kUnit, GetParam().reply);
    EXPECT_EQ(std::vector<int>(ico.begin(), ico.begin() + 8), GetParam().icons);
    EXPECT_FALSE(p.u.IsScIcoReady[kUnit]);
}

INSTANTIATE_TEST_SUITE_P(Icons, BadIconsTest, ::testing::ValuesIn(kBadIconsCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DecodeTest, SensorsSignedAndUnsigned)
{
    feed(kUnit, u"VSens_FFF6_32_8000_FFFF_14_0_FFFF_FFFF"_s);
    const UnitTable &u = p.u;
    EXPECT_EQ(u.TInf[kUnit], -10);
    EXPECT_EQ(u.HInf[kUnit], 50);
    EXPECT_EQ(u.TRoom[kUnit], -32768);
    EXPECT_EQ(u.HRoom[kUnit], 0xFFFF);
    EXPECT_EQ(u.TOut[kUnit], 20);
    EXPECT_EQ(u.HOut[kUnit], 0);
    EXPECT_EQ(u.THF[kUnit], -1);
    EXPECT_EQ(u.PwrFact[kUnit], 0xFFFF);
}

TEST_F(DecodeTest, SensorsWrongShapeOrBadWord)
{
    p.u.TInf[kUnit] = 5;
    feed(kUnit, u"VSens_FFF6_1_2_3_4_5_6"_s);
    EXPECT_EQ(p.u.TInf[kUnit], 5);
    feed(kUnit, u"VSens_FFF6_1_2_3_4_5_6_7_8"_s);
    EXPECT_EQ(p.u.TInf[kUnit], 5);

    // Values before the bad word are kept, those after it are not touched.
    p.u.HOut[kUnit] = 77;
    feed(kUnit, u"VSens_FFF6_1_2_3_x_5_6_7"_s);
    EXPECT_EQ(p.u.TInf[kUnit], -10);
    EXPECT_EQ(p.u.HRoom[kUnit], 3);
    EXPECT_EQ(p.u.HOut[kUnit], 77);
}

TEST_F(DecodeTest, ParametersFillTheLimitsAndCapabilities)
{
    p.u.StateTCPConn[kUnit] = 2;
    feed(kUnit, u"VPr07_1E0A_1F01_5A14_2005_6B02_40C_4123"_s);
    const UnitTable &u = p.u;
    EXPECT_EQ(u.TemperMinAHU[kUnit], 10);
    EXPECT_EQ(u.TemperMaxAHU[kUnit], 30);
    EXPECT_EQ(u.SpeedMinAHU[kUnit], 1);
    EXPECT_EQ(u.SpeedMaxAHU[kUnit], 31);
    EXPECT_EQ(u.HumidMinAHU[kUnit], 20);
    EXPECT_EQ(u.HumidMaxAHU[kUnit], 90);
    EXPECT_EQ(u.NVAVZoneAHU[kUnit], 5);
    EXPECT_TRUE(u.IsHumidAHU[kUnit]);
    for (bool flag : {u.IsVAV[kUnit], u.IsRegPressVAVAHU[kUnit], u.IsShowHum[kUnit], u.IsCascRegAHUT[kUnit],
                      u.IsCascRegAHUH[kUnit], u.IsCoolerAHU[kUnit], u.IsSensAutoAHU[kUnit]})
        EXPECT_FALSE(flag);
    EXPECT_EQ(u.ProtPNL[kUnit], 107);
    EXPECT_EQ(u.SubProtPNL[kUnit], 2);
    EXPECT_EQ(u.VerPNL1[kUnit], 4);
    EXPECT_EQ(u.VerPNL2[kUnit], 12);
    EXPECT_EQ(u.VerController[kUnit], 0x4123);
    EXPECT_EQ(u.TypeOfController[kUnit], 1);
    EXPECT_EQ(u.StateTCPConn[kUnit], 3);

    // The next status reply replaces the minimum temperature.
    StatusWords w;
    w.indicator = 0x5;
    feed(kUnit, statusReply(w));
    EXPECT_EQ(u.TemperMinAHU[kUnit], 5);
}

TEST_F(DecodeTest, ParameterFlagsEachInItsBit)
{
    feed(kUnit, u"VPr07_0_0_0_FF1F_6B00_0_0"_s);
    const UnitTable &u = p.u;
    EXPECT_EQ(u.NVAVZoneAHU[kUnit], 31);
    for (bool flag :
         {u.IsVAV[kUnit], u.IsRegPressVAVAHU[kUnit], u.IsShowHum[kUnit], u.IsCascRegAHUT[kUnit],
          u.IsCascRegAHUH[kUnit], u.IsHumidAHU[kUnit], u.IsCoolerAHU[kUnit], u.IsSensAutoAHU[kUnit]})
        EXPECT_TRUE(flag);
    // Words are cut to 16 bits; the controller word is taken whole.
    feed(kUnit, u"VPr07_1FFFF_0_0_0_6B00_0_12345678"_s);
    EXPECT_EQ(u.TemperMaxAHU[kUnit], 255);
    EXPECT_EQ(u.VerController[kUnit], 0x12345678);
    EXPECT_EQ(u.StateTCPConn[kUnit], 3);
}

struct ProtocolCase
{
    const char *name;
    QString versionWord;
    QString firmwareWord;
    int state;
    int family;
    QString rowText;
};

const ProtocolCase kProtocolCases[] = {
    {"Match", u"6B02"_s, u"400"_s, 3, 1, u""_s},
    {"MinorIgnored", u"6BFF"_s, u"500"_s, 3, 2, u""_s},
    {"PanelTooOld", u"6A05"_s, u"600"_s, -4, 0, u"Устар. верс. пульта!"_s},
    {"ProgramTooOld", u"6C00"_s, u"400"_s, -5, 1, u"Устар. верс. прогр.!"_s},
};

class ProtocolTest : public DecodeTest, public ::testing::WithParamInterface<ProtocolCase>
{};

TEST_P(ProtocolTest, MajorVersionsMustAgree)
{
    const ProtocolCase &c = GetParam();
    p.u.StateTCPConn[kUnit] = 2;
    feed(kUnit, u"VPr07_0_0_0_0_%1_%2_0"_s.arg(c.versionWord, c.firmwareWord));
    EXPECT_EQ(p.u.StateTCPConn[kUnit], c.state);
    EXPECT_EQ(p.u.TypeOfController[kUnit], c.family);
    EXPECT_EQ(row(kUnit).L_info, c.rowText);
    if (c.state < 0) {
        EXPECT_EQ(row(kUnit).Img_stat, 14);
        EXPECT_FALSE(p.u.MsgAHU[kUnit].isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Params, ProtocolTest, ::testing::ValuesIn(kProtocolCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DecodeTest, ParametersOfWrongShapeChangeNothing)
{
    p.u.StateTCPConn[kUnit] = 2;
    p.u.TemperMaxAHU[kUnit] = 33;
    for (const QString &reply :
         {u"VPr07_1E0A_1F01_5A14_2005_6B02_40C"_s, u"VPr07_1E0A_1F01_5A14_2005_6B02_40C_1_2"_s,
          u"VPr07_1E0A_1F01_5A14_2005_6B02_40C_G"_s, u"VPr07"_s}) {
        feed(kUnit, reply);
        EXPECT_EQ(p.u.StateTCPConn[kUnit], 2) << reply.toStdString();
        EXPECT_EQ(p.u.TemperMaxAHU[kUnit], 33) << reply.toStdString();
    }
}

TEST_F(DecodeTest, ZoneRecordStored)
{
    const QDateTime now(QDate(2026, 2, 1), QTime(10, 0, 0));
    clock.set(now);
    // State 5, control type 2, mixing, icon 9.
    feed(kUnit, u"VZL20_1325_5A32_3E8"_s);
    const std::size_t z = 19;
    const UnitTable &u = p.u;
    EXPECT_EQ(u.ZStateV[kUnit][z], 5);
    EXPECT_EQ(u.ZTypeCont[kUnit][z], 2);
    EXPECT_EQ(u.ZTypeMix[kUnit][z], 1);
    EXPECT_EQ(u.ZIco[kUnit][z], 9);
    EXPECT_EQ(u.LZFact[kUnit][z], 50);
    EXPECT_EQ(u.LZTarg[kUnit][z], 90);
    EXPECT_EQ(u.ZCO2F[kUnit][z], 1000);
    EXPECT_EQ(u.TimeZoneRead[kUnit][z], now);
    EXPECT_TRUE(u.ZAllowCh[kUnit][z]);
}

TEST_F(DecodeTest, ZoneControlTypeDecidesWhetherTheTargetMayChange)
{
    const bool expected[] = {false, true, true, false};
    for (int type = 0; type < 4; ++type) {
        feed(kUnit, u"VZL01_%1_0_FFFF"_s.arg(type << 4, 0, 16));
        EXPECT_EQ(p.u.ZTypeCont[kUnit][0], type);
        EXPECT_EQ(p.u.ZAllowCh[kUnit][0], expected[type]) << type;
        EXPECT_EQ(p.u.ZCO2F[kUnit][0], 0xFFFF);
    }
    // A single digit after the prefix is a zone number too.
    feed(kUnit, u"VZL2_0_0_0"_s);
    EXPECT_TRUE(p.u.TimeZoneRead[kUnit][1].isValid());
}

TEST_F(DecodeTest, ZoneRecordsIgnored)
{
    const QString bad[] = {
        u"VZL21_1_2_3"_s,     u"VZL00_1_2_3"_s, u"VZL_1_2_3"_s,     u"VZLx1_1_2_3"_s,
        u"VZL-1_1_2_3"_s,     u"VZL05_1_2"_s,   u"VZL05_1_2_3_4"_s, u"VZL05_1_2_0005A"_s,
        u"VZL05_10000_2_3"_s, u"VZL05_1_2_G"_s, u"VZL05_1_2_3_"_s,
    };
    for (const QString &reply : bad) {
        feed(kUnit, reply);
        for (std::size_t z = 0; z < kZoneSlots; ++z)
            EXPECT_FALSE(p.u.TimeZoneRead[kUnit][z].isValid()) << reply.toStdString();
    }
}

struct ErrorRecordCase
{
    const char *name;
    QString reply;
    bool ended;
};

const QString kRecord = u"VDErr_1A_0_30F_1_FF9C_C8_1388_0_F_3_0_DC_1401_2_1F4_C8_1F4_C8"_s;

const ErrorRecordCase kErrorRecordCases[] = {
    {"NineteenItems", kRecord, true},
    {"EighteenItems", u"VDErr_1A_0_30F_1_FF9C_C8_1388_0_F_3_0_DC_1401_2_1F4_C8_1F4"_s, true},
    {"CodeOnly", u"VDErr"_s, true},
    {"TwentyItems", kRecord + u"_0"_s, true},
    {"BadFieldKeepsAsking", u"VDErr_1A_0_30F_1_FF9C_C8_1388_0_F_3_0_DC_1401_2_1F4_C8_1F4_Q8"_s, false},
};

class ErrorRecordTest : public DecodeTest, public ::testing::WithParamInterface<ErrorRecordCase>
{};

TEST_P(ErrorRecordTest, EndsTheRequest)
{
    UnitTable &u = p.u;
    u.IsNewErrorAHU[kUnit] = true;
    u.iCntNewError[kUnit] = 3;
    u.CodeErrorAHU[kUnit] = 0x1A;
    feed(kUnit, GetParam().reply);
    EXPECT_EQ(u.IsNewErrorAHU[kUnit], !GetParam().ended);
    EXPECT_EQ(u.iCntNewError[kUnit], GetParam().ended ? 0 : 3);
    EXPECT_EQ(u.CodeErrorAHU[kUnit], 0x1A);
    EXPECT_EQ(p.log.lines().empty(), GetParam().ended);
    if (!GetParam().ended) {
        EXPECT_TRUE(p.log.lastLine().startsWith(u":: VDErr 4 :: "_s)) << p.log.lastLine().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(ErrorRecord, ErrorRecordTest, ::testing::ValuesIn(kErrorRecordCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
