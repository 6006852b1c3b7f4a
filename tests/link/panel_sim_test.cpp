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

// The archive exchange: the panel's configuration of 39 blocks, read out and written back.
class PanelArchiveTest : public PanelSimTest
{
protected:
    struct Group
    {
        const char *code;
        int blocks;
        int items; // code, index, data fields, checksum
    };
    static constexpr Group kGroups[] = {
        {"VRSD1", 9, 10}, {"VRSD2", 9, 18}, {"VRVD1", 20, 11}, {"VRFD1", 1, 12}};

    static int itemsOf(const QByteArray &block)
    {
        for (const Group &g : kGroups) {
            if (block.startsWith(g.code))
                return g.items;
        }
        return -1;
    }

    // The 39 blocks of the connected panel in the order the program asks for them, each checked.
    QList<QByteArray> saveAll(const QByteArray &password)
    {
        QList<QByteArray> blocks;
        EXPECT_EQ(ask("VRPrt_" + password), "VRPrt_6B");
        for (const Group &g : kGroups) {
            for (int i = 0; i < g.blocks; ++i) {
                const QByteArray index = QByteArray::number(i, 16).toUpper();
                const QByteArray block = ask(QByteArray(g.code) + '_' + password + '_' + index);
                SCOPED_TRACE(block.constData());
                const QStringList fields = items(block);
                EXPECT_EQ(fields.size(), g.items);
                EXPECT_EQ(fields.value(0), QLatin1String(g.code));
                EXPECT_EQ(fields.value(1), QString::fromLatin1(index));
                for (qsizetype f = 2; f + 1 < fields.size(); ++f)
                    EXPECT_LE(fields[f].size(), 4) << "data fields are short hexadecimal numbers";
                EXPECT_TRUE(checksumHolds(block));
                blocks << block;
            }
        }
        return blocks;
    }

    // A stored block as the program writes it back: "VR" made "VA", the password after the code.
    static QByteArray writeBack(const QByteArray &block, const QByteArray &password)
    {
        return "VA" + block.mid(2, 3) + '_' + password + block.mid(5);
    }

    // The panel's answer to a block it takes: the "VA" code and the index.
    static QByteArray taken(const QByteArray &block)
    {
        return "VA" + block.mid(2, 3) + '_' + items(block)[1].toLatin1();
    }

    QString config(int panel) { return control(QStringLiteral("panel %1 get config").arg(panel)); }

    // Asks the control channel until it gives the expected answer; the panel socket is served apart.
    bool controlReaches(const QString &command, const QString &answer)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kWaitMs) {
            if (control(command) == answer)
                return true;
        }
        return false;
    }
};

TEST_F(PanelArchiveTest, SaveReadsThirtyNineBlocksWithTheProgramsChecksum)
{
    const QList<QByteArray> blocks = saveAll("1000");
    ASSERT_EQ(blocks.size(), 39);
    EXPECT_EQ(config(1), QLatin1String("ok ") + QString::fromLatin1(blocks.join(' ')));
    // Each panel has a configuration of its own, so a restore into another panel shows.
    connectPanel(2);
    const QList<QByteArray> other = saveAll("1388");
    ASSERT_EQ(other.size(), 39);
    for (int i = 0; i < 39; ++i)
        EXPECT_NE(items(blocks[i]).mid(2), items(other[i]).mid(2)) << blocks[i].constData();
    // A block index beyond the group is not answered: the next read is the status.
    send("VRSD1_1388_9");
    EXPECT_TRUE(ask("VSt07_1388").startsWith("VSt07_"));
}

