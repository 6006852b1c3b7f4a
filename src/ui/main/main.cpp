#include "app/Program.h"
#include "core/Clock.h"
#include "ui/main/KvuApplication.h"
#include "ui/main/SignalWatcher.h"
#include "ui/main/TForm1.h"
#include "ui/main/TMessageForm.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

// Tells the operator why the program cannot run and gives the exit code; SIGTERM or SIGINT ends the
// box as its button does.
int refuseStart(kvu::SignalWatcher &signals, const QString &text)
{
    QObject::connect(&signals, &kvu::SignalWatcher::terminateRequested, qApp,
                     [] { QCoreApplication::exit(1); });
    kvu::KvuApplication::reportError(text);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    kvu::KvuApplication app(argc, argv);
    kvu::KvuApplication::installQtTranslations();
    app.setApplicationName(u"klimavox_kvu"_s);
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(kvu::KvuApplication::boxTitle());
    parser.addHelpOption();
    const QCommandLineOption dataDirOption(
        u"data-dir"_s, u"Папка настроек, истории и архивов (по умолчанию папка программы)"_s, u"DIR"_s);
    parser.addOption(dataDirOption);
    parser.process(app);
    const QString dataDir =
        parser.isSet(dataDirOption) ? parser.value(dataDirOption) : QCoreApplication::applicationDirPath();

    kvu::SystemClock clock;
    kvu::Program program(clock, dataDir);
    kvu::SignalWatcher signals;

    kvu::TForm1 mainForm(program);
    if (!program.settingsReadError.isEmpty()) {
        QString reason = program.settingsReadError;
        while (reason.endsWith(u'.'))
            reason.chop(1);
        return refuseStart(signals, reason +
                                        u".\n\nПрограмма закрывается, ничего не записав, чтобы не затереть "
                                        u"адреса и пароли вентустановок. Исправьте файл настроек и "
                                        u"запустите программу снова."_s);
    }
    kvu::TMessageForm messageForm(mainForm.screenSize());
    mainForm.setMessageForm(&messageForm);

    QObject::connect(&mainForm, &kvu::TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&signals, &kvu::SignalWatcher::terminateRequested, &mainForm, &QWidget::close);

    mainForm.show();
    program.Timer1.start();
    return app.exec();
}
