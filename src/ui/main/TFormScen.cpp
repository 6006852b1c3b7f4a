#include "ui/main/TFormScen.h"

#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/EditorKit.h"
#include "ui/main/RowControl.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr int kIcon = 42;
constexpr int kTileWidth = 196;
constexpr int kKeyWidth = 140;
constexpr int kKeyHeight = 36;

// Top left corner of scenario n's tile: 1..4 in the left column, 5..8 in the right.
QPoint tileAt(int n)
{
    const int column = (n - 1) / 4;
    const int line = (n - 1) % 4;
    return {12 + column * (kTileWidth + 17), 42 + line * (kIcon + 2)};
}

QString keyState(int look)
{
    switch (look) {
    case 1:
        return u"активен, запущен таймером 1"_s;
    case 2:
        return u"активен, запущен таймером 2"_s;
    case 3:
        return u"активен, запущен вручную"_s;
    default:
        return u"не активен"_s;
    }
}

} // namespace

TFormScen::TFormScen(Program &program, QWidget *parent)
    : editor::ArrowFocusDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                           Qt::MSWindowsFixedSizeDialogHint),
      program_(program)
{
    setObjectName(u"FormScen"_s);
    setWindowTitle(u"Сценарии"_s);
    editor::trackFocus(this);
    setFixedSize(433, 263);

    LHdr_ = editor::panelLabel(this, QRect(12, 2, 409, 38), 29);
    LHdr_->setObjectName(u"LHdr"_s);

    for (int n = 1; n <= 8; ++n) {
        Row &r = rows_[std::size_t(n - 1)];
        const QPoint at = tileAt(n);
        const QString name = u"Сценарий %1"_s.arg(n);
        // The icon starts the scenario by mouse; the keyboard goes to the key beside it.
        r.icon = new RowControl(this);
        r.icon->setObjectName(u"Img_Ico%1"_s.arg(n));
        r.icon->setGeometry(QRect(at, QSize(kIcon, kIcon)));
        r.icon->setFocusPolicy(Qt::NoFocus);
        r.icon->setAccessibleName(name);
        r.label = new QLabel(r.icon);
        r.label->setObjectName(u"LSc%1"_s.arg(n));
        r.label->setAttribute(Qt::WA_TransparentForMouseEvents);
        r.label->setAlignment(Qt::AlignCenter);
        r.label->setForegroundRole(QPalette::WindowText);
        QFont font(u"Arial"_s);
        font.setPixelSize(19);
        r.label->setFont(font);
        editor::setLabelColour(r.label, Qt::white);
        r.button = new RowControl(this);
        r.button->setObjectName(u"Img_Sc%1"_s.arg(n));
        r.button->setGeometry(at.x() + kIcon + 10, at.y() + (kIcon - kKeyHeight) / 2, kKeyWidth + 2,
                              kKeyHeight + 2);
        r.button->setAccessibleName(u"Запустить сценарий %1"_s.arg(n));
        r.button->installEventFilter(this);
        connect(r.icon, &QAbstractButton::clicked, this, [this, n] { start(n); });
        connect(r.button, &QAbstractButton::clicked, this, [this, n] { start(n); });
    }

    Image12_ = new RowControl(this);
    Image12_->setObjectName(u"Image12"_s);
    Image12_->setGeometry(12, 220, 300, 40);
    Image12_->setCheckable(true);
    Image12_->installEventFilter(this);
    Img_CB_ = new RowControl(Image12_, false);
    Img_CB_->setObjectName(u"Img_CB"_s);
    Img_CB_->setGeometry(2, 2, 37, 37);
    LAllow_ = editor::panelLabel(Image12_, QRect(48, 4, 244, 32), 24, Qt::AlignLeft);
    LAllow_->setText(u"Сценарии разрешены"_s);
    LAllow_->setAutoFillBackground(false); // the panel colour shows through, as in the mode window
    Image12_->setAccessibleName(LAllow_->text());
    connect(Image12_, &QAbstractButton::clicked, this, [this] {
        chooser_.toggleAllow(program_);
        showAllow();
    });

    Img_Close_ = new RowControl(this);
    Img_Close_->setObjectName(u"Img_Close"_s);
    Img_Close_->setAccessibleName(u"Закрыть"_s);
    Img_Close_->setGeometry(433 - 12 - 68, 219, 68, 42);
    Img_Close_->installEventFilter(this);
    connect(Img_Close_, &QAbstractButton::clicked, this, &QDialog::reject);
}

int TFormScen::edit(int i)
{
    FormShow(i);
    if (QWidget *main = parentWidget())
        move(main->geometry().center() - QPoint(width() / 2, height() / 2));
    return exec();
}

void TFormScen::FormShow(int i)
{
    chooser_.FormShow(program_, i);
    LHdr_->setText(ScenarioChooser::header(i));
    editor::fitLabelText(LHdr_, 29);
    Img_Close_->setPixmap(art::picture(art::List::EdClose, 0, devicePixelRatioF()));
    showRows();
    showAllow();
    // The focus starts on the active scenario, or on the first.
    int focus = 1;
    for (int n = 1; n <= 8; ++n)
        if (chooser_.rows[std::size_t(n)].button != 0)
            focus = n;
    Img_Sc(focus)->setFocus();
}

void TFormScen::showRows()
{
    const qreal dpr = devicePixelRatioF();
    for (int n = 1; n <= 8; ++n) {
        const ScenarioChooser::ScenRow &s = chooser_.rows[std::size_t(n)];
        const Row &r = rows_[std::size_t(n - 1)];
        r.icon->setPixmap(art::picture(art::List::IL_ScIco, s.icon, dpr));
        r.label->setText(s.label);
        // A short name sits in a narrow label in the middle of the icon.
        const int width = s.narrowLabel ? 25 : kIcon;
        r.label->setGeometry((kIcon - width) / 2, 0, width, kIcon);
        r.button->setPixmap(art::picture(art::List::IL_Sc, s.button, dpr));
        r.button->setAccessibleDescription(keyState(s.button));
        const QString name = s.label.isEmpty() || s.label == QString::number(n)
                                 ? u"Сценарий %1"_s.arg(n)
                                 : u"Сценарий %1 (%2)"_s.arg(n).arg(s.label);
        r.icon->setAccessibleName(name);
    }
}

void TFormScen::showAllow()
{
    const bool allowed = chooser_.NewScenAllow;
    Img_CB_->setPixmap(art::picture(art::List::ImageList1, allowed ? 1 : 0, devicePixelRatioF()));
    Image12_->setChecked(allowed);
    Image12_->setAccessibleDescription(allowed ? u"включено"_s : u"выключено"_s);
}

void TFormScen::start(int n)
{
    chooser_.start(program_, n);
    showRows();
}

void TFormScen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), editor::kPanel);
    painter.setPen(Qt::NoPen);
    for (int n = 1; n <= 8; ++n) {
        const QPointF at = tileAt(n);
        painter.setBrush(QColor(0x6D, 0x82, 0x95));
        painter.drawRoundedRect(QRectF(at, QSizeF(kTileWidth, kIcon)), 8, 8);
        painter.setBrush(QColor(0x8B, 0xC0, 0xDA));
        painter.drawRoundedRect(QRectF(at, QSizeF(kIcon, kIcon)), 8, 8);
    }
    editor::paintFocusRing(painter, this);
}

} // namespace kvu
