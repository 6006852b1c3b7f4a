#include "support/ModalBoxes.h"
#include "ui/main/KvuApplication.h"

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

} // namespace
