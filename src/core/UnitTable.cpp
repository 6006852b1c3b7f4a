#include "core/UnitTable.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

const std::array<QString, 5> StateName = {u"Откл"_s, u"Вкл"_s, u"Откл..."_s, u"Вкл..."_s, u"-"_s};
const std::array<QString, 8> sdow = {QString(), u"Пн"_s, u"Вт"_s, u"Ср"_s,
                                     u"Чт"_s,   u"Пт"_s, u"Сб"_s, u"Вс"_s};
const std::array<QString, 10> ScenName = {QString(), u"Д1"_s, u"Д2"_s, u"Нч"_s, u"Гс"_s,
                                          u"С1"_s,   u"С2"_s, u"С3"_s, u"С4"_s, u"С5"_s};
const std::array<QString, 6> sMode = {u"Обг"_s, u"Охл"_s, u"АОб"_s, u"АОх"_s, u"Отк"_s, u"-"_s};
const std::array<QString, 5> WhoRunScenName = {u"х"_s, u"Тм1"_s, u"Тм2"_s, u"Рч"_s, u"О"_s};

} // namespace kvu
