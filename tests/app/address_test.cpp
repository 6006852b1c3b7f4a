#include "app/MainRows.h"
#include "app/Program.h"
#include "core/Error.h"
#include "core/ZSub.h"
#include "support/FakeView.h"
#include "support/TempIni.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::FakeView;
using kvu::test::readFile;
using kvu::test::writeFile;

namespace {

using Fields = std::array<QString, 4>;

QByteArray Address(int n, const QByteArray &a, const QByteArray &b, const QByteArray &c, const QByteArray &d)
{
    const QByteArray i = QByteArray::number(n);
    return "IPInt1_" + i + "=" + a + "\nIPInt2_" + i + "=" + b + "\nIPInt3_" + i + "=" + c + "\nIPInt4_" + i +
           "=" + d + "\n";
}

// Three units: 1 named "Приток" at 10.0.0.7 with password 4660, 2 at 10.0.0.2, 3 without an address;
// a fourth row beyond the count holds 10.0.0.9.
QByteArray Units()
{
    return "[Options]\nnAHU=3\nNameAHU1=Приток\nPassPNL1=" + CodePass(u"4660"_s).toLatin1() + "\n" +
           Address(1, "10", "0", "0", "7") + Address(2, "10", "0", "0", "2") +
           Address(4, "10", "0", "0", "9");
}

class AddressTest : public ::testing::Test
{
protected:
    void SetUp() override { start(Units()); }

    void start(const QByteArray &ini)
    {
        if (!ini.isNull())
            writeFile(iniPath(), ini);
        p = std::make_unique<Program>(clock, dir.path());
        p->setView(&view);
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        p->FormCreate();
        p->MyIPData = {0, 192, 168, 1, 20};
    }
    MainRows &rows() { return p->mainRows(); }
    QString iniPath() const { return dir.filePath(u"klimavox_kvu.ini"_s); }
    QString iniText() const { return QString::fromUtf8(readFile(iniPath())); }

