#pragma once

#include <QApplication>
#include <QPointer>

class QTranslator;

namespace kvu {

class DiagLog;

// The application object: an error that no handler caught ends only the event that raised it and is
// shown to the operator in a message box; the program carries on with the next event. Once the shutdown
// has begun nobody is asked anything: the error goes to standard error and the diagnostic log.
class KvuApplication : public QApplication
{
    Q_OBJECT
public:
    KvuApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // The title of the program's own message boxes.
    static QString boxTitle();
    static void reportError(const QString &text);
    // From now on the error report opens no box: an unattended end (a signal, the session's end) must
    // not wait for a person. log, while it exists, gets the errors too. Only on a KvuApplication.
    static void beginShutdown(DiagLog *log);
    // Writes an error of the shutdown, which nobody is asked about: to standard error and, when given,
    // to log.
    static void writeShutdownError(const QString &text, DiagLog *log);

    // Installs Qt's own Russian texts (standard buttons, file errors) on the running application.
    // Gives the installed translator, owned by the application, or nullptr when the file is missing.
    static QTranslator *installQtTranslations();

private:
    bool shuttingDown_ = false;
    QPointer<DiagLog> shutdownLog_;
};

} // namespace kvu
