#include "support/ModalBoxes.h"
#include "ui/main/KvuApplication.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

TEST(Application, ErrorReportHasTheProgramsOwnTitle)
{
    test::BoxCloser boxes;
    KvuApplication::reportError(u"Ошибка при записи INI файла: нет места"_s);
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles[0], u"Управление вентустановками Klimavox"_s);
    EXPECT_EQ(boxes.texts[0], u"Ошибка при записи INI файла: нет места"_s);
}

TEST(Application, QtsOwnButtonsSpeakRussian)
{
    const auto texts = [] {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                             QDialogButtonBox::No | QDialogButtonBox::Close);
        QStringList out;
        for (auto b : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel, QDialogButtonBox::Yes,
                       QDialogButtonBox::No, QDialogButtonBox::Close})
            out << box.button(b)->text().remove(u'&');
        return out;
    };
    QTranslator *translator = KvuApplication::installQtTranslations();
    ASSERT_NE(translator, nullptr);
    const QStringList russian = texts();
    // The other window tests keep Qt's own texts.
    QCoreApplication::removeTranslator(translator);
    delete translator;

    // Qt's Russian keeps "OK" as it is.
    EXPECT_EQ(russian, QStringList({u"OK"_s, u"Отмена"_s, u"Да"_s, u"Нет"_s, u"Закрыть"_s}));
    EXPECT_EQ(texts()[1], u"Cancel"_s);
}

} // namespace
