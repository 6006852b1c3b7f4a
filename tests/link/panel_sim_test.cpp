#include "core/ZSub.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kWaitMs = 5000;
constexpr quint16 kPanelPort = 1560;

// Panel k listens on 127.9.<p>.k, p from the process id, so that parallel runs of the tests do not meet.
QString panelAddress(int k)
{
    return kvu::test::SimProcess::addressPrefix(9) + QStringLiteral(".%1").arg(k);
}

// Reply items as the decoders see them: "_" and blanks both separate.
QStringList items(const QByteArray &reply)
{
    QStringList out;
    for (const QString &part : QString::fromUtf8(reply).split(QLatin1Char('_')))
        out << part.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return out;
}

uint hexOf(const QString &item)
{
    bool ok = false;
    const uint v = item.toUInt(&ok, 16);
    EXPECT_TRUE(ok) << item.toStdString();
    return v;
}

bool checksumHolds(const QByteArray &block)
{
    const qsizetype sep = block.lastIndexOf('_');
    return sep > 0 && hexOf(QString::fromLatin1(block.mid(sep + 1))) ==
                          kvu::CalcCRC16(QString::fromLatin1(block.left(sep)));
}

QByteArray withChecksum(const QByteArray &text)
{
    return text + '_' + QByteArray::number(kvu::CalcCRC16(QString::fromLatin1(text)), 16).toUpper();
}

class PanelSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.start(kvu::test::SimProcess::addressPrefix(9),
                               {QStringLiteral("--panels"), QStringLiteral("2"), QStringLiteral("--password"),
                                QStringLiteral("2=5000")}));
        connectPanel(1);
    }

    void TearDown() override
    {
        if (sim_.running()) {
            EXPECT_TRUE(sim_.stop());
        }
    }

    void connectPanel(int k)
    {
        panel_.abort();
        panel_.connectToHost(QHostAddress(panelAddress(k)), kPanelPort);
        ASSERT_TRUE(panel_.waitForConnected(kWaitMs));
    }

    QString control(const QString &command) { return sim_.control(command); }

    void send(const QByteArray &wire)
    {
        panel_.write(wire);
        panel_.flush();
    }

    // The bytes of the next read, as the program takes one read for one reply.
    QByteArray nextRead()
    {
        if (panel_.bytesAvailable() == 0 && !panel_.waitForReadyRead(kWaitMs))
            return {};
        return panel_.readAll();
    }

    QByteArray ask(const QByteArray &wire)
    {
        send(wire);
        return nextRead();
    }

    kvu::test::SimProcess sim_;
    QTcpSocket panel_;
};

TEST_F(PanelSimTest, RepliesHaveTheFieldCountsTheDecodersRequire)
{
    struct Row
    {
        const char *request;
        const char *code;
        int items;
        bool atLeast;
    };
    const Row rows[] = {
        {"VPr07_1000", "VPr07", 8, false},  {"VSt07_1000", "VSt07", 11, true},
        {"VStat_1000", "VSt07", 11, true},  {"VScIc_1000", "VScIc", 5, false},
        {"VDErr_1000", "VDErr", 19, false}, {"VZL03_1000", "VZL03", 4, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.request);
        const QStringList reply = items(ask(row.request));
        ASSERT_FALSE(reply.isEmpty());
        EXPECT_EQ(reply[0], QLatin1String(row.code));
        if (row.atLeast) {
            EXPECT_GE(reply.size(), row.items);
        } else {
            EXPECT_EQ(reply.size(), row.items);
        }
        for (qsizetype i = 1; i < std::min<qsizetype>(reply.size(), 10); ++i)
            hexOf(reply[i]);
    }

    const QStringList params = items(ask("VPr07_1000"));
    EXPECT_EQ(hexOf(params[4]) & 0x1F, 8u) << "zones of panel 1";
    EXPECT_EQ(hexOf(params[5]) >> 8, 0x6Bu) << "protocol 107";
    const QByteArray status = ask("VSt07_1000");
    EXPECT_TRUE(QString::fromUtf8(status).contains(QStringLiteral("Работа"))) << status.constData();
}