TEST_F(PanelArchiveTest, RestoreWaitsForThePersonAtThePanelAndReplacesTheConfiguration)
{
    const QList<QByteArray> saved = saveAll("1000");
    ASSERT_EQ(saved.size(), 39);
    const QString before = config(2);
    connectPanel(2);

    EXPECT_EQ(control(QStringLiteral("panel 2 get restore")), QLatin1String("ok manual"));
    EXPECT_TRUE(control(QStringLiteral("panel 2 restore confirm")).startsWith(QLatin1String("error")));
    EXPECT_EQ(ask("VWrte_1388_6A"), "VWrtN") << "another protocol version";
    send("VWrte_1388_6B");
    ASSERT_TRUE(controlReaches(QStringLiteral("panel 2 get restorephase"), QStringLiteral("ok 1")));
    // While it waits the panel answers reads but takes no commands and no blocks.
    EXPECT_TRUE(ask("VStat_1388").startsWith("VSt07_"));
    send("VWTmp_1388_19");
    EXPECT_EQ(ask(writeBack(saved[0], "1388")), "VWrtN");
    EXPECT_EQ(control(QStringLiteral("panel 2 restore confirm")), QLatin1String("ok"));
    EXPECT_EQ(nextRead(), "VWrtY") << "nothing was answered before the confirmation";
    EXPECT_EQ(control(QStringLiteral("panel 2 get restorephase")), QLatin1String("ok 2"));
    EXPECT_EQ(control(QStringLiteral("panel 2 get tset")), QLatin1String("ok 21"));

    // Blocks damaged on the way are reported and not taken.
    QByteArray badChecksum = writeBack(saved[0], "1388");
    badChecksum[badChecksum.size() - 1] = badChecksum.endsWith('0') ? '1' : '0';
    // One data field short, with a checksum that matches what is left.
    QList<QByteArray> parts = saved[1].split('_');
    parts.removeLast();
    parts.removeLast();
    const QByteArray lostField = writeBack(withChecksum(parts.join('_')), "1388");
    for (const QByteArray &bad : {badChecksum, lostField}) {
        SCOPED_TRACE(bad.constData());
        send(bad);
        EXPECT_EQ(nextRead(), "VADat");
    }
    EXPECT_EQ(control(QStringLiteral("panel 2 get restoreblocks")), QLatin1String("ok 0"));

    for (int i = 0; i < 39; ++i) {
        EXPECT_EQ(ask(writeBack(saved[i], "1388")), taken(saved[i]));
        if (i == 37) {
            EXPECT_EQ(config(2), before) << "nothing changes before the end";
        }
    }
    EXPECT_EQ(ask("VAFin_1388_1"), "VAFOK");
    EXPECT_EQ(control(QStringLiteral("panel 2 get restorephase")), QLatin1String("ok 0"));
    EXPECT_EQ(config(2), config(1));
    EXPECT_EQ(ask("VAFin_1388_1"), "VWrtN") << "no restore running";
}

// Each fault of the save: the reply it spoils, and whether it is used up or stays until cleared.
TEST_F(PanelArchiveTest, SaveFaultsOnDemand)
{
    struct Row
    {
        const char *command;
        const char *request;
        const char *problem;
        bool oneShot;
    };
    const Row rows[] = {
        {"archive badcrc", "VRSD2_1000_3", "checksum", true},
        {"archive nofield", "VRVD1_1000_A", "field count", true},
        {"archive version 6C", "VRPrt_1000", "version 6C", false},
        {"archive silent", "VRSD1_1000_4", "silence", false},
    };
    // What the program would make of the reply.
    const auto judge = [this](const char *request) -> QString {
        send(request);
        if (panel_.bytesAvailable() == 0 && !panel_.waitForReadyRead(1000))
            return QStringLiteral("silence");
        const QByteArray reply = panel_.readAll();
        if (reply.startsWith("VRPrt"))
            return QStringLiteral("version ") + items(reply).value(1);
        if (items(reply).size() != itemsOf(reply))
            return QStringLiteral("field count");
        return checksumHolds(reply) ? QStringLiteral("sound") : QStringLiteral("checksum");
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.command);
        const QString sound = QByteArray(row.request).startsWith("VRPrt") ? QStringLiteral("version 6B")
                                                                          : QStringLiteral("sound");
        EXPECT_EQ(judge(row.request), sound);
        ASSERT_EQ(control(QStringLiteral("panel 1 ") + QLatin1String(row.command)), QLatin1String("ok"));
        EXPECT_EQ(judge(row.request), QLatin1String(row.problem));
        EXPECT_TRUE(ask("VStat_1000").startsWith("VSt07_")) << "status requests are still answered";
        EXPECT_EQ(judge(row.request), row.oneShot ? sound : QString::fromLatin1(row.problem));
        ASSERT_EQ(control(QStringLiteral("panel 1 archive clear")), QLatin1String("ok"));
        EXPECT_EQ(control(QStringLiteral("panel 1 get archfaults")), QLatin1String("ok none"));
        EXPECT_EQ(judge(row.request), sound);
    }
}

