#include "link/LossTypes.h"

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

const LossType *FindLossType(int TypeLost)
{
    static const std::array<LossType, 7> table = {{
        {0, u"Подключение ..."_s, u"Подключение ..."_s, 0, 0, 0},
        {2, u"Нет св. с вент."_s, u"Нет связи с вент."_s, 14, 6, -2},
        {3, u"Неверн. пароль!"_s, u"Неверный пароль!"_s, 14, 6, -3},
        {4, u"Уст. вер. пульта!"_s, u"Устар. верс. пульта!"_s, 14, 6, -4},
        {5, u"Уст. вер. прогр.!"_s, u"Устар. верс. прогр.!"_s, 14, 6, -5},
        {6, u"Не удалось подкл."_s, u"Не удалось подкл."_s, 13, 5, -6},
        {7, u"Подключение ..."_s, u"Подключение ..."_s, 0, 0, -7},
    }};
    for (const LossType &t : table) {
        if (t.TypeLost == TypeLost)
            return &t;
    }
    return nullptr;
}

} // namespace kvu