TEST_F(PanelSimTest, CommandIsAcknowledgedAndShowsInTheStatus)
{
    EXPECT_EQ(ask("VWTmp_1000_17"), "OK_VWTmp_17");
    EXPECT_EQ(hexOf(items(ask("VSt07_1000"))[3]) >> 8, 0x17u);

    EXPECT_EQ(ask("VWPwr_1000_A"), "OK_VWPwr_A");
    EXPECT_EQ(hexOf(items(ask("VSt07_1000"))[2]) & 3, 2u) << "switching off";

    // A set-point outside the panel's limits is not acknowledged: the next read is the status.
    send("VWTmp_1000_5");
    const QByteArray next = ask("VSt07_1000");
    EXPECT_TRUE(next.startsWith("VSt07")) << next.constData();
    EXPECT_EQ(hexOf(items(next)[3]) >> 8, 0x17u);

    EXPECT_EQ(control(QStringLiteral("panel 1 alarm 21")), QLatin1String("ok"));
    const QStringList alarm = items(ask("VSt07_1000"));
    EXPECT_EQ(hexOf(alarm[1]) & 2, 2u);
    EXPECT_EQ(alarm[10], QLatin1String("21"));
    EXPECT_EQ(items(ask("VDErr_1000"))[1], QLatin1String("21"));
    EXPECT_EQ(control(QStringLiteral("panel 1 get tset")), QLatin1String("ok 23"));
}

