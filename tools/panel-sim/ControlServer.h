#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace panelsim {

class PanelServer;

// Line-based control channel on loopback: one command per line, one answer line ("ok ..." or "error ...").
class ControlServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxLine = 4096;

    ControlServer(QList<PanelServer *> panels, QObject *parent = nullptr);

    bool listen(quint16 port, QString *error);
    quint16 port() const { return server_.serverPort(); }

    // Runs one command line and gives the answer line without its newline; sets quit for "quit".
    QString execute(const QString &line, bool *quit);

Q_SIGNALS:
    void quitRequested();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    QString panelCommand(PanelServer &panel, const QStringList &words, const QString &line);
    QString setCommand(PanelServer &panel, const QStringList &args);
    QString getCommand(PanelServer &panel, const QStringList &args);
    QString zoneCommand(PanelServer &panel, const QStringList &args);
    QString restoreCommand(PanelServer &panel, const QString &how);
    QString archiveCommand(PanelServer &panel, const QStringList &args);

    QList<PanelServer *> panels_;
    QTcpServer server_;
};

} // namespace panelsim
