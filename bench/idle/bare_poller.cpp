// The least a workstation must do to watch the panels: one connection per panel and, on a 700 ms
// tick, the same requests the program sends (parameters once, scenario icons once, then the status),
// each reply read and dropped. The idle CPU measurement compares the program with it.
//   bare-poller [--panels N] [--base-address A] [--port P] [--password HEX]
// On SIGTERM or SIGINT it prints "replies N" and ends.
#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

struct Panel
{
    std::unique_ptr<QTcpSocket> socket;
    int sent = 0;         // requests sent on this connection
    bool waiting = false; // a request is unanswered
    int waitedTicks = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int panels = 5;
    QString base = QStringLiteral("127.0.0.1");
    quint16 port = 1560;
    QString password = QStringLiteral("1000");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--panels")
            panels = args[i + 1].toInt();
        else if (args[i] == u"--base-address")
            base = args[i + 1];
        else if (args[i] == u"--port")
            port = quint16(args[i + 1].toUInt());
        else if (args[i] == u"--password")
            password = args[i + 1];
    }
    std::signal(SIGTERM, [](int) { stopRequested = 1; });
    std::signal(SIGINT, [](int) { stopRequested = 1; });

    const quint32 first = QHostAddress(base).toIPv4Address();
    std::vector<Panel> all(std::size_t(qBound(1, panels, 5)));
    long replies = 0;
    for (std::size_t k = 0; k < all.size(); ++k) {
        Panel &p = all[k];
        p.socket = std::make_unique<QTcpSocket>();
        QObject::connect(p.socket.get(), &QTcpSocket::readyRead, [&p, &replies] {
            p.socket->readAll();
            p.waiting = false;
            ++replies;
        });
        p.socket->connectToHost(QHostAddress(first + quint32(k)), port);
    }

    QTimer tick;
    tick.setInterval(700);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (stopRequested) {
            std::printf("replies %ld\n", replies);
            std::fflush(stdout);
            app.quit();
            return;
        }
        for (Panel &p : all) {
            if (p.socket->state() != QAbstractSocket::ConnectedState)
                continue;
            // As the program: a new request once the last one is answered or given up on.
            if (p.waiting && ++p.waitedTicks < 5)
                continue;
            const char *code = p.sent == 0 ? "VPr07" : p.sent == 1 ? "VScIc" : "VSt07";
            p.socket->write(QByteArray(code) + '_' + password.toLatin1());
            ++p.sent;
            p.waiting = true;
            p.waitedTicks = 0;
        }
    });
    tick.start();
    return app.exec();
}
