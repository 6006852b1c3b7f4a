#include "ui/main/TFormIP.h"

#include "app/MainRows.h"
#include "app/Program.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

const QString kPassMask = u"*****"_s;

// Digits only, at most five, or the mask that stands for a stored password. Typing into the mask
// replaces it: the mask characters are dropped and the keys typed are kept.
class PassValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        if (input == kPassMask)
            return Acceptable;
        if (input.contains(u'*')) {
            pos -= int(input.left(pos).count(u'*'));
            input.remove(u'*');
        }
        if (input.size() > 5)
            return Invalid;
        for (const QChar c : std::as_const(input)) {
            if (c < u'0' || c > u'9')
                return Invalid;
        }
        return Acceptable;
    }
};

} // namespace

TFormIP::TFormIP(Program &program, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), program_(program)
{
    setWindowTitle(u"Настройки"_s);
    QFont f = font();
    f.setFamily(u"Arial"_s);
    setFont(f);

    auto *title = new QLabel(u"Введите IP адрес и пароль"_s, this);
    title->setAlignment(Qt::AlignCenter);
    L_tnum = new QLabel(this);
    L_tnum->setObjectName(u"L_tnum"_s);
    L_tnum->setAlignment(Qt::AlignCenter);

    auto *digits = new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,3}"_s), this);
    auto *ipLabel = new QLabel(u"IP"_s, this);
    auto *fields = new QGridLayout;
    fields->addWidget(ipLabel, 0, 0);
    for (int k = 0; k < 4; ++k) {
        auto *e = new QLineEdit(this);
        e->setObjectName(u"TE_IP%1"_s.arg(k + 1));
        e->setAccessibleName(u"IP адрес, число %1"_s.arg(k + 1));
        e->setValidator(digits);
        e->setMaxLength(3);
        e->setAlignment(Qt::AlignCenter);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(u"0000"_s) + 12);
        connect(e, &QLineEdit::textChanged, this, &TFormIP::TestBtnOK);
        fields->addWidget(e, 0, k + 1);
        TE_IP[std::size_t(k)] = e;
    }
    ipLabel->setBuddy(TE_IP[0]);

    // The password is shown as typed: the operator copies it digit by digit from the panel's
    // settings page and checks it here. A stored password is never shown, only the mask.
    auto *passLabel = new QLabel(u"Pass"_s, this);
    TE_Pass = new QLineEdit(this);
    TE_Pass->setObjectName(u"TE_Pass"_s);
    TE_Pass->setAccessibleName(u"Пароль"_s);
    TE_Pass->setValidator(new PassValidator(TE_Pass));
    // No length limit on the field itself: typing into the full mask must reach the validator,
    // which keeps the password to five digits.
    TE_Pass->setAlignment(Qt::AlignCenter);
    passLabel->setBuddy(TE_Pass);
    fields->addWidget(passLabel, 1, 0);
    fields->addWidget(TE_Pass, 1, 1, 1, 2);

    auto *hint1 = new QLabel(u"IP адрес и пароль указаны на второй странице раздела"_s, this);
    auto *hint2 = new QLabel(u"\"Настройки\" пульта управления вентустановкой"_s, this);
    hint1->setAlignment(Qt::AlignCenter);
    hint2->setAlignment(Qt::AlignCenter);

    Btn_OK = new QPushButton(u"ОК"_s, this);
    Btn_OK->setObjectName(u"Btn_OK"_s);
    Btn_OK->setDefault(true);
    Btn_OK->setEnabled(false);
    Btn_Cns = new QPushButton(u"Отмена"_s, this);
    Btn_Cns->setObjectName(u"Btn_Cns"_s);
    connect(Btn_OK, &QPushButton::clicked, this, &TFormIP::Btn_OKClick);
    connect(Btn_Cns, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cns);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(L_tnum);
    auto *centred = new QHBoxLayout;
    centred->addStretch();
    centred->addLayout(fields);
    centred->addStretch();
    layout->addLayout(centred);
    layout->addWidget(hint1);
    layout->addWidget(hint2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const std::array<QWidget *, 7> order{TE_IP[0], TE_IP[1], TE_IP[2], TE_IP[3], TE_Pass, Btn_OK, Btn_Cns};
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

int TFormIP::editUnit(int n)
{
    n_ = n;
    FormActivate();
    // Centred on the main window at every opening, wherever it was dragged last time.
    setAttribute(Qt::WA_Moved, false);
    return exec();
}

void TFormIP::FormActivate()
{
    const AddressForm form = program_.mainRows().FormIPActivate(n_);
    L_tnum->setText(form.L_tnum);
    for (std::size_t k = 0; k < 4; ++k)
        TE_IP[k]->setText(form.TE_IP[k]);
    TE_Pass->setText(form.TE_Pass);
    TestBtnOK();
    TE_IP[0]->setFocus();
    TE_IP[0]->selectAll();
}

std::array<QString, 4> TFormIP::addressTexts() const
{
    std::array<QString, 4> ip;
    for (std::size_t k = 0; k < 4; ++k)
        ip[k] = TE_IP[k]->text();
    return ip;
}

void TFormIP::TestBtnOK()
{
    Btn_OK->setEnabled(MainRows::TestBtnOK(addressTexts()));
}

void TFormIP::Btn_OKClick()
{
    const AddressOutcome out = program_.mainRows().Btn_OKClick(n_, addressTexts(), TE_Pass->text());
    if (out.close) {
        accept();
        return;
    }
    if (!out.warning.isEmpty())
        QMessageBox::warning(this, windowTitle(), out.warning, QMessageBox::Ok);
    QLineEdit *field = out.field == 4                    ? TE_Pass
                       : out.field >= 0 && out.field < 4 ? TE_IP[std::size_t(out.field)]
                                                         : nullptr;
    if (field) {
        field->setFocus();
        field->selectAll();
    }
}

} // namespace kvu
