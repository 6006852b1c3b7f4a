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

int main(int argc, char **argv)
{
    kvu::KvuApplication app(argc, argv);
    app.setApplicationName(u"klimavox_kvu"_s);
    app.setApplicationDisplayName(u"Управление вентустановками Klimavox"_s);
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Управление вентустановками Klimavox"_s);
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
    kvu::TMessageForm messageForm(mainForm.screenSize());
    mainForm.setMessageForm(&messageForm);

    QObject::connect(&mainForm, &kvu::TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&signals, &kvu::SignalWatcher::terminateRequested, &mainForm, &QWidget::close);

    mainForm.show();
    program.Timer1.start();
    return app.exec();
}
