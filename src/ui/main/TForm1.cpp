#include "ui/main/TForm1.h"

#include "app/MainRows.h"
#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "core/Constants.h"
#include "core/Error.h"
#include "link/PanelLink.h"
#include "link/PollCycle.h"
#include "mail/MailQueue.h"
#include "ui/art/ImageList.h"
#include "ui/main/KvuApplication.h"
#include "ui/main/RowControl.h"
#include "ui/main/SoundTheme.h"
#include "ui/main/TFormArch.h"
#include "ui/main/TFormIP.h"
#include "ui/main/TFormScen.h"
#include "ui/main/TFormSet.h"
#include "ui/main/TFormSetMain.h"
#include "ui/main/TFormSetVAV.h"
#include "ui/main/TFormSolo.h"
#include "ui/main/TMessageForm.h"
#include "ui/main/TMode.h"
#include "ui/settings/TFormCharts.h"
#include "ui/settings/TFormHelp.h"
#include "ui/settings/TFormHistory.h"
#include "ui/settings/TFormProgParam.h"
#include "ui/settings/TFormTest.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <cstdio>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

using art::List;

// What each picture means, for screen readers (the accessible description of the control).
const char16_t *const kStatMeaning[] = {
    u"",
    u"Включена, нагрев",
    u"Включена, охлаждение",
    u"Включена, автоматический нагрев",
    u"Включена, автоматическое охлаждение",
    u"Включена, вентиляция",
    u"Выключена",
    u"Авария",
    u"Критическая авария",
    u"Ведомая, включена",
    u"Ведомая, выключена",
    u"Включена, нагрев с увлажнением",
    u"Включена, увлажнение",
    u"Подключение",
    u"Нет связи",
};
const char16_t *const kScMeaning[] = {u"Сценарии заблокированы", u"Сценарий по таймеру 1",
                                      u"Сценарий по таймеру 2", u"Сценарий запущен вручную",
                                      u"Сценарий по таймеру"};
const char16_t *const kShowMeaning[] = {u"Показана", u"Скрыта", u"Требуется замена фильтра"};
const char16_t *const kSlMeaning[] = {u"Независимая", u"Ведомая", u"Ведущая"};

template <std::size_t N> QString meaning(const char16_t *const (&table)[N], int index)
{
    return index >= 0 && index < int(N) ? QString::fromUtf16(table[index]) : QString();
}

// The main window is a plain widget; screen readers should know it as the program's window.
QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1StringView("kvu::TForm1") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

QColor rgb(quint32 c)
{
    return QColor(QRgb(0xFF000000u | c));
}

bool ownedBy(const QWidget *window, const QWidget *owner)
{
    for (const QWidget *w = window; w; w = w->parentWidget()) {
        if (w == owner)
            return true;
    }
    return false;
}

// Gives a window another owner. The toolkit hides a window whose parent changes, so an open one
// is shown again where and as it was.
void rehome(QWidget *window, QWidget *owner)
{
    if (window->parentWidget() == owner)
        return;
    const bool visible = window->isVisible();
    const QPoint at = window->pos();
    const Qt::WindowStates state = window->windowState();
    window->setParent(owner, window->windowFlags());
    if (!visible)
        return;
    window->move(at);
    window->setWindowState(state);
    window->show();
}

} // namespace

TForm1::TForm1(Program &program, QWidget *parent) : QWidget(parent), program_(program)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(u"Form1"_s);
    setWindowTitle(caption());
    setWindowIcon(art::programIcon());
    // Fixed border with a system menu and minimise button, no maximise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kMainClientWidth, program_.header.clientHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, rgb(kMainBackground));
    setPalette(pal);
    setAccessibleName(caption());

    buildHeader();
    for (int r = 1; r <= nAHUOnPage; ++r)
        buildRow(r);
    buildMenus();

    trayAnimation_.setInterval(300);
    connect(&trayAnimation_, &QTimer::timeout, this, &TForm1::trayFrame);

    program_.setView(this);
    program_.FormCreate();
    // The help file is installed beside the program; the data folder may hold one of its own.
    formHelp_ = new TFormHelp({program_.ProgramDir, QCoreApplication::applicationDirPath()}, this);
    connect(&program_, &Program::rowChanged, this, [this](int r) { renderRow(r); });
    connect(&program_, &Program::soloChanged, this, [this](int n) {
        if (TFormSolo *w = solo(n))
            w->render();
    });
}

