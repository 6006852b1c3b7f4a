#include "ControlServer.h"
#include "Options.h"
#include "PanelServer.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop through a socket pair, so shutdown runs outside the handler.
bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::signal(SIGPIPE, SIG_IGN);
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("panel-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    panelsim::Options options;
    QString error;
    if (!panelsim::parseOptions(QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "panel-sim: %s (see --help)\n", qPrintable(error));
        return 2;
    }
    if (!installSignalHandlers()) {
        std::fprintf(stderr, "panel-sim: cannot install signal handlers\n");
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });

    QList<panelsim::PanelServer *> panels;
    for (int k = 1; k <= options.panels; ++k) {
        const panelsim::PanelOptions &p = options.panel[std::size_t(k - 1)];
        auto *panel = new panelsim::PanelServer(k, QHostAddress(options.baseAddress + quint32(k - 1)),
                                                options.port, options.seed, &app);
        panelsim::PanelState &state = panel->state();
        state.password = p.password.value_or(0);
        state.switchTimeMs = options.switchMs;
        state.drift = options.drift;
        if (p.equipment)
            state.equipment = *p.equipment;
        if (p.zones)
            state.setZoneCount(*p.zones);
        panel->faults().delayMs = p.delayMs.value_or(options.delayMs);
        panel->faults().splitPauseMs = options.splitPauseMs;
        panel->restoreAnswer = p.restoreAuto.value_or(options.restoreAuto) ? panelsim::RestoreAnswer::Accept
                                                                           : panelsim::RestoreAnswer::Hold;
        for (const QString &name : p.faults)
            panel->setFault(name, true);
        panel->setVerbose(options.verbose);
        if (!panel->listen(&error)) {
            std::fprintf(stderr, "panel-sim: panel %d: %s\n", k, qPrintable(error));
            return 1;
        }
        panels.append(panel);
    }

    panelsim::ControlServer control(panels);
    if (!control.listen(options.controlPort, &error)) {
        std::fprintf(stderr, "panel-sim: control: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&control, &panelsim::ControlServer::quitRequested, &app, &QCoreApplication::quit);

    std::printf("panel-sim control %u\n", unsigned(control.port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
