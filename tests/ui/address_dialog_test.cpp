#include "app/Program.h"
#include "core/ZSub.h"
#include "support/FakeView.h"
#include "support/ModalBoxes.h"
#include "support/TempIni.h"
#include "ui/main/TFormIP.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::BoxCloser;
using kvu::test::readFile;
using kvu::test::writeFile;

namespace {

class AddressDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(iniPath(),
                  "[Options]\nnAHU=3\nNameAHU1=Приток\nPassPNL1=" + CodePass(u"4660"_s).toLatin1() +
                      "\nIPInt1_1=10\nIPInt2_1=0\nIPInt3_1=0\nIPInt4_1=7\n"
                      "IPInt1_2=10\nIPInt2_2=0\nIPInt3_2=0\nIPInt4_2=2\n");
        p.setView(&view);
        p.setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        p.FormCreate();
        p.MyIPData = {0, 192, 168, 1, 20};
        owner.setGeometry(200, 150, 800, 600);
        owner.show();
    }
    void TearDown() override { p.FormClose(); }

    // Opens the dialog for unit n and runs the script inside its modal loop; a dialog the script
    // left open is cancelled so that a failing test never hangs.
    int run(int n, const std::function<void()> &script)
    {
        QTimer::singleShot(0, &dialog, [&] {
            script();
            if (dialog.isVisible())
                dialog.reject();
        });
        return dialog.editUnit(n);
    }
    QLineEdit *field(const char *name) const
    {
        return dialog.findChild<QLineEdit *>(QLatin1StringView(name));
    }
    QPushButton *button(const char *name) const
    {
        return dialog.findChild<QPushButton *>(QLatin1StringView(name));
    }
    QString iniPath() const { return dir.filePath(u"klimavox_kvu.ini"_s); }

    QTemporaryDir dir;
    FakeClock clock;
    kvu::test::FakeView view;
    Program p{clock, dir.path()};
    QWidget owner;
    TFormIP dialog{p, &owner};
};

TEST_F(AddressDialogTest, LooksAndSpeaksAsAnAddressDialog)
{
    run(1, [&] {
        EXPECT_EQ(dialog.windowTitle(), u"Настройки"_s);
        EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
        EXPECT_LE((dialog.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);

        QStringList texts;
        for (const QLabel *l : dialog.findChildren<QLabel *>())
            texts << l->text();
        for (const QString &t : {u"Введите IP адрес и пароль"_s, u"для вентустановки №1 (Приток)"_s, u"IP"_s,
                                 u"Pass"_s, u"IP адрес и пароль указаны на второй странице раздела"_s,
                                 u"\"Настройки\" пульта управления вентустановкой"_s})
            EXPECT_TRUE(texts.contains(t)) << t.toStdString();
        EXPECT_EQ(button("Btn_OK")->text(), u"\u041E\u041A"_s); // Cyrillic О and К
        EXPECT_EQ(button("Btn_Cns")->text(), u"Отмена"_s);

        // Labels lead to their fields; every field has a name of its own.
        QMap<QString, QWidget *> buddies;
        for (const QLabel *l : dialog.findChildren<QLabel *>())
            buddies[l->text()] = l->buddy();
        EXPECT_EQ(buddies.value(u"IP"_s), field("TE_IP1"));
        EXPECT_EQ(buddies.value(u"Pass"_s), field("TE_Pass"));
        EXPECT_EQ(field("TE_IP3")->accessibleName(), u"IP адрес, число 3"_s);
        EXPECT_EQ(field("TE_Pass")->accessibleName(), u"Пароль"_s);

        // Tab walks the fields, then ОК, then Отмена.
        QWidget *w = field("TE_IP1");
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus))
                w = w->nextInFocusChain();
            order << w->objectName();
        }
        EXPECT_EQ(order, QStringList({u"TE_IP2"_s, u"TE_IP3"_s, u"TE_IP4"_s, u"TE_Pass"_s, u"Btn_OK"_s,
                                      u"Btn_Cns"_s}));
    });
}

