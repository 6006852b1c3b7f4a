#include "ui/main/TMode.h"

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

constexpr int kRowLeft = 20;
constexpr int kRowWidth = 440;
constexpr int kRowHeight = 52;
constexpr int kHumidTop = 246;

int rowTop(ModeChooser::Row row)
{
    return row == ModeChooser::Hum ? kHumidTop : 14 + (int(row) - 1) * (kRowHeight + 4);
}

} // namespace

TMode::TMode(Program &program, QWidget *parent)
    : editor::ArrowFocusDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                           Qt::MSWindowsFixedSizeDialogHint),
      program_(program)
{
    setObjectName(u"Mode"_s);
    editor::trackFocus(this);
    setFixedSize(480, 360);

    struct Spec
    {
        ModeChooser::Row row;
        const char16_t *area, *picture, *label, *text;
    };
    const Spec specs[] = {
        {ModeChooser::Heat, u"Image4", u"Img_Heat", u"Label2", u"Обогрев"},
        {ModeChooser::Cool, u"Image6", u"Img_Cool", u"LCool", u"Охлаждение"},
        {ModeChooser::Auto, u"Image8", u"Img_Auto", u"LAuto", u"Авто переключ."},
        {ModeChooser::Off, u"Image10", u"Img_Off", u"Label4", u"Отключено"},
        {ModeChooser::Hum, u"Image12", u"Img_Hum", u"LHum", u"Увлажнение"},
    };
    for (const Spec &s : specs) {
        Row &r = rows_[index(s.row)];
        r.area = new RowControl(this);
        r.area->setObjectName(QString::fromUtf16(s.area));
        r.area->setGeometry(kRowLeft, rowTop(s.row), kRowWidth, kRowHeight);
        r.area->setCheckable(true);
        r.area->setAccessibleName(QString::fromUtf16(s.text));
        // The picture and the label lie inside the area and let its clicks through.
        r.picture = new RowControl(r.area, false);
        r.picture->setObjectName(QString::fromUtf16(s.picture));
        r.picture->setGeometry(8, (kRowHeight - 37) / 2, 37, 37);
        r.label =
            editor::panelLabel(r.area, QRect(60, 6, kRowWidth - 70, kRowHeight - 12), 29, Qt::AlignLeft);
        r.label->setObjectName(QString::fromUtf16(s.label));
        // The panel colour shows through, so that the focus frame of the area is not boxed in.
        r.label->setAutoFillBackground(false);
        r.label->setText(QString::fromUtf16(s.text));
        r.area->installEventFilter(this);
        const ModeChooser::Row row = s.row;
        connect(r.area, &QAbstractButton::clicked, this, [this, row] { click(row); });
    }

    Image2_ = new RowControl(this);
    Image2_->setObjectName(u"Image2"_s);
    Image2_->setAccessibleName(u"Закрыть"_s);
    Image2_->setGeometry(480 - 20 - 68, 360 - 14 - 44, 68, 44);
    Image2_->installEventFilter(this);
    connect(Image2_, &QAbstractButton::clicked, this, &QDialog::reject);
}

int TMode::edit(int i)
{
    setWindowTitle(ModeChooser::caption(i));
    FormActivate(i);
    if (QWidget *main = parentWidget())
        move(main->geometry().center() - QPoint(width() / 2, height() / 2));
    return exec();
}

void TMode::FormActivate(int i)
{
    chooser_.FormActivate(program_, i);
    Image2_->setPixmap(art::picture(art::List::EdClose, 0, devicePixelRatioF()));
    showRows();
    // The focus starts on the mode the unit is in.
    const int mode = chooser_.CurUnitMode;
    area(mode >= ModeChooser::Heat && mode <= ModeChooser::Off ? ModeChooser::Row(mode) : ModeChooser::Heat)
        ->setFocus();
}

void TMode::showRows()
{
    const qreal dpr = devicePixelRatioF();
    for (const ModeChooser::Row row :
         {ModeChooser::Heat, ModeChooser::Cool, ModeChooser::Auto, ModeChooser::Off, ModeChooser::Hum}) {
        const Row &r = rows_[index(row)];
        const ModeChooser::Look look = chooser_.look(program_, row);
        r.picture->setPixmap(
            art::picture(row == ModeChooser::Hum ? art::List::IL_CB : art::List::IL_RB, int(look), dpr));
        editor::setLabelColour(r.label, QColor::fromRgb(chooser_.labelColour(program_, row)));
        r.area->setChecked(look == ModeChooser::Selected);
        QString state;
        switch (look) {
        case ModeChooser::Selected:
            state = row == ModeChooser::Hum ? u"включено"_s : u"выбрано"_s;
            break;
        case ModeChooser::NotSelected:
            state = row == ModeChooser::Hum ? u"выключено"_s : u"не выбрано"_s;
            break;
        case ModeChooser::NotAvailable:
            state = u"недоступно"_s;
            break;
        }
        r.area->setAccessibleDescription(state);
    }
}

void TMode::click(ModeChooser::Row row)
{
    chooser_.click(program_, row);
    // Redrawn in every case: a click on a checkable area flips its checked state, which the rows
    // set back from the chooser.
    showRows();
}

void TMode::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), editor::kPanel);
    // Faint rules between the modes, a clear one above the humidifier.
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int k = 1; k < 4; ++k) {
        const qreal y = rowTop(ModeChooser::Row(k + 1)) - 2.5;
        painter.drawLine(QPointF(kRowLeft + 56, y), QPointF(kRowLeft + kRowWidth, y));
    }
    painter.setPen(QPen(QColor(255, 255, 255, 110), 2));
    const qreal y = kHumidTop - 8;
    painter.drawLine(QPointF(kRowLeft, y), QPointF(kRowLeft + kRowWidth, y));
    editor::paintFocusRing(painter, this);
}

} // namespace kvu
