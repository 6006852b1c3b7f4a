#include "ui/settings/SettingsLook.h"

#include <QDialog>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

QString settingsStyleSheet()
{
    return uR"(
QDialog { background: #34434F; }
QFrame#tile { background: #5E7284; border-radius: 10px; }
QLabel { color: white; background: transparent; font-family: Arial; }
QLineEdit, QComboBox, QDateEdit {
    font-family: Arial; background: #2A3641; color: #8BC0DA; border: 1px solid #8395A6; border-radius: 5px;
    padding: 3px 6px; selection-background-color: #8BC0DA; selection-color: #1E2830;
}
QLineEdit:focus, QComboBox:focus, QDateEdit:focus { border: 2px solid white; padding: 2px 5px; }
QComboBox::drop-down, QDateEdit::drop-down { border: none; width: 24px; }
QComboBox::down-arrow, QDateEdit::down-arrow { image: url(:/art/opt/combo_arrow.svg); width: 14px; height: 14px; }
QComboBox QAbstractItemView {
    background: #2A3641; color: #8BC0DA; selection-background-color: #8BC0DA; selection-color: #1E2830;
}
QPushButton {
    background: #8BC0DA; color: #1E2830; border: 2px solid #8BC0DA; border-radius: 7px;
    padding: 6px 14px; font-weight: bold; font-family: Arial;
}
QPushButton:hover { background: #A3D0E6; border-color: #A3D0E6; }
QPushButton:pressed { background: #6FA5BF; border-color: #6FA5BF; }
QPushButton:focus { border-color: white; }
)"_s;
}

void setUpSettingsWindow(QDialog *window, const QString &objectName, const QString &title,
                         const QString &style)
{
    window->setObjectName(objectName);
    window->setWindowTitle(title);
    window->setAccessibleName(title);
    QFont f(u"Arial"_s);
    f.setPixelSize(14);
    window->setFont(f);
    window->setStyleSheet(style);
}

QPushButton *settingsButton(QWidget *parent, const char *objectName, const QString &text,
                            const QString &accessible)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAccessibleName(accessible);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace kvu
