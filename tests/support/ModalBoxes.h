#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

namespace kvu::test {

// Answers every message box that comes up while it lives, by its first button, keeping what it saw.
class BoxCloser
{
public:
    BoxCloser()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box->buttons().isEmpty())
                return;
            texts << box->text();
            titles << box->windowTitle();
            box->buttons().first()->click();
        });
        timer_.start();
    }
    QStringList texts;
    QStringList titles;

private:
    QTimer timer_;
};

} // namespace kvu::test
