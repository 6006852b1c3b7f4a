#pragma once

#include <QApplication>

class QTranslator;

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

    // Installs Qt's own Russian texts (standard buttons, file errors) on the running application.
    // Gives the installed translator, owned by the application, or nullptr when the file is missing.
    static QTranslator *installQtTranslations();
};

} // namespace kvu