TForm1::~TForm1()
{
    program_.setView(nullptr);
    for (int n = 1; n <= nAHUOnPage; ++n)
        program_.u.FormAS[n] = nullptr;
}

QString TForm1::caption()
{
    return u"Klimavox KVU ver. %1.%2.%3"_s.arg(VerProg / 100)
        .arg(VerProg % 100, 2, 10, QLatin1Char('0'))
        .arg(SubVerProg, 2, 10, QLatin1Char('0'));
}

void TForm1::buildHeader()
{
    Img_serv_ = new RowControl(this);
    Img_serv_->setObjectName(u"Img_serv"_s);
    Img_serv_->setGeometry(959, 19, 45, 34);
    connect(Img_serv_, &QAbstractButton::clicked, this, [this] { program_.mainRows().Img_servClick(); });

    L_nAHU_ = new RowControl(this, false);
    L_nAHU_->setObjectName(u"L_nAHU"_s);
    L_nAHU_->setGeometry(884, 25, 30, 33);
    L_nAHU_->setPixelSize(24);
    L_nAHU_->setBackground(rgb(kCountColour));
    L_nAHU_->setAccessibleName(u"Число вентустановок"_s);

    Img_n_up_ = new RowControl(this);
    Img_n_up_->setObjectName(u"Img_n_up"_s);
    Img_n_up_->setGeometry(915, 10, 44, 27);
    Img_n_up_->setAccessibleName(u"Добавить вентустановку"_s);
    Img_n_up_->setPixmap(art::picture(List::ArrowUp, 0, devicePixelRatioF()));
    connect(Img_n_up_, &QAbstractButton::clicked, this, [this] { program_.mainRows().Img_n_upClick(); });

    Img_n_dn_ = new RowControl(this);
    Img_n_dn_->setObjectName(u"Img_n_dn"_s);
    Img_n_dn_->setGeometry(915, 36, 44, 27);
    Img_n_dn_->setAccessibleName(u"Убрать вентустановку"_s);
    Img_n_dn_->setPixmap(art::picture(List::ArrowDown, 0, devicePixelRatioF()));
    connect(Img_n_dn_, &QAbstractButton::clicked, this, [this] { program_.mainRows().Img_n_dnClick(); });
}

