#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGHUP, SIGTERM and SIGINT into a Qt signal on the thread that created this object: the
// handler only notes the signal and wakes the event loop through a socket pair. Signals of one kind
// that come faster than they are handled are handled once. Made, it unblocks the
// three on its thread, so a program may block them at its first instruction and lose none.
class CUnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit CUnixSignals(QObject* parent = nullptr);
    ~CUnixSignals() override;

signals:
    void signalReceived(int iSignal);

private:
    QSocketNotifier* m_pNotifier = nullptr;
};
