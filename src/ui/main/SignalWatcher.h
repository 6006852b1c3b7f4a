#pragma once

#include <QObject>

class QSocketNotifier;

namespace kvu {

// Turns SIGTERM and SIGINT into a Qt signal delivered on the UI thread, so that the normal shutdown
// runs. Elsewhere than on Unix it does nothing (the session end reaches the application as usual).
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void terminateRequested();

private:
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace kvu