void TForm1::buildRow(int r)
{
    Row &w = rows_[std::size_t(r)];
    const int T = rowTop(r);
    MainRows &rowsLogic = program_.mainRows();
    const auto make = [&](const QString &family, QRect geometry, bool acts) {
        auto *c = new RowControl(this, acts);
        c->setObjectName(family + QString::number(r));
        c->setGeometry(geometry);
        c->hide();
        return c;
    };

    // Creation order is the keyboard order within a row, and later controls lie above earlier ones.
    w.Img_stat = make(u"Img_stat"_s, QRect(8, T, 54, 57), true);
    connect(w.Img_stat, &QAbstractButton::clicked, this, [this, r] { program_.poll().PwrClick(r); });

    w.L_num = make(u"L_num"_s, r == 10 ? QRect(68, T + 11, 37, 33) : QRect(75, T + 11, 30, 33), false);
    w.L_name = make(u"L_name"_s, QRect(123, T + 11, 206, 33), true);
    w.L_name->setAlignment(Qt::AlignLeft);
    w.L_name->setFitText(true);
    connect(w.L_name, &QAbstractButton::clicked, this, [&rowsLogic, r] { rowsLogic.EditName(r); });

    w.L_v = make(u"L_v"_s, QRect(346, T + 11, 35, 33), false);
    w.L_t = make(u"L_t"_s, QRect(398, T + 11, 65, 33), false);
    w.L_h = make(u"L_h"_s, QRect(460, T + 11, 65, 33), false);
    w.L_v->setAccessibleName(u"Скорость вентустановки №%1"_s.arg(r));
    w.L_t->setAccessibleName(u"Температура вентустановки №%1"_s.arg(r));
    w.L_h->setAccessibleName(u"Влажность вентустановки №%1"_s.arg(r));
    w.Img_par = make(u"Img_par"_s, QRect(335, T, 191, 56), true);
    connect(w.Img_par, &QAbstractButton::clicked, this, [this, r] {
        const RowControl *par = rows_[std::size_t(r)].Img_par;
        const int x = par->lastPos().x() >= 0 ? par->lastPos().x() : par->width() / 2;
        program_.mainRows().SetParam(r, par->geometry().left() + x);
    });

    w.Img_sc = make(u"Img_sc"_s, QRect(532, T + 6, 54, 42), true);
    w.Img_ScIco = make(u"Img_ScIco"_s, QRect(584, T + 6, 42, 42), true);
    const RowView defaults = DefaultRowView(r);
    w.L_sc = make(u"L_sc"_s, QRect(defaults.L_scLeft, T + 11, defaults.L_scWidth, 33), r <= 5);
    for (RowControl *c : {w.Img_sc, w.Img_ScIco, w.L_sc}) {
        if (c->acts())
            connect(c, &QAbstractButton::clicked, this, [&rowsLogic, r] { rowsLogic.ScenSet(r); });
    }

    w.L_info = make(u"L_info"_s, QRect(651, T + 11, 263, 33), true);
    w.L_info->setAlignment(Qt::AlignLeft);
    w.L_info->setFitText(true);
    w.L_ip = make(u"L_ip"_s, QRect(651, T + 3, 213, 26), true);
    w.L_pass = make(u"L_pass"_s, QRect(651, T + 29, 182, 26), true);
    for (RowControl *c : {w.L_ip, w.L_pass}) {
        c->setAlignment(Qt::AlignLeft);
        c->setPixelSize(21);
    }
    for (RowControl *c : {w.L_info, w.L_ip, w.L_pass})
        connect(c, &QAbstractButton::clicked, this, [this, r] { program_.mainRows().SetIPAndPAss(r); });
    connect(w.L_info, &RowControl::pressedWith, this,
            [&rowsLogic, r](Qt::MouseButton b) { rowsLogic.ShowMenuSolo(r, b == Qt::RightButton); });
    connect(w.L_info, &RowControl::contextRequested, this,
            [&rowsLogic, r] { rowsLogic.ShowMenuSolo(r, true); });

    w.Img_s = make(u"Img_s"_s, QRect(870, T + 2, 44, 27), true);
    connect(w.Img_s, &QAbstractButton::clicked, this, [&rowsLogic, r] { rowsLogic.SetSlave(r); });
    w.Img_up = make(u"Img_up"_s, QRect(915, T + 2, 44, 27), true);
    w.Img_up->setPixmap(art::picture(List::ArrowUp, 0, devicePixelRatioF()));
    connect(w.Img_up, &QAbstractButton::clicked, this, [&rowsLogic, r] { rowsLogic.MoveAHUUp(r); });
    w.Img_dn = make(u"Img_dn"_s, QRect(915, T + 28, 44, 27), true);
    w.Img_dn->setPixmap(art::picture(List::ArrowDown, 0, devicePixelRatioF()));
    connect(w.Img_dn, &QAbstractButton::clicked, this, [&rowsLogic, r] { rowsLogic.MoveAHUDn(r); });
    w.Img_show = make(u"Img_show"_s, QRect(960, T + 10, 45, 38), true);
    connect(w.Img_show, &QAbstractButton::clicked, this, [&rowsLogic, r] { rowsLogic.ShowHideAHU(r); });

    setRowNames(r);
}