// Every command of the unit windows, in order on one connection: the acknowledgement (or none for a
// refused or malformed command) and the field of the next reply that shows the change.
TEST_F(PanelSimTest, UnitWindowCommandsChangeTheNextReply)
{
    struct Check
    {
        int item;
        int shift;
        uint mask;
        uint value;
    };
    struct Row
    {
        int panel;
        const char *request;
        const char *reply; // nullptr: no answer
        const char *readBack;
        std::vector<Check> checks;
    };
    const char *status = "VSt07_1000";
    const Check tset{3, 8, 0xFF, 0}, speedSet{5, 4, 0xF, 0}, modeSet{1, 6, 7, 0}, humidifier{1, 9, 1, 0};
    const auto is = [](Check c, uint value) {
        c.value = value;
        return c;
    };
    const Row rows[] = {
        // Panel 1: limits 15..30 °C and 1..10, with cooler, humidifier and automatic change-over.
        {1, "VWTmp_1000_17", "OK_VWTmp_17", status, {is(tset, 0x17)}},
        {1, "VWTmp_1000_F", "OK_VWTmp_F", status, {is(tset, 15)}},
        {1, "VWTmp_1000_1F", nullptr, status, {is(tset, 15)}},
        {1, "VWTmp_1000_E", nullptr, status, {is(tset, 15)}},
        {1, "VWSpd_1000_4", "OK_VWSpd_4", status, {is(speedSet, 4)}},
        {1, "VWSpd_1000_A", "OK_VWSpd_A", status, {is(speedSet, 10)}},
        {1, "VWSpd_1000_0", nullptr, status, {is(speedSet, 10)}},
        {1, "VWSpd_1000_B", nullptr, status, {is(speedSet, 10)}},
        {1, "VWFtr_1000_2", "OK_VWFtr_2", status, {is(modeSet, 2)}},
        {1, "VWFtr_1000_3", "OK_VWFtr_3", status, {is(modeSet, 3)}},
        {1, "VWFtr_1000_4", "OK_VWFtr_4", status, {is(modeSet, 4), {2, 3, 7, 4}}},
        {1, "VWFtr_1000_5", nullptr, status, {is(modeSet, 4)}},
        {1, "VWFtr_1000_1", "OK_VWFtr_1", status, {is(modeSet, 1)}},
        {1, "VWFtr_1000_10", "OK_VWFtr_10", status, {is(humidifier, 0), is(modeSet, 1)}},
        {1, "VWFtr_1000_8", "OK_VWFtr_8", status, {is(humidifier, 1)}},
        // Scenario number in flag word 2 bits 6..9, its source (3: by hand) in bits 10..12.
        {1,
         "VWScn_1000_5",
         "OK_VWScn_5",
         status,
         {{2, 6, 0xF, 5}, {2, 10, 7, 3}, {2, 2, 1, 1}, {1, 14, 1, 0}}},
        {1, "VWScn_1000_9", nullptr, status, {{2, 6, 0xF, 5}}},
        {1, "VWScn_1000_A0", "OK_VWScn_A0", status, {{2, 2, 1, 0}, {1, 14, 1, 1}, {2, 6, 0xF, 0}}},
        {1, "VWScn_1000_7", nullptr, status, {{2, 6, 0xF, 0}}},
        {1, "VWScn_1000_B0", "OK_VWScn_B0", status, {{2, 2, 1, 1}, {1, 14, 1, 0}}},
        {1, "VWScn_1000_8", "OK_VWScn_8", status, {{2, 6, 0xF, 8}, {2, 10, 7, 3}}},
        // Wednesday 5 March 2025, 14:07:09; a date that does not exist leaves the clock alone.
        {1,
         "VWSdt_1000_E07_309_305_7E9",
         "OK_VWSdt_E07_309_305_7E9",
         status,
         {{7, 0, 0xFFFF, 0xE07}, {8, 0, 0xFFFF, 0x305}, {9, 0, 0xFFFF, 0x1903}}},
        {1, "VWSdt_1000_E07_309_21F_7E9", nullptr, status, {{8, 0, 0xFFFF, 0x305}}},
        {1, "VWSdt_1000_1807_309_305_7E9", nullptr, status, {{7, 0, 0xFFFF, 0xE07}}},
        {1, "VWSdt_1000_E07_809_305_7E9", nullptr, status, {{8, 0, 0xFFFF, 0x305}}},
        // Zone slots count on the page of the last zone read: VZL07 is page 2, slot 2 is zone 7.
        {1, "VZL07_1000", "", "VZL07_1000", {{2, 8, 0x7F, 50}}},
        {1, "VWZon_1000_F_2_1E", "OK_VWZon_F_2_1E", "VZL07_1000", {{2, 8, 0x7F, 0x1E}}},
        {1, "VWZon_1000_F_3_1E", nullptr, "VZL08_1000", {{2, 8, 0x7F, 50}}}, // no link: takes no target
        {1, "VWZon_1000_F_2_65", nullptr, "VZL07_1000", {{2, 8, 0x7F, 0x1E}}},
        {1, "VWZon_1000_F_6_14", nullptr, "VZL07_1000", {{2, 8, 0x7F, 0x1E}}},
        {1, "VWZon_1000_E_2_14", nullptr, "VZL07_1000", {{2, 8, 0x7F, 0x1E}}},
        {1, "VZL03_1000", "", "VZL03_1000", {{2, 8, 0x7F, 0x28}}},
        {1, "VWZon_1000_F_3_5", "OK_VWZon_F_3_5", "VZL03_1000", {{2, 8, 0x7F, 5}}},
        // Malformed and unknown commands.
        {1, "VWTmp_1000", nullptr, status, {is(tset, 15)}},
        {1, "VWTmp_1000_G1", nullptr, status, {is(tset, 15)}},
        {1, "VWPwr_1000_C", nullptr, status, {{2, 0, 3, 1}}},
        {1, "VWTmp_1000_FFFFFFFF", nullptr, status, {is(tset, 15)}},
        {1, "VWTmp_1000_100000010", nullptr, status, {is(tset, 15)}},
        {1, "VWSdt_1000_FFFFFFFF_FFFFFFFF_FFFFFFFF_FFFFFFFF", nullptr, status, {{8, 0, 0xFFFF, 0x305}}},
        {1, "VWZon_1000_F_FFFFFFFF_1E", nullptr, "VZL03_1000", {{2, 8, 0x7F, 5}}},
        {1, "VWXyz_1000_1", "VECd1_VWXyz", status, {is(tset, 15)}},
        {1, "VWTmp_1001_16", "VEPas", status, {is(tset, 15)}},
        // Panel 2 has neither cooler, humidifier nor automatic change-over.
        {2, "VWFtr_1388_2", nullptr, "VSt07_1388", {is(modeSet, 1)}},
        {2, "VWFtr_1388_3", nullptr, "VSt07_1388", {is(modeSet, 1)}},
        {2, "VWFtr_1388_8", nullptr, "VSt07_1388", {is(humidifier, 0)}},
        {2, "VWFtr_1388_4", "OK_VWFtr_4", "VSt07_1388", {is(modeSet, 4)}},
    };
    int panel = 1;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.request);
        if (row.panel != panel) {
            connectPanel(row.panel);
            panel = row.panel;
        }
        if (row.reply == nullptr) {
            send(row.request);
        } else if (*row.reply != '\0') {
            EXPECT_EQ(ask(row.request), row.reply);
        }
        // A refused command gets no answer, so the next read is the read-back alone.
        const QByteArray back = ask(row.readBack);
        ASSERT_TRUE(back.startsWith(QByteArray(row.readBack).left(5))) << back.constData();
        const QStringList fields = items(back);
        for (const Check &c : row.checks) {
            ASSERT_GT(fields.size(), c.item);
            EXPECT_EQ((hexOf(fields[c.item]) >> c.shift) & c.mask, c.value) << "item " << c.item;
        }
    }
}

