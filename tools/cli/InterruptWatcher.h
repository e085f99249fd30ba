#pragma once

// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so that the
// command-line tool can close its port cleanly on Ctrl-C.

#include <QObject>

class QSocketNotifier;

class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

signals:
    void interrupted();

private:
    QSocketNotifier* notifier_ = nullptr;
};
