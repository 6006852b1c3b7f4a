#include "ui/main/TFormSolo.h"

#include "app/MainRows.h"
#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "app/SoloForms.h"
#include "ui/art/ImageList.h"
#include "ui/main/RowControl.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

using art::List;

const QColor kClockText(0x5E, 0x72, 0x84);
const QColor kClockBox(0xF8, 0xFB, 0xFE);

// Type sizes given in points, drawn at the screen's 96 dots per inch.
int pointsToPixels(int pt)
{
    return (pt * 4 + 1) / 3;
}

// Default place of the scenario text (over an empty pictogram), and its width when a short name
// is shown from its own left edge.
const QRect kScenText(264, 186, 110, 76);

} // namespace

TFormSolo::TFormSolo(Program &program, int unit)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      program_(program), unit_(unit)
{
    setObjectName(u"FormSolo%1"_s.arg(unit));
    setFixedSize(472, 360);
    setWindowIcon(art::programIcon());

    // Click areas first: the pictures and texts drawn over them let clicks through.
    add("Image1", QRect(14, 89, 181, 88), u"Температура: задать"_s, true);
    add("Image2", QRect(197, 89, 181, 88), u"Вентилятор: задать скорость"_s, true);
    add("ScenArea", QRect(197, 179, 181, 88), u"Сценарии"_s, true);
    add("MsgArea", QRect(14, 269, 364, 77), u"Сообщение пульта"_s, true);

    add("Img_hc", QRect(20, 22, 48, 48), u"Режим работы"_s, true);
    const char *status[] = {"Img_hum", "Img_net", "Img_rs", "Img_cmf", "Img_vav"};
    const QString statusNames[] = {u"Увлажнение"_s, u"Связь"_s, u"Перезапуск"_s, u"Комфорт"_s, u"VAV"_s};
    for (int k = 0; k < 5; ++k)
        add(status[k], QRect(80 + 30 * k, 34, 24, 24), statusNames[k], false);
    add("Image5", QRect(254, 18, 120, 62), u"Часы пульта: установить"_s, true);
    RowControl *time = add("LTime", QRect(254, 20, 120, 32), u"Время пульта"_s, false);
    RowControl *date = add("LDate", QRect(254, 48, 120, 30), u"Дата пульта"_s, false);
    for (RowControl *c : {time, date}) {
        c->setTextColour(kClockText);
        c->setPixelSize(21);
        c->setBold(true);
    }

    add("Img_Tempr", QRect(22, 109, 48, 48), u"Регулирование температуры"_s, false);
    add("LTempr", QRect(74, 96, 118, 74), u"Температура"_s, false);
    add("Img_vent", QRect(206, 109, 48, 48), u"Вентилятор"_s, false);
    add("LSpeed", QRect(258, 96, 70, 74), u"Скорость"_s, false);
    add("Img_ar", QRect(336, 121, 24, 24), u"Скорость снижена"_s, false);
    add("Img_HF", QRect(22, 199, 48, 48), u"Влажность и фильтр"_s, false);
    add("LHumid", QRect(74, 186, 118, 74), u"Влажность"_s, false);
    add("Img_scn", QRect(204, 202, 54, 42), u"Источник сценария"_s, false);
    add("Img_ScIco", QRect(266, 202, 42, 42), u"Активный сценарий"_s, false);
    RowControl *scen = add("LScen", kScenText, u"Сценарий"_s, false);
    scen->setAlignment(Qt::AlignLeft);
    add("Img_Msg", QRect(22, 292, 32, 32), u"Значок сообщения"_s, false);
    RowControl *msg = add("LMsgMain", QRect(62, 272, 312, 72), u"Строка сообщения"_s, false);
    msg->setAlignment(Qt::AlignLeft);
    msg->setFitText(true);

    for (const char *lamp : {"Ind", "IndBtn"}) {
        RowControl *c = add(lamp, lamp[3] ? QRect(419, 212, 16, 16) : QRect(419, 36, 16, 16),
                            lamp[3] ? u"Индикатор кнопки"_s : u"Индикатор"_s, true);
        // The lamps switch like the button under the mouse; the keyboard uses the button.
        c->setFocusPolicy(Qt::NoFocus);
    }
    add("PwrBtn", QRect(395, 118, 64, 64), u"Включить или выключить"_s, true);
    RowControl *menuKey = add("Image7", QRect(404, 298, 45, 34), u"Меню окна"_s, true);
    menuKey->setPixmap(art::picture(List::IL_serv, 0, devicePixelRatioF()));

    SoloForms &logic = program_.soloForms();
    connect(element("Image1"), &QAbstractButton::clicked, this,
            [this, &logic] { act([&] { logic.Image1Click(unit_); }); });
    connect(element("Image2"), &QAbstractButton::clicked, this,
            [this, &logic] { act([&] { logic.SetVentPar(unit_); }); });
    connect(element("Img_hc"), &QAbstractButton::clicked, this,
            [this, &logic] { act([&] { logic.Img_hcClick(unit_); }); });
    connect(element("Image5"), &QAbstractButton::clicked, this,
            [this, &logic] { act([&] { logic.Image5Click(unit_); }); });
    connect(element("ScenArea"), &QAbstractButton::clicked, this,
            [this, &logic] { act([&] { logic.Img_ScIcoClick(unit_); }); });
    connect(element("MsgArea"), &QAbstractButton::clicked, this,
            [this, &logic] { act([&] { logic.Img_MsgClick(unit_); }); });
    connect(menuKey, &QAbstractButton::clicked, this, &TFormSolo::showMenu);

    // The power button and its lamps: press and release, with any mouse button or with the keyboard.
    for (const char *name : {"PwrBtn", "Ind", "IndBtn"}) {
        RowControl *c = element(name);
        connect(c, &QAbstractButton::pressed, this,
                [this, &logic] { act([&] { logic.PwrMouseDown(unit_); }); });
        connect(c, &QAbstractButton::released, this, [this, &logic] { logic.PwrMouseUp(unit_); });
        connect(c, &RowControl::pressedWith, this, [this, &logic](Qt::MouseButton b) {
            if (b != Qt::LeftButton)
                act([&] { logic.PwrMouseDown(unit_); });
        });
        c->installEventFilter(this);
    }
    for (RowControl *c : findChildren<RowControl *>())
        connect(c, &RowControl::contextRequested, this, &TFormSolo::showMenu);

    // Tab walks the areas in reading order: top row, middle, right column, bottom.
    const char *order[] = {"Img_hc", "Image5", "Image1", "Image2", "PwrBtn", "ScenArea", "MsgArea", "Image7"};
    for (std::size_t k = 1; k < std::size(order); ++k)
        setTabOrder(element(order[k - 1]), element(order[k]));
    buildMenu();
    render();
}