// The clock set from the clock window runs on from the set time: a second before the new year it soon
// shows Monday 1 January 2024.
TEST_F(PanelSimTest, PanelClockRunsOnFromTheSetTime)
{
    EXPECT_EQ(ask("VWSdt_1000_173B_73B_C1F_7E7"), "OK_VWSdt_173B_73B_C1F_7E7");
    QStringList fields = items(ask("VSt07_1000"));
    ASSERT_GE(fields.size(), 10);
    QElapsedTimer clock;
    clock.start();
    while (fields[8] != QLatin1String("101") && clock.elapsed() < kWaitMs) {
        EXPECT_EQ(fields[8], QLatin1String("C1F"));
        QSignalSpy more(&panel_, &QTcpSocket::readyRead);
        send("VSt07_1000");
        ASSERT_TRUE(more.wait(kWaitMs));
        fields = items(panel_.readAll());
        ASSERT_GE(fields.size(), 10);
    }
    EXPECT_EQ(fields[7], QLatin1String("0"));
    EXPECT_EQ(fields[8], QLatin1String("101"));
    EXPECT_EQ(fields[9], QLatin1String("1801"));
}

TEST_F(PanelSimTest, PasswordAndFaultRefusals)
{
    struct Row
    {
        int panel;
        const char *fault;
        const char *request;
        const char *reply;
        bool whole;
    };
    const Row rows[] = {
        {1, nullptr, "VSt07_0FFF", "VEPas", true},
        {2, nullptr, "VSt07_1000", "VEPas", true},
        {2, nullptr, "VScIc_1388", "VScIc_", false},
        {1, "wrongpass", "VSt07_1000", "VEPas", true},
        {1, "nolink", "VPr07_1000", "VECon", true},
        {1, "oldproto", "VPr07_1000", "VECd1_VPr07", true},
        {1, "newproto", "VRPrt_1000", "VRPrt_6C", true},
        {1, "lowproto", "VPr07_1000", "VPr07_1E0F_A01_3C1E_E708_6A05_", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.request);
        connectPanel(row.panel);
        ASSERT_EQ(control(QStringLiteral("panel 1 fault none")), QLatin1String("ok"));
        if (row.fault) {
            ASSERT_EQ(control(QStringLiteral("panel 1 fault ") + QLatin1String(row.fault)),
                      QLatin1String("ok"));
        }
        const QByteArray reply = ask(row.request);
        if (row.whole) {
            EXPECT_EQ(reply, row.reply);
        } else {
            EXPECT_TRUE(reply.startsWith(row.reply)) << reply.constData();
        }
    }
}

TEST_F(PanelSimTest, SilentPanelReadsButNeverAnswers)
{
    ASSERT_EQ(control(QStringLiteral("panel 1 fault silent")), QLatin1String("ok"));
    QSignalSpy readyRead(&panel_, &QTcpSocket::readyRead);
    send("VSt07_1000");
    EXPECT_FALSE(readyRead.wait(500));
    EXPECT_EQ(control(QStringLiteral("panel 1 requests 1")), QLatin1String("ok VSt07_1000"));
}

TEST_F(PanelSimTest, DropClosesAndTheNextConnectionIsServed)
{
    QSignalSpy closed(&panel_, &QTcpSocket::disconnected);
    ASSERT_EQ(control(QStringLiteral("panel 1 drop")), QLatin1String("ok"));
    EXPECT_TRUE(closed.count() > 0 || closed.wait(kWaitMs));

    // Every connection is closed at its second request, without an answer.
    ASSERT_EQ(control(QStringLiteral("panel 1 dropevery 2")), QLatin1String("ok"));
    connectPanel(1);
    EXPECT_TRUE(ask("VSt07_1000").startsWith("VSt07_"));
    send("VSt07_1000");
    EXPECT_TRUE(panel_.state() == QAbstractSocket::UnconnectedState || closed.wait(kWaitMs));
}

TEST_F(PanelSimTest, RequestsInPiecesAmongJunkAreAnswered)
{
    const char junk[] = "\x80\xff\x01junk VSt0";
    send(QByteArray(junk, sizeof junk - 1));
    EXPECT_FALSE(panel_.waitForReadyRead(100));
    EXPECT_TRUE(ask("7_1000").startsWith("VSt07_"));

    send("VScIc_1000VPr07_1000");
    QByteArray both;
    QElapsedTimer clock;
    clock.start();
    while (!both.contains("VPr07_") && clock.elapsed() < kWaitMs)
        both += nextRead();
    EXPECT_TRUE(both.startsWith("VScIc_")) << both.constData();
    EXPECT_TRUE(both.contains("VPr07_"));
}

