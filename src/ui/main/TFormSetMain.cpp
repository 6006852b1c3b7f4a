#include "ui/main/TFormSetMain.h"

#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/EditorKit.h"
#include "ui/main/RowControl.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

using editor::kPanel;
using editor::panelLabel;

TFormSetMain::TFormSetMain(Program &program, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      program_(program)
{
    setObjectName(u"FormSetMain"_s);
    setWindowTitle(u"Задание параметров"_s);
    setFixedSize(378, 284);

    LHdr_ = panelLabel(this, QRect(16, 16, 346, 40), 24);
    LHdr_->setObjectName(u"LHdr"_s);
    LPar_ = panelLabel(this, QRect(16, 72, 220, 120), 43);
    LPar_->setObjectName(u"LPar"_s);

    const auto button = [this](const QString &name, const QString &accessible, QRect geometry) {
        auto *b = new RowControl(this);
        b->setObjectName(name);
        b->setAccessibleName(accessible);
        b->setGeometry(geometry);
        return b;
    };
    // Steps act on the press, as on the panel; the keyboard gives the same steps (below).
    ImgUp_ = button(u"ImgUp"_s, u"Больше"_s, QRect(252, 72, 110, 56));
    ImgDn_ = button(u"ImgDn"_s, u"Меньше"_s, QRect(252, 136, 110, 56));
    connect(ImgUp_, &RowControl::pressedWith, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            editor_.ImgUpMouseDown();
            showValue();
        }
    });
    connect(ImgDn_, &RowControl::pressedWith, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            editor_.ImgDnMouseDown();
            showValue();
        }
    });
    ImgRet_ = button(u"ImgRet"_s, u"Подтвердить"_s, QRect(252, 212, 110, 56));
    connect(ImgRet_, &QAbstractButton::clicked, this, &TFormSetMain::confirm);
    drawKeys();
    setFocusProxy(ImgRet_);
    for (QWidget *w :
         {static_cast<QWidget *>(ImgUp_), static_cast<QWidget *>(ImgDn_), static_cast<QWidget *>(ImgRet_)})
        w->installEventFilter(this);
}

int TFormSetMain::edit(int n, SetPointEditor::Type type, bool withNumber)
{
    editor_.prepare(program_, n, type, withNumber);
    editor_.FormActivate();
    drawKeys();
    LHdr_->setText(editor_.CurHdr);
    showValue();
    if (QWidget *main = parentWidget())
        move(main->geometry().center() - QPoint(width() / 2, height() / 2));
    ImgRet_->setFocus();
    return exec();
}

// The keys are drawn for the screen the window is on.
void TFormSetMain::drawKeys()
{
    const qreal dpr = devicePixelRatioF();
    ImgUp_->setPixmap(art::picture(art::List::EdUp, 0, dpr));
    ImgDn_->setPixmap(art::picture(art::List::EdDn, 0, dpr));
    ImgRet_->setPixmap(art::picture(art::List::EdRet, 0, dpr));
}

void TFormSetMain::showValue()
{
    LPar_->setText(QString::number(editor_.CurVal));
    LPar_->setAccessibleName(u"Значение"_s);
    LPar_->setAccessibleDescription(LPar_->text());
}

void TFormSetMain::confirm()
{
    editor_.ImgRetClick(program_);
    accept();
}

bool TFormSetMain::handleKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Plus:
        editor_.ImgUpMouseDown();
        showValue();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Minus:
        editor_.ImgDnMouseDown();
        showValue();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            confirm();
        return true;
    default:
        return false;
    }
}

bool TFormSetMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TFormSetMain::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(event))
        QDialog::keyPressEvent(event); // Escape rejects: nothing is sent
}

void TFormSetMain::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(240, 248, 250));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPanel);
    painter.drawRoundedRect(QRectF(8, 8, 362, 56), 8, 8);
    painter.drawRoundedRect(QRectF(8, 68, 236, 128), 8, 8);
}

} // namespace kvu