// Accessible names say what a control does; they change with the mode for the status text.
void TForm1::setRowNames(int r)
{
    Row &w = rows_[std::size_t(r)];
    const bool service = program_.u.IsServiceMode;
    const auto n = [r](const QString &text) {
        return text.arg(r);
    };
    w.Img_stat->setAccessibleName(n(u"Включить или выключить вентустановку №%1"_s));
    w.L_num->setAccessibleName(n(u"Номер вентустановки №%1"_s));
    w.L_name->setAccessibleName(service ? n(u"Название вентустановки №%1"_s)
                                        : n(u"Версия вентустановки №%1"_s));
    w.Img_par->setAccessibleName(n(u"Скорость и температура вентустановки №%1"_s));
    w.Img_sc->setAccessibleName(n(u"Сценарии вентустановки №%1"_s));
    w.Img_ScIco->setAccessibleName(n(u"Активный сценарий вентустановки №%1"_s));
    w.L_sc->setAccessibleName(n(u"Номер сценария вентустановки №%1"_s));
    w.L_info->setAccessibleName(n(u"Окно вентустановки №%1"_s));
    w.L_ip->setAccessibleName(n(u"IP адрес вентустановки №%1"_s));
    w.L_pass->setAccessibleName(n(u"Пароль вентустановки №%1"_s));
    w.Img_s->setAccessibleName(n(u"Ведущая или ведомая вентустановка №%1"_s));
    w.Img_up->setAccessibleName(n(u"Переместить вентустановку №%1 вверх"_s));
    w.Img_dn->setAccessibleName(n(u"Переместить вентустановку №%1 вниз"_s));
    w.Img_show->setAccessibleName(service ? n(u"Показать или скрыть вентустановку №%1"_s)
                                          : n(u"Фильтр вентустановки №%1"_s));
}

void TForm1::buildMenus()
{
    MenuServ_ = new QMenu(this);
    MenuServ_->setObjectName(u"MenuServ"_s);
    MenuServ_->setAccessibleName(u"Меню"_s);
    TuneIP_ = MenuServ_->addAction(u"Настройка IP"_s, this, [this] { program_.mainRows().TuneIPClick(); });
    TuneIP_->setObjectName(u"TuneIP"_s);
    MainPar_ = MenuServ_->addAction(u"Параметры"_s, this, [this] { MainParClick(program_); });
    MainPar_->setObjectName(u"MainPar"_s);
    QAction *history = MenuServ_->addAction(u"Журнал событий"_s, this, [this] { showHistoryViewer(); });
    history->setObjectName(u"HistView"_s);
    QAction *charts = MenuServ_->addAction(u"Графики"_s, this, [this] { showCharts(0); });
    charts->setObjectName(u"Charts"_s);
    MenuServ_->addSeparator();
    QAction *exit = MenuServ_->addAction(u"Выход"_s, this, &QWidget::close);
    exit->setObjectName(u"mExit"_s);

    MenuSolo_ = new QMenu(this);
    MenuSolo_->setObjectName(u"MenuSolo"_s);
    SoloArch_ = MenuSolo_->addAction(u"Архивация"_s, this, [this] { program_.mainRows().SoloArchClick(); });
    SoloArch_->setObjectName(u"SoloArch"_s);
}

void TForm1::setMessageForm(TMessageForm *form)
{
    messageForm_ = form;
    program_.flushNotices();
}

bool TForm1::ShowErrorMsg(const QString &text)
{
    if (shutdownStarted_) {
        reportQuietly(text);
        return true;
    }
    if (!messageForm_)
        return false;
    messageForm_->ShowErrorMsg(text);
    return true;
}

QSize TForm1::screenSize() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1920, 1080);
}

void TForm1::moveMainWindow(QPoint p)
{
    move(p);
}

QPoint TForm1::centreMainWindow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return pos();
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    return pos();
}

void TForm1::layoutMainWindow()
{
    setFixedSize(kMainClientWidth, program_.header.clientHeight);
    renderHeader();
    for (int r = 1; r <= nAHUOnPage; ++r) {
        setRowNames(r);
        renderedRows_[std::size_t(r)].reset();
        renderRow(r);
    }
    update();
}

void TForm1::renderHeader()
{
    const HeaderView &h = program_.header;
    const qreal dpr = devicePixelRatioF();
    Img_serv_->setPixmap(art::picture(List::IL_serv, h.Img_serv, dpr));
    Img_serv_->setAccessibleName(h.Img_serv == 1 ? u"Выйти из сервисного режима"_s : u"Меню"_s);
    Img_n_up_->setVisible(h.countButtons);
    Img_n_dn_->setVisible(h.countButtons);
    L_nAHU_->setText(h.L_nAHU);
    L_nAHU_->setVisible(!h.L_nAHU.isEmpty());
    L_nAHU_->setAccessibleDescription(h.L_nAHU);
}