void TFormSolo::act(const std::function<void()> &handler)
{
    Q_EMIT acting(this);
    handler();
    Q_EMIT acting(nullptr);
}

RowControl *TFormSolo::add(const char *name, QRect geometry, const QString &accessible, bool acts)
{
    auto *c = new RowControl(this, acts);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(geometry);
    c->setAccessibleName(accessible);
    c->setPixelSize(37);
    elements_.emplace(name, c);
    return c;
}

RowControl *TFormSolo::element(const char *name) const
{
    const auto it = elements_.find(name);
    return it != elements_.end() ? it->second : nullptr;
}

void TFormSolo::buildMenu()
{
    menu_ = new QMenu(this);
    menu_->setObjectName(u"MenuSoloForm"_s);
}

void TFormSolo::showMenu()
{
    // The items follow the number of units, which may have changed since the last time.
    menu_->clear();
    for (const QString &item : program_.soloForms().MenuItems()) {
        if (item.isEmpty()) {
            menu_->addSeparator();
            continue;
        }
        QAction *action = menu_->addAction(item);
        if (item == u"Настройка IP"_s) {
            connect(action, &QAction::triggered, this, [this] { program_.mainRows().TuneIPClick(); });
        } else if (item == u"Параметры"_s) {
            // Opens over this window.
            connect(action, &QAction::triggered, this, [this] { act([this] { MainParClick(program_); }); });
        } else if (item == u"Журнал событий"_s) {
            connect(action, &QAction::triggered, this, [this] {
                if (ProgramView *v = program_.view())
                    v->showHistoryViewer();
            });
        } else if (item == u"Графики"_s) {
            connect(action, &QAction::triggered, this, [this] {
                if (ProgramView *v = program_.view())
                    v->showCharts(unit_);
            });
        } else if (item == u"Выход"_s) {
            connect(action, &QAction::triggered, this, [this] {
                if (ProgramView *v = program_.view())
                    v->closeMainWindow();
            });
        } else {
            connect(action, &QAction::triggered, this, &QWidget::close);
        }
    }
    const RowControl *key = element("Image7");
    menu_->popup(key->mapToGlobal(QPoint(0, key->height())));
}

void TFormSolo::open()
{
    const bool single = program_.u.nAHU < 2;
    const Qt::WindowFlags flags = single ? (windowFlags() | Qt::WindowMinimizeButtonHint)
                                         : (windowFlags() & ~Qt::WindowMinimizeButtonHint);
    if (flags != windowFlags())
        setWindowFlags(flags);
    setWindowTitle(program_.mainRows().SoloCaption(unit_));
    if (const auto at = program_.mainRows().SoloPlacement(unit_))
        move(*at);
    rendered_.reset();
    render();
    show();
    raise();
    activateWindow();
}

