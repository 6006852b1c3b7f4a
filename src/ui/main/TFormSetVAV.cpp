#include "ui/main/TFormSetVAV.h"

#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/EditorKit.h"
#include "ui/main/RowControl.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr int kRowTop = 8;
constexpr int kRowPitch = 42;

QColor rgb(quint32 c)
{
    return QColor::fromRgb(QRgb(0xFF000000u | c));
}

// A label drawn over the window's own painted tiles (no fill of its own), white on the panel colour.
QLabel *panelLabel(QWidget *parent, QRect geometry, int px, bool bold = false)
{
    QLabel *label = editor::panelLabel(parent, geometry, px);
    label->setAutoFillBackground(false);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

void setTextColour(QLabel *label, quint32 colour)
{
    editor::setLabelColour(label, rgb(colour));
}

art::List zoneList(int k)
{
    switch (VavEditor::iconList(k)) {
    case 1:
        return art::List::IL1;
    case 2:
        return art::List::IL2;
    default:
        return art::List::IL0;
    }
}

} // namespace

TFormSetVAV::TFormSetVAV(Program &program, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      program_(program)
{
    setObjectName(u"FormSetVAV"_s);
    setWindowTitle(u"Задание расхода воздуха VAV"_s);
    setFixedSize(421, 319);

    for (int n = 1; n <= VavEditor::kRows; ++n) {
        const auto i = std::size_t(n - 1);
        const int y = kRowTop + (n - 1) * kRowPitch + 2;
        ImgNum_[i] = panelLabel(this, QRect(12, y, 34, 34), 17, true);
        ImgNum_[i]->setObjectName(u"ImgNum%1"_s.arg(n));
        LNum_[i] = panelLabel(this, QRect(12, y, 34, 34), 17, true);
        LNum_[i]->setObjectName(u"LNum%1"_s.arg(n));
        LNum_[i]->setAutoFillBackground(false);

        auto *target = new RowControl(this);
        target->setObjectName(u"LLT%1"_s.arg(n));
        target->setGeometry(49, y, 66, 34);
        target->setPixelSize(21);
        target->setFitText(true);
        connect(target, &QAbstractButton::clicked, this, [this, n] { select(n); });
        LLT_[i] = target;

        LLF_[i] = panelLabel(this, QRect(118, y, 64, 34), 21);
        LLF_[i]->setObjectName(u"LLF%1"_s.arg(n));
        LCn_[i] = panelLabel(this, QRect(186, y, 128, 34), 14);
        LCn_[i]->setObjectName(u"LCn%1"_s.arg(n));
        LCn_[i]->setWordWrap(true);
    }

    ImgP_ = new RowControl(this);
    ImgP_->setObjectName(u"ImgP"_s);
    ImgP_->setAccessibleName(u"Скорость вентилятора"_s);
    ImgP_->setGeometry(324, 8, 89, 80);
    connect(ImgP_, &QAbstractButton::clicked, this, [this] { select(VavEditor::FanItem); });
    LP0_ = panelLabel(this, QRect(324, 30, 89, 54), 40);
    LP0_->setObjectName(u"LP0"_s);

    ImgBt_ = new RowControl(this);
    ImgBt_->setObjectName(u"ImgBt"_s);
    ImgBt_->setAccessibleName(u"Следующая страница"_s);
    ImgBt_->setGeometry(324, 96, 89, 56);
    connect(ImgBt_, &QAbstractButton::clicked, this, &TFormSetVAV::pageClick);

    ImgRet_ = new RowControl(this);
    ImgRet_->setObjectName(u"ImgRet"_s);
    ImgRet_->setAccessibleName(u"Готово"_s);
    ImgRet_->setGeometry(324, 255, 89, 56);
    connect(ImgRet_, &QAbstractButton::clicked, this, &TFormSetVAV::returnClick);

    Label1_ = panelLabel(this, QRect(16, 252, 44, 36), 16);
    Label1_->setObjectName(u"Label1"_s);
    Label2_ = panelLabel(this, QRect(264, 252, 48, 36), 16);
    Label2_->setObjectName(u"Label2"_s);
    ScrollBar1_ = new QSlider(Qt::Horizontal, this);
    ScrollBar1_->setObjectName(u"ScrollBar1"_s);
    ScrollBar1_->setAccessibleName(u"Значение"_s);
    ScrollBar1_->setGeometry(62, 252, 200, 36);
    ScrollBar1_->setRange(-1, 101);
    ScrollBar1_->setSingleStep(10);
    ScrollBar1_->setPageStep(10);
    // The keys reach the slider through the item being edited; the slider itself takes the mouse.
    ScrollBar1_->setFocusPolicy(Qt::NoFocus);
    ScrollBar1_->setStyleSheet(
        u"QSlider::groove:horizontal { height: 8px; border-radius: 4px; background: #8BC0DA; }"
        "QSlider::sub-page:horizontal { height: 8px; border-radius: 4px; background: #CCFF66; }"
        "QSlider::handle:horizontal { width: 22px; margin: -8px 0; border-radius: 11px;"
        " background: #FFFFFF; border: 2px solid #157DB9; }"_s);
    connect(ScrollBar1_, &QSlider::valueChanged, this, [this](int pos) {
        editor_.ScrollBar1Change(program_, pos);
        render();
    });

    tick_ = new QTimer(this);
    tick_->setInterval(250);
    connect(tick_, &QTimer::timeout, this, &TFormSetVAV::tick);
    second_ = new QTimer(this);
    second_->setSingleShot(true);
    second_->setInterval(1000);
    connect(second_, &QTimer::timeout, this, &TFormSetVAV::secondTick);

    QList<QWidget *> chain;
    for (RowControl *t : LLT_)
        chain << t;
    chain << ImgP_ << ImgBt_ << ImgRet_;
    for (int i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
    for (QWidget *w : chain)
        w->installEventFilter(this);
    setFocusProxy(ImgRet_);
}

int TFormSetVAV::edit(int u)
{
    editor_.prepare(program_, u);
    editor_.FormActivate(program_);
    second_->stop();
    tick_->start();
    icons_.fill(-2);
    pageButton_ = -1;
    render();
    if (const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    ImgRet_->setFocus();
    return exec();
}

void TFormSetVAV::tick()
{
    if (editor_.tick(program_) && editor_.isOpen())
        second_->start();
    if (editor_.isOpen())
        render();
    // Closed: the ticks go on only until a change still resting on the slider has been sent.
    if (!editor_.needsTicks())
        tick_->stop();
}

void TFormSetVAV::secondTick()
{
    if (!editor_.isOpen())
        return;
    editor_.secondTick(program_);
    render();
}

void TFormSetVAV::select(int k)
{
    if (!editor_.isOpen())
        return;
    editor_.ClickLTarget(program_, k);
    render();
}

void TFormSetVAV::pageClick()
{
    if (!editor_.isOpen())
        return;
    editor_.ImgBtClick(program_);
    render();
}

void TFormSetVAV::returnClick()
{
    if (!editor_.isOpen())
        return;
    editor_.ImgRetClick(program_);
    accept();
}

void TFormSetVAV::done(int result)
{
    editor_.FormClose(program_);
    render(); // the rows emptied: a later opening does not show old data first
    second_->stop();
    if (!editor_.needsTicks())
        tick_->stop();
    QDialog::done(result);
}

void TFormSetVAV::loadPictures()
{
    const qreal dpr = devicePixelRatioF();
    if (dpr == dpr_)
        return;
    dpr_ = dpr;
    icons_.fill(-2);
    pageButton_ = -1;
    ImgP_->setPixmap(art::picture(art::List::VavFanFrame, 0, dpr));
    ImgRet_->setPixmap(art::picture(art::List::VavReturn, 0, dpr));
    update();
}

void TFormSetVAV::render()
{
    loadPictures();
    const VavView v = editor_.view();
    const UnitTable &u = program_.u;
    for (int n = 1; n <= VavEditor::kRows; ++n) {
        const auto i = std::size_t(n - 1);
        const VavRowView &row = v.rows[i];
        if (icons_[i] != row.icon) {
            icons_[i] = row.icon;
            ImgNum_[i]->setPixmap(
                row.icon < 0 ? QPixmap()
                             : art::picture(zoneList(row.icon), VavEditor::iconIndex(row.icon), dpr_));
        }
        LNum_[i]->setText(row.number);
        LNum_[i]->setVisible(row.numberVisible);
        LLT_[i]->setCursor(row.selectable || row.edited ? Qt::PointingHandCursor : Qt::ArrowCursor);
        LLT_[i]->setText(row.target);
        LLT_[i]->setTextColour(rgb(row.targetColour));
        const int zoneNumber = u.Zone_Beg + n - 1;
        LLT_[i]->setAccessibleName(u"Зона %1, задание"_s.arg(zoneNumber));
        LLT_[i]->setAccessibleDescription(
            row.target.trimmed().isEmpty()
                ? u"нет данных"_s
                : u"%1; факт %2; %3"_s.arg(row.target, row.fact, row.source.trimmed()));
        LLF_[i]->setText(row.fact);
        setTextColour(LLF_[i], row.factColour);
        LCn_[i]->setText(row.source);
        setTextColour(LCn_[i], row.sourceColour);
    }
    LP0_->setText(v.fan);
    setTextColour(LP0_, v.fanColour);
    ImgP_->setAccessibleDescription(v.fan);
    ImgP_->setCursor(v.fanSelectable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    ImgBt_->setCursor(v.pageButton == 1 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (pageButton_ != v.pageButton) {
        pageButton_ = v.pageButton;
        ImgBt_->setPixmap(art::picture(art::List::IL_bt, v.pageButton, dpr_));
    }
    applySlider(v);
    if (edited_ != v.edited) {
        edited_ = v.edited;
        update();
    }
}

// Places the slider where the editor asks; the change this causes is the program's, not the operator's.
void TFormSetVAV::applySlider(const VavView &v)
{
    if (v.sliderVisible) {
        Label1_->setText(v.sliderLeft);
        Label2_->setText(v.sliderRight);
        ScrollBar1_->setAccessibleName(v.edited == VavEditor::FanItem
                                           ? u"Скорость вентилятора, новое значение"_s
                                           : u"Задание зоны, новое значение"_s);
        if (ScrollBar1_->value() != v.sliderPosition)
            ScrollBar1_->setValue(v.sliderPosition);
    }
    editor_.sliderPlaced();
    if (ScrollBar1_->isVisibleTo(this) != v.sliderVisible)
        update(QRect(8, 228, 308, 83));
    ScrollBar1_->setVisible(v.sliderVisible);
    Label1_->setVisible(v.sliderVisible);
    Label2_->setVisible(v.sliderVisible);
}

void TFormSetVAV::stepSlider(int direction)
{
    // An operator change, as a drag would be.
    editor_.sliderPlaced();
    ScrollBar1_->setValue(ScrollBar1_->value() + direction * ScrollBar1_->singleStep());
}

void TFormSetVAV::moveFocus(int direction)
{
    focusNextPrevChild(direction > 0);
}

bool TFormSetVAV::handleKey(QWidget *target, QKeyEvent *event)
{
    const bool editing = editor_.iZL != 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        editing ? stepSlider(-1) : moveFocus(-1);
        return true;
    case Qt::Key_Right:
    case Qt::Key_Up:
        editing ? stepSlider(1) : moveFocus(1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->isAutoRepeat())
            return true;
        if (auto *control = qobject_cast<RowControl *>(target))
            control->click();
        return true;
    default:
        return false;
    }
}

bool TFormSetVAV::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        handleKey(static_cast<QWidget *>(watched), static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TFormSetVAV::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(focusWidget(), event))
        QDialog::keyPressEvent(event); // Escape closes
}

void TFormSetVAV::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ScreenChangeInternal && editor_.isOpen())
        render();
}

void TFormSetVAV::paintEvent(QPaintEvent *)
{
    if (devicePixelRatioF() != dpr_ && editor_.isOpen())
        render();
    QPainter painter(this);
    painter.drawPixmap(0, 0, art::picture(art::List::VavBackground, 0, devicePixelRatioF()));
    if (ScrollBar1_->isVisible()) {
        // The slider's band, only while an item is edited.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(editor::kPanel);
        painter.drawRoundedRect(QRectF(8, 228, 308, 83), 8, 8);
        painter.setBrush(QColor(0x56, 0x69, 0x7A));
        painter.drawRoundedRect(QRectF(14, 234, 296, 71), 5, 5);
    }
    // The item being edited is outlined in the colour of its value.
    const int edited = editor_.isOpen() ? editor_.iZL : 0;
    if (edited >= 1 && edited <= VavEditor::FanItem) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(rgb(VavEditor::kEdited), 2));
        painter.setBrush(Qt::NoBrush);
        if (edited == VavEditor::FanItem)
            painter.drawRoundedRect(QRectF(ImgP_->geometry()).adjusted(-3, -3, 3, 3), 12, 12);
        else
            painter.drawRoundedRect(QRectF(7, kRowTop + (edited - 1) * kRowPitch - 1, 310, 40), 9, 9);
    }
}

} // namespace kvu
