#include "ui/main/TForm1.h"

#include "app/Constants.h"
#include "app/Program.h"
#include "ui/main/TMessageForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
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

void TForm1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    program_.FormPaint();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    program_.FormClose();
    event->accept();
    Q_EMIT closed();
}

} // namespace kvu
