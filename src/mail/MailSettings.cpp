#include "mail/MailSettings.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

const std::array<MailPreset, 5> MailPresets = {{
    {u"Яндекс"_s, u"smtp.yandex.ru"_s, 465},
    {u"Mail.ru"_s, u"smtp.mail.ru"_s, 465},
    {u"Rambler"_s, u"smtp.rambler.ru"_s, 465},
    {u"Gmail"_s, u"smtp.gmail.com"_s, 465},
    {u"Другой"_s, QString(), 0},
}};

QString DefaultMailServer()
{
    return MailPresets[kDefaultMailServerIndex].host;
}

// No account is built in: the operator enters the mailbox the program sends from, and until then
// the mail settings check keeps mailing off.
QString DefaultMailPass()
{
    return QString();
}

QString DefaultMailAddress()
{
    return QString();
}

QString TestMailData(const Settings &s)
{
    const auto badAddress = [](const QString &a) {
        return !a.contains(u'.') || !a.contains(u'@');
    };
    if (s.MailServer.isEmpty())
        return u"Не заполнено поле \"Сервер\""_s;
    if (!s.MailServer.contains(u'.'))
        return u"Неверный формат поля \"Сервер\""_s;
    if (s.MailPass.isEmpty())
        return u"Не заполнено поле \"Пароль\""_s;
    if (s.MailSenderAddr.isEmpty())
        return u"Не заполнено поле \"Адрес исходящей почты\""_s;
    if (badAddress(s.MailSenderAddr))
        return u"Неверный формат поля \"Адрес исходящей почты\""_s;
    if (s.MailRecivAddr.isEmpty())
        return u"Не заполнено поле \"Адрес получателя\""_s;
    if (s.MailLogin.isEmpty())
        return u"Не заполнено поле \"Логин\""_s;
    if (badAddress(s.MailRecivAddr))
        return u"Неверный формат поля \"Адрес получателя\""_s;
    if (s.MailPort == 0)
        return u"Не заполнено поле \"Порт\""_s;
    if (s.ProgramName.isEmpty())
        return u"Не заполнено поле \"Имя\" (произвольное имя отправителя)"_s;
    return QString();
}

} // namespace kvu