TEST_F(PanelSimTest, SplitAndJoinedReplies)
{
    ASSERT_EQ(control(QStringLiteral("panel 1 fault split")), QLatin1String("ok"));
    ASSERT_EQ(control(QStringLiteral("panel 1 splitpause 500")), QLatin1String("ok"));
    const QByteArray first = ask("VScIc_1000");
    const QByteArray second = nextRead();
    EXPECT_FALSE(first.isEmpty());
    EXPECT_FALSE(second.isEmpty());
    EXPECT_EQ(items(first + second).size(), 5);

    ASSERT_EQ(control(QStringLiteral("panel 1 fault none")), QLatin1String("ok"));
    ASSERT_EQ(control(QStringLiteral("panel 1 fault join")), QLatin1String("ok"));
    send("VScIc_1000");
    const QByteArray joined = ask("VPr07_1000");
    EXPECT_TRUE(joined.startsWith("VScIc_")) << joined.constData();
    EXPECT_TRUE(joined.contains("VPr07_"));
}

TEST_F(PanelSimTest, ArchiveBlocksCarryTheirChecksumAndRestoreWritesThemBack)
{
    EXPECT_EQ(ask("VRPrt_1000"), "VRPrt_6B");
    struct Group
    {
        const char *code;
        int blocks;
        int fields;
    };
    const Group groups[] = {{"VRSD1", 9, 10}, {"VRSD2", 9, 18}, {"VRVD1", 20, 11}, {"VRFD1", 1, 12}};
    QList<QByteArray> blocks;
    for (const Group &g : groups) {
        for (int i = 0; i < g.blocks; ++i) {
            const QByteArray block = ask(QByteArray(g.code) + "_1000_" + QByteArray::number(i, 16).toUpper());
            SCOPED_TRACE(block.constData());
            EXPECT_EQ(items(block).size(), g.fields);
            EXPECT_EQ(items(block)[1], QString::number(i, 16).toUpper());
            EXPECT_TRUE(checksumHolds(block));
            blocks << block;
        }
    }
    ASSERT_EQ(blocks.size(), 39);

    ASSERT_EQ(control(QStringLiteral("panel 1 badcrc 1")), QLatin1String("ok"));
    EXPECT_FALSE(checksumHolds(ask("VRSD1_1000_0")));
    EXPECT_TRUE(checksumHolds(ask("VRSD1_1000_0")));

    const QByteArray changed = withChecksum("VRSD1_0_1_2_3_4_5_6_7");
    blocks[0] = changed;
    EXPECT_EQ(ask("VWrte_1000_6B"), "VWrtY");
    QByteArray corrupt = "VA" + changed.mid(2);
    corrupt.insert(5, "_1000");
    corrupt[corrupt.size() - 1] = corrupt.endsWith('0') ? '1' : '0';
    EXPECT_EQ(ask(corrupt), "VADat");
    for (const QByteArray &block : std::as_const(blocks)) {
        QByteArray wire = "VA" + block.mid(2);
        wire.insert(5, "_1000");
        const QByteArray reply = ask(wire);
        EXPECT_EQ(reply, "VA" + block.mid(2, 3) + '_' + items(block)[1].toLatin1()) << wire.constData();
    }
    EXPECT_EQ(ask("VAFin_1000_1"), "VAFOK");
    EXPECT_EQ(ask("VRSD1_1000_0"), changed);
    EXPECT_EQ(ask("VAFin_1000_1"), "VWrtN") << "no restore announced";
}

TEST_F(PanelSimTest, QuitEndsTheProgram)
{
    EXPECT_EQ(control(QStringLiteral("panels")),
              QStringLiteral("ok 1=%1:1560 2=%2:1560").arg(panelAddress(1), panelAddress(2)));
    EXPECT_TRUE(control(QStringLiteral("panel 3 get")).startsWith(QLatin1String("error")));
    EXPECT_EQ(control(QStringLiteral("quit")), QLatin1String("ok"));
    EXPECT_TRUE(sim_.waitForExit());
    EXPECT_TRUE(sim_.exitedCleanly());
}

} // namespace