TEST_F(AddressDialogTest, FieldsTakeDigitsOnly)
{
    run(1, [&] {
        QLineEdit *ip4 = field("TE_IP4");
        ip4->clear();
        QTest::keyClicks(ip4, u"a1b2-3 4"_s);
        EXPECT_EQ(ip4->text(), u"123"_s);

        // The mask of a stored password gives way to the first digit typed into it.
        QLineEdit *pass = field("TE_Pass");
        EXPECT_EQ(pass->text(), u"*****"_s);
        EXPECT_EQ(pass->echoMode(), QLineEdit::Normal);
        pass->setCursorPosition(5);
        QTest::keyClicks(pass, u"x12y34567"_s);
        EXPECT_EQ(pass->text(), u"12345"_s);
        pass->setText(u"*****"_s);
        pass->setCursorPosition(5);
        QTest::keyClick(pass, Qt::Key_Backspace);
        EXPECT_EQ(pass->text(), QString());
    });
}

TEST_F(AddressDialogTest, NewUnitIsOfferedTheNetworkAndOkWaitsForTheFourthField)
{
    const int result = run(3, [&] {
        EXPECT_EQ(field("TE_IP1")->text(), u"192"_s);
        EXPECT_EQ(field("TE_IP3")->text(), u"1"_s);
        EXPECT_FALSE(button("Btn_OK")->isEnabled());
        // Enter does nothing while ОК is disabled.
        QTest::keyClick(field("TE_IP4"), Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        QTest::keyClicks(field("TE_IP4"), u"5"_s);
        EXPECT_TRUE(button("Btn_OK")->isEnabled());
        QTest::keyClick(field("TE_IP4"), Qt::Key_Backspace);
        EXPECT_FALSE(button("Btn_OK")->isEnabled());
        QTest::keyClicks(field("TE_IP4"), u"55"_s);
        QTest::keyClick(field("TE_IP4"), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(p.u.IsCorrectIP[3]);
    EXPECT_EQ(p.u.IPInt[3][4], 55);
    EXPECT_TRUE(QString::fromUtf8(readFile(iniPath())).contains(u"IPInt4_3=55"_s));
}

TEST_F(AddressDialogTest, EscapeStoresNothingAndTheNextOpeningReloads)
{
    const QByteArray before = readFile(iniPath());
    const int result = run(1, [&] {
        field("TE_IP4")->setText(u"99"_s);
        field("TE_Pass")->setText(u"1"_s);
        QTest::keyClick(field("TE_Pass"), Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(readFile(iniPath()), before);
    EXPECT_EQ(p.u.IPInt[1][4], 7);
    EXPECT_EQ(p.u.PassPNL[1], 4660);

    run(1, [&] {
        EXPECT_EQ(field("TE_IP4")->text(), u"7"_s);
        EXPECT_EQ(field("TE_Pass")->text(), u"*****"_s);
        button("Btn_Cns")->click();
    });
}

TEST_F(AddressDialogTest, DuplicateWarnsAndKeepsTheDialogOpen)
{
    BoxCloser boxes;
    const int result = run(3, [&] {
        field("TE_IP1")->setText(u"10"_s);
        field("TE_IP2")->setText(u"0"_s);
        field("TE_IP3")->setText(u"0"_s);
        field("TE_IP4")->setText(u"2"_s);
        QTest::keyClick(field("TE_IP4"), Qt::Key_Return);
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].contains(u"помещения №2"_s));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(p.u.IsCorrectIP[3]);
        // The fourth number is selected: typing replaces it.
        EXPECT_EQ(dialog.focusWidget(), field("TE_IP4"));
        EXPECT_EQ(field("TE_IP4")->selectedText(), u"2"_s);
        QTest::keyClicks(field("TE_IP4"), u"3"_s);
        QTest::keyClick(field("TE_IP4"), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(p.u.IPInt[3][4], 3);
}

TEST_F(AddressDialogTest, NumberAbove255IsRefusedWithTheFieldSelected)
{
    BoxCloser boxes;
    const QByteArray before = readFile(iniPath());
    const int result = run(3, [&] {
        field("TE_IP1")->setText(u"300"_s);
        QTest::keyClicks(field("TE_IP4"), u"1"_s);
        QTest::keyClicks(field("TE_Pass"), u"42"_s);
        button("Btn_OK")->click();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].contains(u"число 1 равно 300"_s)) << boxes.texts[0].toStdString();
        EXPECT_EQ(boxes.titles[0], u"Настройки"_s);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.focusWidget(), field("TE_IP1"));
        EXPECT_EQ(field("TE_IP1")->selectedText(), u"300"_s);
        QTest::keyClick(field("TE_IP1"), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(readFile(iniPath()), before);
    EXPECT_EQ(p.u.PassPNL[3], 0);
}

} // namespace
