#include "core/ZSub.h"
#include "link/Protocol.h"

#include <QDate>
#include <QTime>
#include <gtest/gtest.h>

#include <climits>
#include <ostream>

static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace kvu {
namespace {

TEST(InsertPass, FieldFollowsTheCode)
{
    struct Row
    {
        const char *name;
        QString text;
        int password;
        QString wire;
    };
    const Row rows[] = {
        {"no password", QStringLiteral("VSt07"), 0, QStringLiteral("VSt07_1000")},
        {"below the floor", QStringLiteral("VSt07"), 4095, QStringLiteral("VSt07_1000")},
        {"negative", QStringLiteral("VSt07"), -7, QStringLiteral("VSt07_1000")},
        {"the floor", QStringLiteral("VSt07"), 4096, QStringLiteral("VSt07_1000")},
        {"just above", QStringLiteral("VSt07"), 4097, QStringLiteral("VSt07_1001")},
        {"largest 16-bit", QStringLiteral("VSt07"), 0xFFFF, QStringLiteral("VSt07_FFFF")},
        {"65536 keeps its low zero bits", QStringLiteral("VSt07"), 65536, QStringLiteral("VSt07_0000")},
        {"65536 + 5 keeps leading zeros", QStringLiteral("VSt07"), 65536 + 5, QStringLiteral("VSt07_0005")},
        {"65536 + x", QStringLiteral("VSt07"), 3 * 65536 + 0x1234, QStringLiteral("VSt07_1234")},
        {"largest int", QStringLiteral("VSt07"), INT_MAX, QStringLiteral("VSt07_FFFF")},
        {"inserted before the fields", QStringLiteral("VWTmp_16"), 0x2A3B, QStringLiteral("VWTmp_2A3B_16")},
        {"restore line", QStringLiteral("VASD1_0_1_2"), 0xBEEF, QStringLiteral("VASD1_BEEF_0_1_2")},
        {"four characters", QStringLiteral("VSt0"), 5000, QString()},
        {"empty", QString(), 5000, QString()},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(InsertPass(r.text, r.password), r.wire);
    }
}

TEST(HexText, UpperCaseWithoutLeadingZerosAndReadBack)
{
    struct Row
    {
        int value;
        const char *hex;
    };
    const Row rows[] = {{0, "0"},
                        {26, "1A"},
                        {255, "FF"},
                        {4096, "1000"},
                        {-1, "FFFFFFFF"},
                        {INT_MIN, "80000000"},
                        {INT_MAX, "7FFFFFFF"}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.hex);
        EXPECT_EQ(HexText(r.value), QString::fromLatin1(r.hex));
        EXPECT_EQ(HexToDec(HexText(r.value)), r.value);
    }
}

TEST(Requests, ExactTexts)
{
    struct Row
    {
        const char *name;
        QString actual;
        const char *expected;
    };
    const Row rows[] = {
        {"parameters", ReqParam(), "VPr07"},
        {"status", ReqStatus(), "VSt07"},
        {"scenario icons", ReqScenIcons(), "VScIc"},
        {"error data", ReqErrorData(), "VDErr"},
        {"zone 7", ReqZone(7), "VZL07"},
        {"zone 12", ReqZone(12), "VZL12"},
        {"zone below range", ReqZone(-3), "VZL00"},
        {"zone above range", ReqZone(100), "VZL99"},
        {"start", CmdPower(true), "VWPwr_B"},
        {"stop", CmdPower(false), "VWPwr_A"},
        {"temperature", CmdTemperature(22), "VWTmp_16"},
        {"temperature 23", CmdTemperature(23), "VWTmp_17"},
        {"temperature zero", CmdTemperature(0), "VWTmp_0"},
        {"temperature negative", CmdTemperature(-1), "VWTmp_FFFFFFFF"},
        {"speed", CmdSpeed(26), "VWSpd_1A"},
        {"heating", CmdMode(kModeHeating), "VWFtr_1"},
        {"cooling", CmdMode(kModeCooling), "VWFtr_2"},
        {"auto", CmdMode(kModeAuto), "VWFtr_3"},
        {"off", CmdMode(kModeOff), "VWFtr_4"},
        {"humidifier on", CmdMode(kModeHumidifierOn), "VWFtr_8"},
        {"humidifier off", CmdMode(kModeHumidifierOff), "VWFtr_10"},
        {"scenario 5", CmdScenario(5), "VWScn_5"},
        {"scenarios off", CmdScenario(kScenariosOff), "VWScn_A0"},
        {"scenarios on", CmdScenario(kScenariosOn), "VWScn_B0"},
        {"zone target", CmdZoneTarget(2, 30), "VWZon_F_2_1E"},
        {"zone target zero", CmdZoneTarget(5, 0), "VWZon_F_5_0"},
        {"archive protocol", ReqArchProtocol(), "VRPrt"},
        {"block SD1 0", ReqArchBlock(ArchArea::SD1, 0), "VRSD1_0"},
        {"block SD2 8", ReqArchBlock(ArchArea::SD2, 8), "VRSD2_8"},
        {"block VD1 19", ReqArchBlock(ArchArea::VD1, 19), "VRVD1_13"},
        {"block FD1 0", ReqArchBlock(ArchArea::FD1, 0), "VRFD1_0"},
        {"restore start", CmdRestoreStart(107), "VWrte_6B"},
        {"restore end", CmdRestoreEnd(), "VAFin_1"},
        {"restore cancel", CmdRestoreCancel(), "VACns_1"},
        {"keep-alive", ReqKeepAlive(), "VStat"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.actual, QString::fromLatin1(r.expected));
    }
}

TEST(Requests, SetClock)
{
    struct Row
    {
        const char *name;
        QDateTime at;
        const char *expected;
    };
    const Row rows[] = {
        {"Monday", QDateTime(QDate(2018, 3, 5), QTime(14, 7, 9)), "VWSdt_E07_109_305_7E2"},
        {"Sunday midnight", QDateTime(QDate(2024, 3, 10), QTime(0, 0, 0)), "VWSdt_0_700_30A_7E8"},
        {"New Year's Eve", QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59)), "VWSdt_173B_33B_C1F_7E9"},
        {"invalid", QDateTime(), ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(CmdSetClock(r.at), QString::fromLatin1(r.expected));
    }
}

