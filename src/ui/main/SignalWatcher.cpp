#include "ui/main/SignalWatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kvu {

#ifdef Q_OS_UNIX
namespace {
int signalFds[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto written = ::write(signalFds[0], &c, 1);
}
} // namespace
#endif

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0)
        return;
    ::fcntl(signalFds[0], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        [[maybe_unused]] const auto n = ::read(signalFds[1], buf, sizeof buf);
        Q_EMIT terminateRequested();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
#endif
}

SignalWatcher::~SignalWatcher()
{
#ifdef Q_OS_UNIX
    if (notifier_) {
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
    }
#endif
}

} // namespace kvu
