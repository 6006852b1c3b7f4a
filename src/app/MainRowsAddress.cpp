#include "app/MainRows.h"

#include "app/Program.h"
#include "core/ZSub.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

const QString Options = u"Options"_s;

bool isUnit(int n)
{
    return n >= 1 && n <= MaxnAHU;
}

// Why the text of address field k (1..4) cannot be part of a panel's address, or empty when it can.
QString AddressFieldProblem(int k, const QString &text, int &value)
{
    if (text.trimmed().isEmpty())
        return u"Неверный IP адрес: не заполнено число %1 из четырёх."_s.arg(k);
    bool ok = false;
    value = text.toInt(&ok, 10);
    if (!ok)
        return u"Неверный IP адрес: число %1 («%2») не является числом. Каждое число адреса должно быть "
               u"от 0 до 255."_s.arg(k)
                   .arg(text);
    if (value < 0 || value > 255)
        return u"Неверный IP адрес: число %1 равно %2. Каждое число адреса должно быть от 0 до 255."_s.arg(k)
            .arg(text.trimmed());
    return {};
}

} // namespace

AddressForm MainRows::FormIPActivate(int n) const
{
    AddressForm form;
    if (!isUnit(n))
        return form;
    const UnitTable &u = p_.u;
    form.L_tnum = u"для вентустановки №"_s + QString::number(n);
    if (!u.NameAHU[n].isEmpty() && u.NameAHU[n] != u"-"_s)
        form.L_tnum += u" ("_s + u.NameAHU[n] + u')';
    if (u.PassPNL[n] != 0)
        form.TE_Pass = u"*****"_s;
    // A unit without an address is offered the workstation's own network.
    for (int k = 1; k <= 3; ++k) {
        const int v = u.IPInt[n][k] >= 0 ? u.IPInt[n][k] : p_.MyIPData[std::size_t(k)];
        form.TE_IP[std::size_t(k - 1)] = QString::number(v);
    }
    if (u.IPInt[n][4] >= 0)
        form.TE_IP[3] = QString::number(u.IPInt[n][4]);
    return form;
}

bool MainRows::TestBtnOK(const std::array<QString, 4> &ip)
{
    return std::none_of(ip.begin(), ip.end(), [](const QString &t) { return t.isEmpty(); });
}

AddressOutcome MainRows::Btn_OKClick(int n, const std::array<QString, 4> &ip, const QString &pass)
{
    AddressOutcome out;
    if (!isUnit(n))
        return out;
    UnitTable &u = p_.u;

    // An address no panel can have is refused before anything is stored.
    std::array<int, 5> IPNew{};
    for (int k = 1; k <= 4; ++k) {
        const QString problem = AddressFieldProblem(k, ip[std::size_t(k - 1)], IPNew[std::size_t(k)]);
        if (!problem.isEmpty()) {
            out.warning = problem;
            out.field = k - 1;
            return out;
        }
    }

    // The mask "*****" and an empty field keep the stored password.
    bool passIsNumber = false;
    const int newPass = pass.toInt(&passIsNumber, 10);
    if (passIsNumber && newPass >= 0) {
        u.PassPNL[n] = newPass;
        if (IniFile *ini = p_.iniFile()) {
            p_.tryWrite([&] {
                ini->WriteString(Options, u"PassPNL"_s + QString::number(n),
                                 CodePass(QString::number(newPass)));
            });
        }
    }

    for (int j = 1; j <= u.nAHU && j <= MaxnAHU; ++j) {
        if (j == n || !u.IsCorrectIP[j])
            continue;
        if (std::equal(IPNew.begin() + 1, IPNew.end(), u.IPInt[j].begin() + 1)) {
            out.warning =
                u"Введенный IP адрес совпадает с адресом для помещения №%1. Все IP адреса должны быть "
                u"разными!"_s.arg(j);
            out.field = 3;
            return out;
        }
    }

    for (int k = 1; k <= 4; ++k)
        u.IPInt[n][k] = IPNew[std::size_t(k)];
    if (IniFile *ini = p_.iniFile()) {
        p_.tryWrite([&] {
            for (int k = 1; k <= 4; ++k)
                ini->WriteInteger(Options, u"IPInt%1_%2"_s.arg(k).arg(n), IPNew[std::size_t(k)]);
        });
    }
    u.IsCorrectIP[n] = true;
    out.close = true;
    return out;
}

} // namespace kvu
