#include "ui/main/TForm1.h"

#include "app/Program.h"
#include "core/Constants.h"
#include "link/PanelLink.h"
#include "link/PollCycle.h"
#include "ui/main/KvuApplication.h"
#include "ui/main/SoundTheme.h"
#include "ui/main/TMessageForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

TForm1::TForm1(Program &program, QWidget *parent) : QWidget(parent), program_(program)
{
    setWindowTitle(caption());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(1018, 701);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(240, 248, 250));
    setPalette(pal);

    program_.setView(this);
    program_.FormCreate();
    connect(&program_, &Program::rowChanged, this, [this](int r) {
        // The whole row: picture, strip and labels.
        update(QRect(8, statRect(r).top(), 1002, 57));
    });
}

TForm1::~TForm1()
{
    program_.setView(nullptr);
}

QString TForm1::caption()
{
    return u"Klimavox KVU ver. %1.%2.%3"_s.arg(VerProg / 100)
        .arg(VerProg % 100, 2, 10, QLatin1Char('0'))
        .arg(SubVerProg, 2, 10, QLatin1Char('0'));
}

void TForm1::setMessageForm(TMessageForm *form)
{
    messageForm_ = form;
    program_.flushNotices();
}

bool TForm1::ShowErrorMsg(const QString &text)
{
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

void TForm1::layoutMainWindow() {}

void TForm1::restoreMainWindow()
{
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

void TForm1::hideMainWindow()
{
    // Called while painting: hide once the paint is over.
    QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void TForm1::showInformation(const QString &text)
{
    QMessageBox::information(this, windowTitle(), text, QMessageBox::Ok);
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

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    program_.FormShow();
}

QRect TForm1::statRect(int r)
{
    return QRect(8, 71 + (r - 1) * 63, 54, 57);
}

QRect TForm1::infoRect(int r)
{
    return QRect(651, 71 + (r - 1) * 63 + 11, 263, 33);
}

void TForm1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(8, 8, 1002, 57), QColor(0x5E, 0x72, 0x84));
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(24);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(20, 8, 800, 57), Qt::AlignVCenter, u"Вентустановки Klimavox"_s);
    for (int r = 1; r <= program_.u.nAHU && r <= nAHUOnPage; ++r)
        paintRow(painter, r);
    program_.FormPaint();
}

void TForm1::paintRow(QPainter &painter, int r)
{
    const RowView &row = program_.rows[r];
    const int top = 71 + (r - 1) * 63;
    painter.fillRect(QRect(62, top, 948, 57), QColor(177, 213, 231));
    paintStatePicture(painter, statRect(r), row.Img_stat);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(29);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const auto text = [&](int left, int width, const QString &t, Qt::Alignment a = Qt::AlignLeft) {
        painter.drawText(QRect(left, top + 11, width, 33), int(a | Qt::AlignVCenter), t);
    };
    text(r == 10 ? 68 : 75, r == 10 ? 37 : 30, QString::number(r), Qt::AlignCenter);
    const QString name = program_.u.NameAHU[r];
    text(123, 206, name == u"-"_s ? QString() : name);
    text(346, 35, row.L_v, Qt::AlignCenter);
    text(398, 65, row.L_t, Qt::AlignCenter);
    text(460, 65, row.L_h, Qt::AlignCenter);
    text(row.L_scLeft, row.L_scWidth, row.L_sc, Qt::AlignCenter);
    QFont small = font;
    small.setPixelSize(20);
    painter.setFont(small);
    const QString info = painter.fontMetrics().elidedText(row.L_info, Qt::ElideRight, 263);
    painter.drawText(infoRect(r), int(Qt::AlignLeft | Qt::AlignVCenter), info);
    if (row.Img_show == 2)
        painter.drawText(QRect(960, top + 10, 45, 38), int(Qt::AlignCenter), u"Ф"_s);
}

// Stand-in pictures of the state list: a coloured disc with a sign, one per meaning.
void TForm1::paintStatePicture(QPainter &painter, const QRect &rect, int index)
{
    struct Look
    {
        QColor colour;
        const char16_t *sign;
    };
    static const Look looks[] = {
        {QColor(), u""},
        {QColor(214, 69, 65), u"☀"},
        {QColor(52, 120, 200), u"❄"},
        {QColor(230, 126, 34), u"A"},
        {QColor(52, 152, 219), u"A"},
        {QColor(39, 174, 96), u"V"},
        {QColor(140, 140, 140), u"○"},
        {QColor(241, 196, 15), u"!"},
        {QColor(192, 57, 43), u"⛔"},
        {QColor(39, 174, 96), u"S"},
        {QColor(140, 140, 140), u"s"},
        {QColor(155, 89, 182), u"☀"},
        {QColor(155, 89, 182), u"H"},
        {QColor(127, 140, 141), u"↻"},
        {QColor(80, 80, 80), u"✂"},
    };
    if (index <= 0 || index >= int(std::size(looks)))
        return;
    const Look &look = looks[index];
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.colour);
    painter.drawEllipse(rect.adjusted(4, 5, -4, -5));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(24);
    painter.setFont(f);
    painter.setPen(Qt::white);
    painter.drawText(rect, int(Qt::AlignCenter), QString::fromUtf16(look.sign));
}

void TForm1::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    for (int r = 1; r <= program_.u.nAHU && r <= nAHUOnPage; ++r) {
        if (statRect(r).contains(at)) {
            program_.poll().PwrClick(r);
            return;
        }
        if (infoRect(r).contains(at)) {
            program_.link().SetIPAndPAss(r);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void TForm1::beep(Beep kind)
{
    SoundTheme::play(kind == Beep::Error ? SoundTheme::Error : SoundTheme::Warning);
}

void TForm1::reportError(const QString &text)
{
    KvuApplication::reportError(text);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    program_.FormClose();
    event->accept();
    Q_EMIT closed();
}

} // namespace kvu
