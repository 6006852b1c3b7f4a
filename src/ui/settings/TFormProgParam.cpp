#include "ui/settings/TFormProgParam.h"

#include "ui/settings/SettingsLook.h"

#include "app/Program.h"
#include "mail/MailSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

// The options window's own rules on top of the shared look: check boxes, headings, the notices and the
// disabled notice boxes in the grey of the panel's inactive text.
const QString kStyle = settingsStyleSheet() + uR"(
QCheckBox { color: white; background: transparent; font-family: Arial; }
QLabel#heading { font-weight: bold; font-size: 17px; }
QLabel#L_HistMsg { color: #FFE45C; font-weight: bold; }
QLabel#Label24 { color: #8BC0DA; font-weight: bold; }
QLabel#L_version { color: #8BC0DA; font-weight: bold; }
QCheckBox { spacing: 8px; padding: 2px 6px 2px 4px; border-radius: 5px; }
QCheckBox:disabled { color: #8395A6; }
QCheckBox::indicator { width: 18px; height: 18px; }
QCheckBox::indicator:unchecked { image: url(:/art/opt/cb_off.svg); }
QCheckBox::indicator:checked { image: url(:/art/opt/cb_on.svg); }
QCheckBox::indicator:unchecked:disabled { image: url(:/art/opt/cb_off_dis.svg); }
QCheckBox::indicator:checked:disabled { image: url(:/art/opt/cb_on_dis.svg); }
QCheckBox:focus { background: #7A90A3; }
QLineEdit:disabled { color: #8395A6; border-color: #6F8293; }
QLabel:disabled { color: #8395A6; }
)"_s;

// A transparent area that counts mouse clicks and never takes the focus.
class ClickArea : public QWidget
{
public:
    ClickArea(QWidget *parent, std::function<void()> onClick) : QWidget(parent), onClick_(std::move(onClick))
    {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            onClick_();
    }
    // The second press of a quick double click is a click as well.
    void mouseDoubleClickEvent(QMouseEvent *event) override { mousePressEvent(event); }

private:
    std::function<void()> onClick_;
};

QFrame *tile(QWidget *parent, const QString &accessible)
{
    auto *f = new QFrame(parent);
    f->setObjectName(u"tile"_s);
    f->setAccessibleName(accessible);
    return f;
}

QLabel *heading(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(u"heading"_s);
    l->setMinimumHeight(26);
    return l;
}

} // namespace

TFormProgParam::TFormProgParam(Program &program, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      program_(program), options_(program)
{
    setUpSettingsWindow(this, u"FormProgParam"_s, u"Параметры программы"_s, kStyle);
    build();
    connect(this, &QDialog::finished, this, [this] { options_.FormHide(); });
}

void TFormProgParam::build()
{
    const auto check = [this](const char *name, const QString &text) {
        auto *c = new QCheckBox(text, this);
        c->setObjectName(QString::fromLatin1(name));
        c->setAccessibleName(text.trimmed());
        return c;
    };
    const auto edit = [this](const char *name, const QString &accessible) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setAccessibleName(accessible);
        return e;
    };
    const auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };

    // General options.
    QFrame *general = tile(this, u"Общие настройки"_s);
    generalHeading_ = heading(u"Общие настройки"_s, general);
    CB_Autorun = check("CB_Autorun", ProgramOptions::AutorunCaption());
    CB_Tray = check("CB_Tray", u"Сворачивать программу в трей"_s);
    CB_Sync = check("CB_Sync", u"Синхронизировать время всех вентустановок по часам компьютера"_s);
    CB_Sound = check("CB_Sound", u"Звуковой сигнал при появлении ошибки в работе вентустановки"_s);
    CB_SaveGraph = check("CB_SaveGraph", u"Записывать графики"_s);
    const auto numberField = [&](const char *name, const QString &accessible) {
        QLineEdit *e = edit(name, accessible);
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,4}"_s), e));
        e->setMaxLength(4);
        e->setFixedWidth(64);
        e->setAlignment(Qt::AlignCenter);
        return e;
    };
    Ed_IntervalGraph = numberField("Ed_IntervalGraph", u"Интервал записи графиков, минут"_s);
    Ed_DaysGraph = numberField("Ed_DaysGraph", u"Хранить графики, дней"_s);
    graphRow_ = new QWidget(this);
    {
        auto *row = new QHBoxLayout(graphRow_);
        row->setContentsMargins(26, 0, 0, 0);
        row->addWidget(label(u"Интервал записи, минут"_s, Ed_IntervalGraph));
        row->addWidget(Ed_IntervalGraph);
        row->addSpacing(18);
        row->addWidget(label(u"Хранить, дней"_s, Ed_DaysGraph));
        row->addWidget(Ed_DaysGraph);
        row->addStretch();
    }
    // The two numbers matter only while recording is on.
    connect(CB_SaveGraph, &QCheckBox::toggled, graphRow_, &QWidget::setEnabled);
    auto *versionHeading = new QLabel(u"Версия программы"_s, this);
    L_version = new QLabel(ProgramOptions::VersionText(), this);
    L_version->setObjectName(u"L_version"_s);
    L_version->setAccessibleName(u"Версия программы"_s);
    L_HistMsg = new QLabel(u"Сохранение истории невозможно, диск заполнен!"_s, this);
    L_HistMsg->setObjectName(u"L_HistMsg"_s);
    Label24 = new QLabel(u"Test Mode"_s, this);
    Label24->setObjectName(u"Label24"_s);
    {
        auto *g = new QVBoxLayout(general);
        g->setContentsMargins(16, 10, 16, 14);
        g->setSpacing(8);
        g->addWidget(generalHeading_, 0, Qt::AlignHCenter);
        for (QWidget *w : std::initializer_list<QWidget *>{CB_Autorun, CB_Tray, CB_Sync, CB_Sound,
                                                           CB_SaveGraph, graphRow_})
            g->addWidget(w);
        g->addSpacing(4);
        auto *versionColumn = new QVBoxLayout;
        versionColumn->setSpacing(2);
        versionColumn->addWidget(versionHeading);
        versionColumn->addWidget(L_version);
        auto *version = new QHBoxLayout;
        version->addLayout(versionColumn);
        version->addStretch();
        version->addWidget(Label24, 0, Qt::AlignBottom);
        g->addLayout(version);
        g->addWidget(L_HistMsg);
    }
    TestArea = new ClickArea(generalHeading_, [this] {
        options_.TestAreaClick();
        Label24->setVisible(options_.form.Label24);
    });
    TestArea->setObjectName(u"TestArea"_s);
    TestArea->setFixedSize(37, 24);
    generalHeading_->installEventFilter(this);

    // Mail notices.
    QFrame *notices = tile(this, u"Уведомления"_s);
    CB_EMail = check("CB_EMail", u"Отправлять уведомления по e-mail в случае:"_s);
    CB_StartStop = check("CB_StartStop", u"запуска / остановки программы"_s);
    CB_Reboot = check("CB_Reboot", u"аварийной перезагрузке программы"_s);
    CB_Conn = check("CB_Conn", u"потери связи"_s);
    CB_ErrAHU = check("CB_ErrAHU", u"ошибки в работе вентустановки"_s);
    Ed_Time = edit("Ed_Time", u"Минимальный интервал отправки писем, минут"_s);
    Ed_Time->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,3}"_s), Ed_Time));
    Ed_Time->setMaxLength(3);
    Ed_Time->setFixedWidth(64);
    Ed_Time->setAlignment(Qt::AlignCenter);
    Ed_Inbox = edit("Ed_Inbox", u"Адрес получателя"_s);
    {
        auto *g = new QVBoxLayout(notices);
        g->setContentsMargins(16, 10, 16, 14);
        g->setSpacing(8);
        g->addWidget(heading(u"Уведомления"_s, notices), 0, Qt::AlignHCenter);
        g->addWidget(CB_EMail);
        for (QWidget *w : {CB_StartStop, CB_Reboot, CB_Conn, CB_ErrAHU}) {
            auto *indented = new QHBoxLayout;
            indented->addSpacing(26);
            indented->addWidget(w);
            g->addLayout(indented);
        }
        g->addSpacing(4);
        auto *time = new QHBoxLayout;
        time->addWidget(label(u"Мин. интервал отпр. писем, минут "_s, Ed_Time));
        time->addWidget(Ed_Time);
        time->addStretch();
        g->addLayout(time);
        g->addWidget(label(u"Адрес получателя"_s, Ed_Inbox));
        g->addWidget(Ed_Inbox);
    }

    // Outgoing mail.
    QFrame *mail = tile(this, u"Исходящая почта"_s);
    CB_ListServer = new QComboBox(this);
    CB_ListServer->setObjectName(u"CB_ListServer"_s);
    CB_ListServer->setAccessibleName(u"Бесплатные сервера"_s);
    for (const MailPreset &preset : MailPresets)
        CB_ListServer->addItem(preset.name);
    Ed_Server = edit("Ed_Server", u"Адрес сервера"_s);
    Ed_Port = edit("Ed_Port", u"Порт"_s);
    Ed_Port->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,5}"_s), Ed_Port));
    Ed_Port->setMaxLength(5);
    Ed_Port->setFixedWidth(80);
    Ed_Outbox = edit("Ed_Outbox", u"Адрес исходящей почты"_s);
    Ed_Login = edit("Ed_Login", u"Логин"_s);
    Ed_Pass = edit("Ed_Pass", u"Пароль"_s);
    Ed_Pass->setEchoMode(QLineEdit::Password);
    Ed_Pass->installEventFilter(this);
    Ed_Name = edit("Ed_Name", u"Имя (произвольное)"_s);
    Bt_Send = new QPushButton(u"Отправить тестовое письмо"_s, this);
    Bt_Send->setObjectName(u"Bt_Send"_s);
    Bt_Send->setAccessibleName(Bt_Send->text());
    {
        auto *g = new QGridLayout(mail);
        g->setContentsMargins(16, 10, 16, 14);
        g->setHorizontalSpacing(12);
        g->setVerticalSpacing(8);
        g->addWidget(heading(u"Исходящая почта"_s, mail), 0, 0, 1, 2, Qt::AlignHCenter);
        const std::pair<QString, QWidget *> rows[] = {
            {u"Бесплатные сервера"_s, CB_ListServer}, {u"Адрес сервера"_s, Ed_Server}, {u"Порт"_s, Ed_Port},
            {u"Адрес исх. почты"_s, Ed_Outbox},       {u"Логин"_s, Ed_Login},          {u"Пароль"_s, Ed_Pass},
            {u"Имя (произвольное)"_s, Ed_Name},
        };
        int r = 1;
        for (const auto &[text, field] : rows) {
            g->addWidget(label(text, field), r, 0);
            g->addWidget(field, r, 1, field == Ed_Port ? Qt::AlignLeft : Qt::Alignment());
            ++r;
        }
        g->setRowStretch(r, 1);
        g->addWidget(Bt_Send, r + 1, 0, 1, 2);
        g->setColumnMinimumWidth(1, 250);
    }

    Bt_Help = new QPushButton(u"Справка"_s, this);
    Bt_Help->setObjectName(u"Bt_Help"_s);
    Bt_OK = new QPushButton(u"Сохранить и закрыть"_s, this);
    Bt_OK->setObjectName(u"Bt_OK"_s);
    Bt_OK->setDefault(true);
    Bt_Cancel = new QPushButton(u"Отмена"_s, this);
    Bt_Cancel->setObjectName(u"Bt_Cancel"_s);
    for (QPushButton *b : {Bt_Help, Bt_OK, Bt_Cancel})
        b->setAccessibleName(b->text());

    auto *columns = new QHBoxLayout;
    columns->setSpacing(10);
    auto *left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(general);
    left->addWidget(notices);
    columns->addLayout(left);
    columns->addWidget(mail);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Bt_Help);
    buttons->addStretch();
    buttons->addWidget(Bt_OK);
    buttons->addWidget(Bt_Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(10);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const QWidget *order[] = {CB_Autorun,       CB_Tray,      CB_Sync,   CB_Sound,     CB_SaveGraph,
                              Ed_IntervalGraph, Ed_DaysGraph, CB_EMail,  CB_StartStop, CB_Reboot,
                              CB_Conn,          CB_ErrAHU,    Ed_Time,   Ed_Inbox,     CB_ListServer,
                              Ed_Server,        Ed_Port,      Ed_Outbox, Ed_Login,     Ed_Pass,
                              Ed_Name,          Bt_Send,      Bt_Help,   Bt_OK,        Bt_Cancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(const_cast<QWidget *>(order[i - 1]), const_cast<QWidget *>(order[i]));

    // Toggled rather than clicked: a screen reader's toggle action changes the box without a click.
    connect(CB_EMail, &QCheckBox::toggled, this, [this] {
        takeForm();
        options_.SetCBMail();
        showForm();
    });
    connect(CB_ListServer, &QComboBox::activated, this, [this](int index) {
        takeForm();
        options_.ListServerChange(index);
        showForm();
    });
    connect(Bt_Send, &QPushButton::clicked, this, [this] {
        takeForm();
        const OptionsOutcome out = options_.Bt_SendClick();
        if (!out.warning.isEmpty())
            warn(out.warning);
    });
    connect(Bt_OK, &QPushButton::clicked, this, [this] {
        takeForm();
        const OptionsOutcome out = options_.Bt_OKClick();
        if (!out.warning.isEmpty())
            warn(out.warning);
        if (out.close)
            accept();
    });
    connect(Bt_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Bt_Help, &QPushButton::clicked, this, [this] {
        if (ProgramView *v = program_.view())
            v->showHelp();
    });
}

int TFormProgParam::run()
{
    // Centred on its parent at every opening.
    setAttribute(Qt::WA_Moved, false);
    return exec();
}

void TFormProgParam::showEvent(QShowEvent *event)
{
    // A window brought back from minimised keeps what the operator typed.
    if (!event->spontaneous()) {
        options_.FormShow();
        showForm();
        CB_Autorun->setFocus();
    }
    QDialog::showEvent(event);
    placeTestArea();
}

void TFormProgParam::showForm()
{
    const OptionsForm &f = options_.form;
    const std::pair<QCheckBox *, bool> checks[] = {
        {CB_Autorun, f.CB_Autorun},     {CB_Tray, f.CB_Tray},   {CB_Sync, f.CB_Sync},
        {CB_Sound, f.CB_Sound},         {CB_EMail, f.CB_EMail}, {CB_StartStop, f.CB_StartStop},
        {CB_Reboot, f.CB_Reboot},       {CB_Conn, f.CB_Conn},   {CB_ErrAHU, f.CB_ErrAHU},
        {CB_SaveGraph, f.CB_SaveGraph},
    };
    {
        // Filling the controls is not the operator's change of the mail box.
        const QSignalBlocker quiet(CB_EMail);
        for (const auto &[box, on] : checks)
            box->setChecked(on);
    }
    graphRow_->setEnabled(f.CB_SaveGraph);
    const std::pair<QLineEdit *, const QString &> edits[] = {
        {Ed_Time, f.Ed_Time},           {Ed_Inbox, f.Ed_Inbox},   {Ed_Server, f.Ed_Server},
        {Ed_Port, f.Ed_Port},           {Ed_Outbox, f.Ed_Outbox}, {Ed_Login, f.Ed_Login},
        {Ed_Pass, f.Ed_Pass},           {Ed_Name, f.Ed_Name},     {Ed_IntervalGraph, f.Ed_IntervalGraph},
        {Ed_DaysGraph, f.Ed_DaysGraph},
    };
    for (const auto &[field, text] : edits) {
        if (field->text() != text)
            field->setText(text);
    }
    CB_ListServer->setCurrentIndex(f.CB_ListServer);
    for (QCheckBox *box : {CB_StartStop, CB_Reboot, CB_Conn, CB_ErrAHU})
        box->setEnabled(f.noticesEnabled);
    L_HistMsg->setVisible(f.L_HistMsg);
    Label24->setVisible(f.Label24);
}

void TFormProgParam::takeForm()
{
    OptionsForm &f = options_.form;
    f.CB_Autorun = CB_Autorun->isChecked();
    f.CB_Tray = CB_Tray->isChecked();
    f.CB_Sync = CB_Sync->isChecked();
    f.CB_Sound = CB_Sound->isChecked();
    f.CB_EMail = CB_EMail->isChecked();
    f.CB_StartStop = CB_StartStop->isChecked();
    f.CB_Reboot = CB_Reboot->isChecked();
    f.CB_Conn = CB_Conn->isChecked();
    f.CB_ErrAHU = CB_ErrAHU->isChecked();
    f.CB_SaveGraph = CB_SaveGraph->isChecked();
    f.Ed_IntervalGraph = Ed_IntervalGraph->text();
    f.Ed_DaysGraph = Ed_DaysGraph->text();
    f.Ed_Time = Ed_Time->text();
    f.Ed_Inbox = Ed_Inbox->text();
    f.CB_ListServer = CB_ListServer->currentIndex();
    f.Ed_Server = Ed_Server->text();
    f.Ed_Port = Ed_Port->text();
    f.Ed_Outbox = Ed_Outbox->text();
    f.Ed_Login = Ed_Login->text();
    f.Ed_Pass = Ed_Pass->text();
    f.Ed_Name = Ed_Name->text();
}

void TFormProgParam::warn(const QString &text)
{
    QMessageBox::warning(this, windowTitle(), text, QMessageBox::Ok);
}

void TFormProgParam::placeTestArea()
{
    TestArea->move((generalHeading_->width() - TestArea->width()) / 2,
                   (generalHeading_->height() - TestArea->height()) / 2);
    TestArea->raise();
}

bool TFormProgParam::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == generalHeading_ && event->type() == QEvent::Resize)
        placeTestArea();
    // The stored password's mask is replaced as a whole by whatever is typed.
    if (watched == Ed_Pass && event->type() == QEvent::FocusIn && Ed_Pass->text() == ProgramOptions::PassMask)
        QTimer::singleShot(0, Ed_Pass, [this] {
            if (Ed_Pass->text() == ProgramOptions::PassMask)
                Ed_Pass->selectAll();
        });
    return QDialog::eventFilter(watched, event);
}

} // namespace kvu
