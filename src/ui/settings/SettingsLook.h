#pragma once

#include <QString>
#include <Qt>

class QDialog;
class QPushButton;
class QWidget;

namespace kvu {

// The look the options and history windows share: dark blue-grey window, the panel blue-grey tiles
// of the other windows, light-blue field text on dark fields, white labels, light-blue buttons with a
// white focus ring. Each window adds its own rules after these.
QString settingsStyleSheet();

// The frame of the tool windows that stay open beside the others ("Журнал событий", "Графики").
constexpr Qt::WindowFlags kToolWindowFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                             Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

// Names and captions a settings window (its caption is also its accessible name) and gives it the
// Arial 14 px font and the style sheet.
void setUpSettingsWindow(QDialog *window, const QString &objectName, const QString &title,
                         const QString &style);

// A button of these windows. Enter belongs to their fields and tables, so it is never a default button.
QPushButton *settingsButton(QWidget *parent, const char *objectName, const QString &text,
                            const QString &accessible);

} // namespace kvu