// Each fault of the restore against clean runs: the answer to the announcement, the replies out of the
// ordinary while the blocks are written, the verdict, and whether panel 1 took the written configuration.
TEST_F(PanelArchiveTest, RestoreFaultsOnDemand)
{
    const QList<QByteArray> own = saveAll("1000");
    connectPanel(2);
    const QList<QByteArray> foreign = saveAll("1388");
    ASSERT_EQ(own.size(), 39);
    ASSERT_EQ(foreign.size(), 39);
    const auto configOf = [](const QList<QByteArray> &blocks) {
        return QLatin1String("ok ") + QString::fromLatin1(blocks.join(' '));
    };
    struct Row
    {
        const char *arm;        // control command before the announcement
        const char *person;     // what the person at the panel does; nullptr: the panel answers at once
        const char *armWriting; // control command once the blocks are being written
        const char *confirmation;
        QStringList events;
        const char *verdict; // nullptr: the restore ended before "VAFin_1"
        bool changed;
    };
    const Row rows[] = {
        {nullptr, "restore confirm", nullptr, "VWrtY", {}, "VAFOK", true},
        {"restore auto", nullptr, nullptr, "VWrtY", {}, "VAFOK", true},
        {nullptr, "restore deny", nullptr, "VWrtN", {}, nullptr, false},
        {nullptr, "restore timeout", nullptr, "VWrtT", {}, nullptr, false},
        {"archive vwrtt", nullptr, nullptr, "VWrtT", {}, nullptr, false},
        {nullptr, "restore confirm", "archive vwrtt", "VWrtY", {QStringLiteral("VWrtT")}, nullptr, false},
        {nullptr, "restore confirm", "archive vwrtn", "VWrtY", {QStringLiteral("VWrtN")}, nullptr, false},
        {nullptr, "restore confirm", "archive vadat", "VWrtY", {QStringLiteral("VADat")}, "VAFOK", true},
        {nullptr, "restore confirm", "archive vafer", "VWrtY", {}, "VAFEr", false},
    };
    connectPanel(1);
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.arm ? row.arm : "") + " / " + (row.person ? row.person : "") + " / " +
                     (row.armWriting ? row.armWriting : ""));
        ASSERT_EQ(control(QStringLiteral("panel 1 restore manual")), QLatin1String("ok"));
        const QString before = config(1);
        // Always write the configuration panel 1 does not hold now, so that a change shows.
        const QList<QByteArray> &source = before == configOf(own) ? foreign : own;
        if (row.arm) {
            ASSERT_EQ(control(QStringLiteral("panel 1 ") + QLatin1String(row.arm)), QLatin1String("ok"));
        }
        send("VWrte_1000_6B");
        if (row.person) {
            ASSERT_TRUE(controlReaches(QStringLiteral("panel 1 get restorephase"), QStringLiteral("ok 1")));
            ASSERT_EQ(control(QStringLiteral("panel 1 ") + QLatin1String(row.person)), QLatin1String("ok"));
        }
        EXPECT_EQ(nextRead(), row.confirmation);
        if (row.armWriting) {
            ASSERT_EQ(control(QStringLiteral("panel 1 ") + QLatin1String(row.armWriting)),
                      QLatin1String("ok"));
        }
        QStringList events;
        bool ended = QByteArray(row.confirmation) != "VWrtY";
        for (int i = 0; i < 39 && !ended; ++i) {
            QByteArray reply = ask(writeBack(source[i], "1000"));
            if (reply == "VADat") {
                events << QStringLiteral("VADat");
                reply = ask(writeBack(source[i], "1000"));
            }
            if (reply != taken(source[i])) {
                events << QString::fromLatin1(reply);
                ended = true;
            }
        }
        EXPECT_EQ(events, row.events);
        if (row.verdict) {
            EXPECT_EQ(ask("VAFin_1000_1"), row.verdict);
        }
        EXPECT_EQ(control(QStringLiteral("panel 1 get restorephase")), QLatin1String("ok 0"));
        EXPECT_EQ(control(QStringLiteral("panel 1 get archfaults")), QLatin1String("ok none")) << "used up";
        EXPECT_EQ(config(1), row.changed ? configOf(source) : before);
    }
}

// A cancel, or the loss of the connection that announced the restore, leaves restore mode and the
// configuration as it was.
TEST_F(PanelArchiveTest, CancelOrLostConnectionLeavesTheConfigurationUnchanged)
{
    connectPanel(2);
    const QList<QByteArray> blocks = saveAll("1388");
    ASSERT_EQ(blocks.size(), 39);
    const QString original = config(1);
    ASSERT_EQ(control(QStringLiteral("panel 1 restore auto")), QLatin1String("ok"));
    EXPECT_EQ(control(QStringLiteral("panel 1 get restore")), QLatin1String("ok auto"));

    connectPanel(1);
    EXPECT_EQ(ask("VWrte_1000_6B"), "VWrtY");
    for (int i = 0; i < 39; ++i)
        EXPECT_EQ(ask(writeBack(blocks[i], "1000")), taken(blocks[i]));
    EXPECT_EQ(ask("VACns_1000_1"), "OK_VACns_1");
    EXPECT_EQ(control(QStringLiteral("panel 1 get restorephase")), QLatin1String("ok 0"));
    EXPECT_EQ(ask(writeBack(blocks[0], "1000")), "VWrtN");
    EXPECT_EQ(ask("VAFin_1000_1"), "VWrtN");
    EXPECT_EQ(config(1), original);

    EXPECT_EQ(ask("VWrte_1000_6B"), "VWrtY");
    EXPECT_EQ(ask(writeBack(blocks[0], "1000")), taken(blocks[0]));
    QSignalSpy closed(&panel_, &QTcpSocket::disconnected);
    panel_.disconnectFromHost();
    EXPECT_TRUE(controlReaches(QStringLiteral("panel 1 get restorephase"), QStringLiteral("ok 0")));
    EXPECT_EQ(config(1), original);
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
