#pragma once

#include <QApplication>

namespace kvu {

// The application object: an error that no handler caught ends only the event that raised it and is
// shown to the operator in a message box; the program carries on with the next event.
class KvuApplication : public QApplication
{
    Q_OBJECT
public:
    KvuApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // The title of the program's own message boxes.
    static QString boxTitle();
    static void reportError(const QString &text);
};

} // namespace kvu
