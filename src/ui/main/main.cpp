#include "app/Program.h"
#include "core/Clock.h"
#include "core/DataFolder.h"
#include "ui/main/KvuApplication.h"
#include "ui/main/SignalWatcher.h"
#include "ui/main/TForm1.h"
#include "ui/main/TMessageForm.h"

#include <QCommandLineParser>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// Tells the operator why the program cannot run, on stderr and in a box, and gives the exit code;
// SIGTERM or SIGINT ends the box as its button does.
int refuseStart(kvu::SignalWatcher &signals, QMessageBox::Icon icon, const QString &text)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    std::fflush(stderr);
    QObject::connect(&signals, &kvu::SignalWatcher::terminateRequested, qApp,
                     [] { QCoreApplication::exit(1); });
    QMessageBox box(icon, kvu::KvuApplication::boxTitle(), text, QMessageBox::Ok);
    box.exec();
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    kvu::KvuApplication app(argc, argv);
    kvu::KvuApplication::installQtTranslations();
    app.setApplicationName(u"klimavox_kvu"_s);
    // Ties the windows to the installed desktop entry (its icon and name in the task bar).
    app.setDesktopFileName(u"klimavox_kvu"_s);
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(kvu::KvuApplication::boxTitle());
    parser.addHelpOption();
    const QCommandLineOption dataDirOption(
        u"data-dir"_s,
        u"Папка настроек, истории и архивов (по умолчанию папка программы, а если в неё нельзя "
        u"писать, папка данных пользователя)"_s,
        u"DIR"_s);
    parser.addOption(dataDirOption);
    parser.process(app);
    // An installed program's folder is read-only: its data then go to the user's data folder. The
    // manual is still looked up beside the program.
    const QString dataDir =
        kvu::chooseDataFolder(parser.isSet(dataDirOption) ? parser.value(dataDirOption) : QString(),
                              QCoreApplication::applicationDirPath(),
                              QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));

    kvu::SignalWatcher signals;

    // One program per data folder: a second one would poll the same panels, and its start would be
    // taken for a restart after a crash. A lock left by a program that is gone is taken over.
    const QString folder = QDir(dataDir).absolutePath();
    QDir().mkpath(folder);
    QLockFile lock(QDir(folder).filePath(u"klimavox_kvu.lock"_s));
    lock.setStaleLockTime(0);
    if (!lock.tryLock()) {
        if (lock.error() == QLockFile::LockFailedError) {
            return refuseStart(
                signals, QMessageBox::Warning,
                u"Программа уже запущена с папкой данных %1.\n\nВторая копия опрашивала бы те же "
                u"пульты. Откройте окно уже запущенной программы (её значок может быть в "
                u"области уведомлений)."_s.arg(QDir::toNativeSeparators(folder)));
        }
        // Without the lock the program still runs; the settings writes will tell what is wrong.
        qWarning("Не удалось создать файл блокировки %s", qUtf8Printable(lock.fileName()));
    }

    kvu::SystemClock clock;
    kvu::Program program(clock, dataDir);

    kvu::TForm1 mainForm(program);
    if (!program.settingsReadError.isEmpty()) {
        QString reason = program.settingsReadError;
        while (reason.endsWith(u'.'))
            reason.chop(1);
        return refuseStart(signals, QMessageBox::Critical,
                           reason + u".\n\nПрограмма закрывается, ничего не записав, чтобы не затереть "
                                    u"адреса и пароли вентустановок. Исправьте файл настроек и "
                                    u"запустите программу снова."_s);
    }
    kvu::TMessageForm messageForm(mainForm.screenSize());
    mainForm.setMessageForm(&messageForm);

    QObject::connect(&mainForm, &kvu::TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&signals, &kvu::SignalWatcher::terminateRequested, &mainForm,
                     &kvu::TForm1::requestShutdown);
    // At the session's end Windows ends the process right after Qt announces the quit: the shutdown
    // runs then, before it is too late. After a normal close this does nothing.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &mainForm, &kvu::TForm1::requestShutdown);

    mainForm.show();
    program.Timer1.start();
    return app.exec();
}