    QTemporaryDir dir;
    FakeClock clock;
    FakeView view;
    std::unique_ptr<Program> p;
};

TEST_F(AddressTest, OpeningShowsStoredValuesOrTheWorkstationNetwork)
{
    struct Row
    {
        const char *name;
        int n;
        QString title;
        Fields ip;
        QString pass;
    };
    const Row table[] = {
        {"named unit with address and password",
         1,
         u"для вентустановки №1 (Приток)"_s,
         {u"10"_s, u"0"_s, u"0"_s, u"7"_s},
         u"*****"_s},
        {"unnamed unit", 2, u"для вентустановки №2"_s, {u"10"_s, u"0"_s, u"0"_s, u"2"_s}, QString()},
        {"new unit on 192.168.1.20",
         3,
         u"для вентустановки №3"_s,
         {u"192"_s, u"168"_s, u"1"_s, QString()},
         QString()},
    };
    for (const Row &r : table) {
        SCOPED_TRACE(r.name);
        const AddressForm f = rows().FormIPActivate(r.n);
        EXPECT_EQ(f.L_tnum, r.title);
        EXPECT_EQ(f.TE_IP, r.ip);
        EXPECT_EQ(f.TE_Pass, r.pass);
    }

    // Only the missing numbers come from the workstation.
    p->u.IPInt[3] = {0, 172, -1, 5, -1, 0};
    EXPECT_EQ(rows().FormIPActivate(3).TE_IP, (Fields{u"172"_s, u"168"_s, u"5"_s, QString()}));
}

TEST_F(AddressTest, OkNeedsAllFourAddressFields)
{
    EXPECT_TRUE(MainRows::TestBtnOK({u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    EXPECT_FALSE(MainRows::TestBtnOK({u"192"_s, u"168"_s, u"1"_s, QString()}));
    EXPECT_FALSE(MainRows::TestBtnOK({QString(), u"168"_s, u"1"_s, u"4"_s}));
    EXPECT_FALSE(MainRows::TestBtnOK({}));
}

TEST_F(AddressTest, NewAddressIsStoredAndReadBackAtTheNextStart)
{
    const AddressOutcome out = rows().Btn_OKClick(3, {u"192"_s, u"168"_s, u"1"_s, u"44"_s}, u"00777"_s);
    EXPECT_TRUE(out.close);
    EXPECT_TRUE(out.warning.isEmpty());
    EXPECT_TRUE(p->u.IsCorrectIP[3]);
    EXPECT_EQ(p->u.IPInt[3][4], 44);
    EXPECT_EQ(p->u.PassPNL[3], 777);
    EXPECT_TRUE(iniText().contains(u"PassPNL3="_s + CodePass(u"777"_s) + u'\n'));
    EXPECT_TRUE(iniText().contains(u"IPInt1_3=192\nIPInt2_3=168\nIPInt3_3=1\nIPInt4_3=44\n"_s));
    EXPECT_TRUE(view.messages.isEmpty());

    p->FormClose();
    start({});
    EXPECT_TRUE(p->u.IsCorrectIP[3]);
    EXPECT_EQ(rows().FormIPActivate(3).TE_IP, (Fields{u"192"_s, u"168"_s, u"1"_s, u"44"_s}));
    EXPECT_EQ(p->u.PassPNL[3], 777);
}

TEST_F(AddressTest, DuplicateOfAnotherUnitWarnsAndKeepsOnlyThePassword)
{
    const AddressOutcome out = rows().Btn_OKClick(3, {u"10"_s, u"0"_s, u"0"_s, u"2"_s}, u"123"_s);
    EXPECT_FALSE(out.close);
    EXPECT_EQ(
        out.warning,
        u"Введенный IP адрес совпадает с адресом для помещения №2. Все IP адреса должны быть разными!"_s);
    EXPECT_EQ(out.field, 3);
    EXPECT_EQ(p->u.PassPNL[3], 123);
    EXPECT_TRUE(iniText().contains(u"PassPNL3="_s + CodePass(u"123"_s)));
    EXPECT_FALSE(p->u.IsCorrectIP[3]);
    EXPECT_EQ(p->u.IPInt[3][4], -1);
    EXPECT_FALSE(iniText().contains(u"IPInt1_3"_s));
}

TEST_F(AddressTest, RowsBeyondTheCountAndIncompleteAddressesAreNotCompared)
{
    // Row 4 holds 10.0.0.9 but lies beyond the three units in use.
    EXPECT_TRUE(p->u.IsCorrectIP[4]);
    EXPECT_TRUE(rows().Btn_OKClick(3, {u"10"_s, u"0"_s, u"0"_s, u"9"_s}, QString()).close);

    // Unit 2 holds the numbers of 10.0.0.50 but its address is not complete.
    p->u.IPInt[2] = {0, 10, 0, 0, 50, 0};
    p->u.IsCorrectIP[2] = false;
    EXPECT_TRUE(rows().Btn_OKClick(1, {u"10"_s, u"0"_s, u"0"_s, u"50"_s}, QString()).close);
    EXPECT_EQ(p->u.IPInt[1][4], 50);
    // A unit keeps its own address without a clash with itself.
    EXPECT_TRUE(rows().Btn_OKClick(1, {u"10"_s, u"0"_s, u"0"_s, u"50"_s}, QString()).close);
}

TEST_F(AddressTest, PasswordMaskKeepsTheStoredPasswordAndZeroClearsIt)
{
    const Fields own{u"10"_s, u"0"_s, u"0"_s, u"7"_s};
    const QString before = iniText();
    ASSERT_TRUE(rows().Btn_OKClick(1, own, u"*****"_s).close);
    EXPECT_EQ(p->u.PassPNL[1], 4660);
    ASSERT_TRUE(rows().Btn_OKClick(1, own, QString()).close);
    EXPECT_EQ(p->u.PassPNL[1], 4660);
    EXPECT_EQ(iniText(), before);

    ASSERT_TRUE(rows().Btn_OKClick(1, own, u"0"_s).close);
    EXPECT_EQ(p->u.PassPNL[1], 0);
    EXPECT_TRUE(iniText().contains(u"PassPNL1="_s + CodePass(u"0"_s) + u'\n'));
    EXPECT_EQ(rows().FormIPActivate(1).TE_Pass, QString());
}

TEST_F(AddressTest, AddressNoPanelCanHaveIsRefusedBeforeAnythingIsStored)
{
    struct Row
    {
        const char *name;
        Fields ip;
        int field;
        QString says;
    };
    const Row table[] = {
        {"300 in the first number", {u"300"_s, u"1"_s, u"1"_s, u"1"_s}, 0, u"число 1 равно 300"_s},
        {"256 in the last number", {u"10"_s, u"0"_s, u"0"_s, u"256"_s}, 3, u"число 4 равно 256"_s},
        {"pasted text", {u"10"_s, u"1a"_s, u"0"_s, u"1"_s}, 1, u"число 2 («1a») не является числом"_s},
        {"empty field", {u"10"_s, u"0"_s, QString(), u"1"_s}, 2, u"не заполнено число 3"_s},
    };
    const QString before = iniText();
    for (const Row &r : table) {
        SCOPED_TRACE(r.name);
        const AddressOutcome out = rows().Btn_OKClick(3, r.ip, u"555"_s);
        EXPECT_FALSE(out.close);
        EXPECT_EQ(out.field, r.field);
        EXPECT_TRUE(out.warning.contains(r.says)) << out.warning.toStdString();
        EXPECT_TRUE(r.field == 2 || out.warning.contains(u"от 0 до 255"_s)) << out.warning.toStdString();
        EXPECT_EQ(p->u.PassPNL[3], 0);
        EXPECT_FALSE(p->u.IsCorrectIP[3]);
        EXPECT_EQ(p->u.IPInt[3][1], -1);
        EXPECT_EQ(iniText(), before);
    }
    // The largest numbers are an address.
    EXPECT_TRUE(rows().Btn_OKClick(3, {u"255"_s, u"255"_s, u"255"_s, u"0"_s}, QString()).close);
}

TEST_F(AddressTest, FailedSettingsWriteIsToldAndTheDialogCloses)
{
    p->iniFile()->setSaver([](const QString &, const QByteArray &) { throw Error(u"диск защищён"_s); });
    const AddressOutcome out = rows().Btn_OKClick(3, {u"10"_s, u"0"_s, u"0"_s, u"3"_s}, u"12"_s);
    EXPECT_TRUE(out.close);
    EXPECT_EQ(view.messages, QStringList({u"Ошибка при записи INI файла: диск защищён"_s,
                                          u"Ошибка при записи INI файла: диск защищён"_s}));
    // The unit is reachable for this run.
    EXPECT_TRUE(p->u.IsCorrectIP[3]);
}

} // namespace