void TFormSolo::render()
{
    const SoloView &w = program_.solos[std::size_t(unit_)];
    const qreal dpr = devicePixelRatioF();
    // An idle panel's replies change nothing: skip the whole pass.
    Rendered now{w, program_.u.NumActiveScenAHU[unit_], program_.u.StateTCPConn[unit_], dpr};
    if (rendered_ == now)
        return;
    rendered_ = std::move(now);
    const auto picture = [&](const char *name, List list, int index, const QString &meaning = {}) {
        RowControl *c = element(name);
        c->setPixmap(art::picture(list, index, dpr));
        c->setAccessibleDescription(index >= 0 ? meaning : QString());
    };
    const auto text = [&](const char *name, const QString &value) {
        RowControl *c = element(name);
        c->setText(value);
        c->setAccessibleDescription(value);
    };
    static const QString modes[] = {u"обогрев"_s,          u"охлаждение"_s, u"авто, обогрев"_s,
                                    u"авто, охлаждение"_s, u"вентиляция"_s, u"отключено"_s};
    picture("Img_hc", List::IL_hc, w.Img_hc, w.Img_hc >= 0 && w.Img_hc < 6 ? modes[w.Img_hc] : QString());
    picture("Img_hum", List::IL_hum, w.Img_hum, u"включено"_s);
    picture("Img_net", List::IL_net, w.Img_net, w.Img_net == 1 ? u"есть"_s : QString());
    picture("Img_rs", List::IL_rs, w.Img_rs, u"включено"_s);
    picture("Img_cmf", List::IL_cmf, w.Img_cmf, u"включено"_s);
    picture("Img_vav", List::IL_vav, w.Img_vav, u"установка с VAV"_s);
    picture("Img_Tempr", List::IL_Tr, w.Img_Tempr);
    picture("Img_vent", List::IL_vent, w.Img_vent);
    picture("Img_ar", List::IL_ar, w.Img_ar, u"да"_s);
    picture("Img_HF", List::IL_HF, w.Img_HF);
    picture("Img_scn", List::IL_scn, w.Img_scn);
    picture("Img_ScIco", List::IL_ScIco, w.Img_ScIco);
    picture("Img_Msg", List::IL_Msg, w.Img_Msg);
    picture("Ind", List::IL_Ind, w.Ind);
    picture("IndBtn", List::IL_IndBtn, w.IndBtn, w.IndBtn == 1 ? u"горит"_s : u"не горит"_s);
    picture("PwrBtn", List::IL_Pwr, w.PwrBtn,
            w.PwrBtn == SoloView::PwrGrey      ? u"недоступно"_s
            : w.PwrBtn == SoloView::PwrPressed ? u"нажата"_s
                                               : QString());

    text("LTime", w.LTime);
    text("LDate", w.LDate);
    text("LTempr", w.LTempr);
    text("LSpeed", w.LSpeed);
    text("LScen", w.LScen);
    RowControl *scen = element("LScen");
    if (w.LScenLeft >= 0)
        scen->setGeometry(w.LScenLeft, kScenText.top(), kScenText.right() - w.LScenLeft, kScenText.height());
    else
        scen->setGeometry(kScenText);
    RowControl *humid = element("LHumid");
    text("LHumid", w.LHumid);
    humid->setPixelSize(pointsToPixels(w.LHumidPt));
    RowControl *msg = element("LMsgMain");
    text("LMsgMain", w.LMsgMain);
    msg->setPixelSize(pointsToPixels(w.LMsgMainPt));

    // What the click areas would act on, for a screen reader.
    element("Image1")->setAccessibleDescription(w.LTempr);
    element("Image2")->setAccessibleDescription(w.LSpeed);
    element("Image5")->setAccessibleDescription((w.LTime + u' ' + w.LDate).trimmed());
    const int active = program_.u.NumActiveScenAHU[unit_];
    element("ScenArea")
        ->setAccessibleDescription(program_.u.StateTCPConn[unit_] != 1 ? QString()
                                   : active > 0 ? u"активен сценарий %1"_s.arg(active)
                                                : u"нет активного сценария"_s);
    element("MsgArea")->setAccessibleDescription(w.LMsgMain);
}

void TFormSolo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, art::soloBackground(devicePixelRatioF()));
}

void TFormSolo::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!program_.IsClosed)
        program_.soloForms().FormClose(unit_);
}

void TFormSolo::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || minimizing_)
        return;
    // The window itself is never minimised: with one unit the program is, otherwise nothing happens.
    minimizing_ = true;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    minimizing_ = false;
    program_.soloForms().Minimize(unit_);
}

bool TFormSolo::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
        program_.soloForms().PwrMouseUp(unit_);
    return QWidget::eventFilter(watched, event);
}

} // namespace kvu