void TForm1::renderRow(int r)
{
    if (r < 1 || r > nAHUOnPage)
        return;
    Row &w = rows_[std::size_t(r)];
    const RowView &v = program_.rows[std::size_t(r)];
    const bool inUse = r <= program_.u.nAHU;
    const bool service = program_.u.IsServiceMode;
    const qreal dpr = devicePixelRatioF();
    RenderedRow now{v, inUse, service, dpr};
    if (renderedRows_[std::size_t(r)] == now)
        return;
    renderedRows_[std::size_t(r)] = std::move(now);

    const auto picture = [&](RowControl *c, List list, int index, const QString &description) {
        c->setPixmap(art::picture(list, index, dpr));
        c->setAccessibleDescription(description);
    };
    const auto label = [](RowControl *c, const QString &text, bool visible) {
        c->setText(text);
        c->setAccessibleDescription(text);
        c->setVisible(visible);
    };
    // Controls that act only in normal mode take no keyboard focus in service mode.
    const auto normalOnly = [service](RowControl *c, bool visible) {
        c->setFocusPolicy(service ? Qt::NoFocus : Qt::StrongFocus);
        c->setVisible(visible);
    };

    picture(w.Img_stat, List::IL_stat, v.Img_stat, meaning(kStatMeaning, v.Img_stat));
    normalOnly(w.Img_stat, inUse);
    normalOnly(w.Img_par, inUse && !service);

    const bool labels = inUse && v.labels;
    w.L_num->setTextColour(rgb(v.numColour));
    label(w.L_num, v.L_num, labels);
    w.L_name->setTextColour(rgb(v.nameColour));
    label(w.L_name, v.L_name, labels);
    label(w.L_v, v.L_v, labels);
    label(w.L_t, v.L_t, labels);
    label(w.L_h, v.L_h, labels);

    picture(w.Img_sc, List::IL_sc, v.Img_sc, meaning(kScMeaning, v.Img_sc));
    // In normal mode every click on the scenario pictures opens the scenarios, also where they
    // show nothing; service mode shows only what they hold.
    normalOnly(w.Img_sc, inUse && (!service || v.Img_sc >= 0));
    picture(w.Img_ScIco, List::IL_ScIco, v.Img_ScIco,
            v.Img_ScIco > 0 ? u"Сценарий, значок %1"_s.arg(v.Img_ScIco) : QString());
    normalOnly(w.Img_ScIco, inUse && (!service || v.Img_ScIco > 0));
    w.L_sc->setGeometry(v.L_scLeft, w.L_sc->y(), v.L_scWidth, w.L_sc->height());
    label(w.L_sc, v.L_sc, labels && !v.L_sc.isEmpty());
    if (w.L_sc->acts())
        w.L_sc->setFocusPolicy(service ? Qt::NoFocus : Qt::StrongFocus);

    w.L_info->setTextColour(rgb(v.infoColour));
    label(w.L_info, v.L_info, labels && v.L_infoVisible);
    w.L_ip->setTextColour(rgb(v.nameColour));
    w.L_pass->setTextColour(rgb(v.nameColour));
    label(w.L_ip, v.L_ip, labels && v.L_ipVisible);
    label(w.L_pass, v.L_pass, labels && v.L_ipVisible);

    picture(w.Img_s, List::IL_sl, v.Img_s, meaning(kSlMeaning, v.Img_s));
    w.Img_s->setVisible(inUse && service && v.Img_s >= 0);
    w.Img_up->setVisible(inUse && service && v.Img_up);
    w.Img_dn->setVisible(inUse && service && v.Img_dn);
    picture(w.Img_show, List::IL_show, v.Img_show, meaning(kShowMeaning, v.Img_show));
    w.Img_show->setFocusPolicy(service ? Qt::StrongFocus : Qt::NoFocus);
    w.Img_show->setVisible(inUse && v.Img_show >= 0);

    // The strip behind the row, drawn again only when it comes or goes: the controls over it
    // repaint their own boxes when they change.
    const bool strip = v.ImgStr && inUse;
    if (strip != stripShown_[std::size_t(r)]) {
        stripShown_[std::size_t(r)] = strip;
        update(QRect(62, rowTop(r), 948, 57));
    }
}