TEST(Requests, WholeArchiveSaveInOrder)
{
    QStringList requests;
    for (int a = 0; a < kArchAreaCount; ++a) {
        const auto area = static_cast<ArchArea>(a);
        for (int block = 0; block < ArchAreaBlockCount(area); ++block)
            requests << ReqArchBlock(area, block);
    }
    ASSERT_EQ(requests.size(), 39);
    EXPECT_EQ(requests.at(0), QStringLiteral("VRSD1_0"));
    EXPECT_EQ(requests.at(8), QStringLiteral("VRSD1_8"));
    EXPECT_EQ(requests.at(9), QStringLiteral("VRSD2_0"));
    EXPECT_EQ(requests.at(18), QStringLiteral("VRVD1_0"));
    EXPECT_EQ(requests.at(28), QStringLiteral("VRVD1_A"));
    EXPECT_EQ(requests.at(37), QStringLiteral("VRVD1_13"));
    EXPECT_EQ(requests.at(38), QStringLiteral("VRFD1_0"));
}

TEST(Requests, RestoreLineChangesOnlyTheFirstVR)
{
    struct Row
    {
        const char *stored;
        const char *sent;
    };
    const Row rows[] = {
        {"VRSD1_0_1_2", "VASD1_0_1_2"},
        {"VRVD1_13_VR_VR", "VAVD1_13_VR_VR"},
        {"VRFD1_0", "VAFD1_0"},
        {"XVRSD1", "XVASD1"},
        {"ABCDE", "ABCDE"},
        {"", ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.stored);
        EXPECT_EQ(RestoreLine(QString::fromLatin1(r.stored)), QString::fromLatin1(r.sent));
    }
}

TEST(Wire, RequestBytesAndReplyText)
{
    EXPECT_EQ(EncodeRequest(InsertPass(CmdTemperature(22), 0x1234)), QByteArray("VWTmp_1234_16"));

    // One character per byte, whatever the bytes: a reply's message field carries raw UTF-8.
    const QByteArray reply("VSt07_1_\xD0\x9F\x00_\xC0", 13);
    const QString text = DecodeReply(reply);
    ASSERT_EQ(text.size(), reply.size());
    EXPECT_TRUE(text.startsWith(QStringLiteral("VSt07_1_")));
    EXPECT_EQ(text.at(12), QChar(0x0410));
    EXPECT_EQ(text.at(10), QChar(0));
    EXPECT_EQ(EncodeRequest(text), reply);
}

} // namespace
} // namespace kvu
