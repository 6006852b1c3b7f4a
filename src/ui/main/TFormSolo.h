#pragma once

#include "app/ViewModels.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

class QMenu;

namespace kvu {

class Program;
class RowControl;

// The window of one unit, drawn like its wall panel: live values from Program::solos, the power
// button, and the areas that open the unit's editors. Closing only hides it; the main window owns it.
// With a single unit it is the program's window: minimising it minimises the program and closing it
// ends the program.
class TFormSolo : public QWidget
{
    Q_OBJECT
public:
    TFormSolo(Program &program, int unit);

    int unit() const { return unit_; }
    // Shows the window with its caption and, when one is stored, at its stored position.
    void open();
    // Sets every element from the unit's view model; nothing when it is as last rendered.
    void render();

    // The elements, for tests and the screenshot script.
    RowControl *element(const char *name) const;
    QMenu *menu() const { return menu_; }

Q_SIGNALS:
    // Around a click handler: the window that editors and message boxes it opens stand over
    // (nullptr once the handler has returned).
    void acting(kvu::TFormSolo *window);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    RowControl *add(const char *name, QRect geometry, const QString &accessible, bool acts);
    void act(const std::function<void()> &handler);
    void buildMenu();
    void showMenu();

    Program &program_;
    const int unit_;
    QMenu *menu_ = nullptr;
    bool minimizing_ = false;
    // The elements by name (the names are the literals given to add()), looked up on every reply.
    std::unordered_map<std::string_view, RowControl *> elements_;
    // What the last render showed; opening the window renders afresh.
    struct Rendered
    {
        SoloView view;
        int activeScen = 0;
        int link = 0;
        qreal dpr = 1;
        bool operator==(const Rendered &) const = default;
    };
    std::optional<Rendered> rendered_;
};

} // namespace kvu