void TForm1::restoreMainWindow()
{
    if (!isVisible())
        show();
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    for (const QPointer<QWidget> &w : std::exchange(hiddenToTray_, {})) {
        if (w)
            w->show();
    }
    raise();
    activateWindow();
}

void TForm1::showMainWindow()
{
    show();
}

void TForm1::hideMainWindow()
{
    // Called while painting: hide once the paint is over.
    QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void TForm1::editUnitAddress(int n)
{
    if (!formIP_)
        formIP_ = new TFormIP(program_, this);
    formIP_->editUnit(n);
}

namespace {

// An editor opened from a unit window stands over that window: it is lent to it as its parent
// (which the editors centre on) for as long as it is open.
class LentDialog
{
public:
    LentDialog(QWidget *dialog, QWidget *anchor) : dialog_(dialog), home_(dialog->parentWidget())
    {
        if (anchor && anchor != home_)
            dialog_->setParent(anchor, dialog_->windowFlags());
    }
    ~LentDialog()
    {
        if (dialog_->parentWidget() != home_)
            dialog_->setParent(home_, dialog_->windowFlags());
    }
    LentDialog(const LentDialog &) = delete;
    LentDialog &operator=(const LentDialog &) = delete;

private:
    QWidget *dialog_;
    QWidget *home_;
};

} // namespace

// Creates the editor on first use (it is kept for the next time) and runs it for unit n over the
// window it was asked from.
template <class Editor> void TForm1::runEditor(Editor *&editor, int n)
{
    if (!editor)
        editor = new Editor(program_, this);
    LentDialog lent(editor, editorAnchor());
    editor->edit(n);
}

QWidget *TForm1::editorAnchor()
{
    if (actingSolo_)
        return actingSolo_;
    // Single-unit mode: the unit window is the program's window.
    if (!isVisible()) {
        if (TFormSolo *w = solo(1); w && w->isVisible())
            return w;
    }
    return this;
}

void TForm1::editSetPoint(int n, int type, bool withNumber)
{
    if (!formSetMain_)
        formSetMain_ = new TFormSetMain(program_, this);
    LentDialog lent(formSetMain_, editorAnchor());
    formSetMain_->edit(n, type == SetPointEditor::Speed ? SetPointEditor::Speed : SetPointEditor::Temperature,
                       withNumber);
}

void TForm1::openOptions()
{
    if (!formProgParam_)
        formProgParam_ = new TFormProgParam(program_, this);
    LentDialog lent(formProgParam_, editorAnchor());
    formProgParam_->run();
    for (const QPointer<QWidget> &w : std::exchange(lentToOptions_, {})) {
        if (w)
            rehome(w, this);
    }
}

void TForm1::lendToOptions(QWidget *window)
{
    if (!formProgParam_ || !formProgParam_->isVisible() || ownedBy(window, formProgParam_))
        return;
    rehome(window, formProgParam_);
    lentToOptions_.emplace_back(window);
}

void TForm1::openArchive(int n)
{
    runEditor(formArch_, n);
}

void TForm1::showHistoryViewer()
{
    if (!formHistory_)
        formHistory_ = new TFormHistory(program_, this);
    formHistory_->showHistory();
}

void TForm1::showCharts(int n)
{
    if (!formCharts_)
        formCharts_ = new TFormCharts(program_, this);
    formCharts_->showCharts(n);
}

void TForm1::trendsRecorded(const std::vector<TrendSample> &rows)
{
    if (formCharts_)
        formCharts_->addSamples(rows);
}

void TForm1::showHelp()
{
    lendToOptions(formHelp_);
    formHelp_->showHelp();
}

void TForm1::editVav(int n)
{
    runEditor(formSetVAV_, n);
}

void TForm1::editMode(int n)
{
    runEditor(formMode_, n);
}

void TForm1::editScenarios(int n)
{
    runEditor(formScen_, n);
}

void TForm1::editPanelClock(int n)
{
    runEditor(formSet_, n);
}

TFormSolo *TForm1::solo(int n) const
{
    return n >= 1 && n <= nAHUOnPage ? solos_[std::size_t(n)].get() : nullptr;
}

bool TForm1::openUnitWindow(int n)
{
    if (n < 1 || n > nAHUOnPage)
        return false;
    auto &w = solos_[std::size_t(n)];
    if (!w) {
        w = std::make_unique<TFormSolo>(program_, n);
        connect(w.get(), &TFormSolo::acting, this, [this](TFormSolo *window) { actingSolo_ = window; });
        program_.u.FormAS[n] = w.get();
    }
    w->open();
    return true;
}

void TForm1::closeUnitWindow(int n)
{
    if (TFormSolo *w = solo(n))
        w->hide();
}

QPoint TForm1::soloWindowPos(int n) const
{
    const TFormSolo *w = solo(n);
    return w && w->isVisible() ? w->pos() : QPoint(-1, -1);
}

void TForm1::closeMainWindow()
{
    // Asked from a unit window's own close or menu: the shutdown runs once that has returned.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TForm1::minimizeMainWindow()
{
    showMinimized();
}

void TForm1::showInformation(const QString &text)
{
    QMessageBox::information(editorAnchor(), windowTitle(), text, QMessageBox::Ok);
}

void TForm1::showWarning(const QString &text)
{
    QMessageBox::warning(editorAnchor(), windowTitle(), text, QMessageBox::Ok);
}

std::optional<QString> TForm1::askText(const QString &title, const QString &prompt, const QString &preset)
{
    QInputDialog dialog(this);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(preset);
    if (auto *edit = dialog.findChild<QLineEdit *>())
        edit->setMaxLength(12);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void TForm1::popupServiceMenu()
{
    MenuServ_->popup(Img_serv_->mapToGlobal(QPoint(0, Img_serv_->height())));
}

void TForm1::popupRowMenu(int n, bool archiveEnabled)
{
    SoloArch_->setEnabled(archiveEnabled);
    const RowControl *info = rows_[std::size_t(std::clamp(n, 1, nAHUOnPage))].L_info;
    MenuSolo_->popup(info->mapToGlobal(info->lastPos()));
}

void TForm1::setWaitCursor(bool wait)
{
    if (wait) {
        if (!QGuiApplication::overrideCursor())
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
}

QPoint TForm1::mainWindowPos() const
{
    return isVisible() && !isMinimized() ? pos() : QPoint(-1, -1);
}

bool TForm1::trayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TForm1::setTrayIcon(TrayIcon icon)
{
    trayShown_ = icon;
    trayAnimation_.stop();
    if (icon == TrayIcon::None) {
        if (tray_)
            tray_->hide();
        return;
    }
    if (!tray_) {
        tray_ = new QSystemTrayIcon(this);
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::Context)
                program_.mainRows().TI_NormClick();
        });
        connect(tray_, &QSystemTrayIcon::messageClicked, this,
                [this] { program_.mainRows().TI_NormClick(); });
    }
    switch (icon) {
    case TrayIcon::Norm:
        tray_->setIcon(art::programIcon());
        tray_->setToolTip(caption());
        break;
    case TrayIcon::Warn:
        tray_->setIcon(art::warningIcon());
        tray_->setToolTip(caption());
        break;
    case TrayIcon::Alert:
        trayFrame_ = 0;
        trayFrame();
        trayAnimation_.start();
        tray_->setToolTip(u"Нажмите, чтобы открыть программу Klimavox KVU"_s);
        break;
    case TrayIcon::None:
        break;
    }
    tray_->show();
    if (icon == TrayIcon::Alert)
        tray_->showMessage(u"Авария Klimavox!"_s,
                           u"Возникла аварийная ситуация при работе вентустановки Klimavox "_s,
                           QSystemTrayIcon::Critical);
}

void TForm1::trayFrame()
{
    if (!tray_)
        return;
    QIcon frame;
    for (const qreal dpr : {1.0, 2.0})
        frame.addPixmap(art::picture(List::IL_Alert, trayFrame_, dpr));
    tray_->setIcon(frame);
    trayFrame_ = (trayFrame_ + 1) % art::count(List::IL_Alert);
}

std::vector<QWidget *> TForm1::toolWindows() const
{
    std::vector<QWidget *> windows;
    for (int n = 1; n <= nAHUOnPage; ++n) {
        if (TFormSolo *w = solo(n))
            windows.push_back(w);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{formHistory_, formCharts_, formTest_, formHelp_}) {
        if (w)
            windows.push_back(w);
    }
    return windows;
}

void TForm1::hideToTray()
{
    // Windows of their own stay on screen when the main window hides; they go along with it.
    hiddenToTray_.clear();
    for (QWidget *w : toolWindows()) {
        if (w->isVisible()) {
            hiddenToTray_.emplace_back(w);
            w->hide();
        }
    }
    hide();
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    inFormShow_ = true;
    program_.FormShow();
    inFormShow_ = false;
}

void TForm1::showDiagnosticWindow()
{
    // Started in diagnostic mode, the window comes up minimised so that it does not cover the units;
    // later showings of the main window leave it as the operator left it. Switched on by the
    // operator, it comes to the front.
    if (!formTest_) {
        formTest_ = new TFormTest(program_, this);
        if (inFormShow_) {
            formTest_->showMinimized();
            return;
        }
    } else if (inFormShow_) {
        if (!formTest_->isVisible())
            formTest_->showMinimized();
        return;
    }
    lendToOptions(formTest_);
    formTest_->showNormal();
    formTest_->raise();
    formTest_->activateWindow();
}

void TForm1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const bool minimized = isMinimized();
    if ((windowState() & Qt::WindowMaximized) && !minimized) {
        // Maximising the fixed window means nothing: it minimises the program instead. A window
        // manager may keep the maximised flag beside the minimised one; only the latter counts.
        QMetaObject::invokeMethod(
            this, [this] { setWindowState(Qt::WindowMinimized); }, Qt::QueuedConnection);
        return;
    }
    if (minimized && !wasMinimized_) {
        wasMinimized_ = true;
        program_.mainRows().ApplicationEvents1Minimize();
    } else if (!minimized && wasMinimized_) {
        wasMinimized_ = false;
        program_.mainRows().ApplicationEvents1Restore();
    }
}

void TForm1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    // A changed label asks for its own box only: draw just what lies under it.
    const QRect dirty = event->rect();
    if (dirty.intersects(QRect(8, 8, 1002, 57)))
        painter.drawPixmap(8, 8, art::header(dpr));
    const QPixmap strip = art::rowStrip(dpr);
    for (int r = 1; r <= nAHUOnPage; ++r) {
        if (program_.rows[std::size_t(r)].ImgStr && r <= program_.u.nAHU &&
            dirty.intersects(QRect(62, rowTop(r), 948, 57)))
            painter.drawPixmap(62, rowTop(r), strip);
    }
    program_.FormPaint();
}

void TForm1::beep(Beep kind)
{
    SoundTheme::play(kind == Beep::Error ? SoundTheme::Error : SoundTheme::Warning);
}

void TForm1::reportError(const QString &text)
{
    if (shutdownStarted_)
        reportQuietly(text);
    else
        KvuApplication::reportError(text);
}

void TForm1::reportQuietly(const QString &text)
{
    KvuApplication::writeShutdownError(text, &program_.log);
}

void TForm1::requestShutdown()
{
    if (!shutdownStarted_) {
        close();
        return;
    }
    if (!shutdownDone_) {
        std::fprintf(stderr, "%s\n",
                     qUtf8Printable(u"Программа уже завершает работу, это займёт не больше %1 с"_s.arg(
                         MailQueue::DefaultTotalTimeoutMs / 1000)));
        std::fflush(stderr);
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // The shutdown may run unattended (a signal, the session's end): from here on no box waits for an
    // answer, and whatever goes wrong, the window closes and the program ends.
    shutdownStarted_ = true;
    KvuApplication::beginShutdown(&program_.log);
    try {
        program_.FormClose();
    } catch (const Error &e) {
        reportQuietly(e.text());
    } catch (const std::exception &e) {
        reportQuietly(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportQuietly(u"Неизвестная ошибка"_s);
    }
    shutdownDone_ = true;
    if (tray_)
        tray_->hide();
    event->accept();
    Q_EMIT closed();
}

} // namespace kvu
