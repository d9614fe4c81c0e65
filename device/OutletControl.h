#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

class CPdu;

// One outlet operation of this console, as the event log records it.
struct OutletOperation
{
    QString strWhat;    // "switch on", "switch off", "cycle", "cycle on", "protect", "unprotect", ...
    QString strPdu;     // the device's name
    QString strAddress; // where its datagrams come from
    QString strMac;
    int iOutlet = 0;   // 1..8; 0 for an operation on the whole device (a group write)
    QString strResult; // "sent", "confirmed on", "refused: protected", "no answer: retrying", ...
    QString strWho = QStringLiteral("this console");
};
Q_DECLARE_METATYPE(OutletOperation)

// The operation as the device is known now: its name, address and MAC.
OutletOperation describeOperation(const CPdu* pPdu, int iOutlet, const QString& strWhat,
                                  const QString& strResult);

// The outlet operations of this console: single switching, power cycles (off now, on after a delay)
// and protected outlets. Every switch frame of the screens leaves through here, so that a protected
// outlet is never switched off and no cycle leaves an outlet dark: the "on" of a cycle is repeated
// until the device reports the outlet on, and sent at once when the console ends.
class COutletControl : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultDelay = 5;
    static constexpr int kMinDelay = 1;
    static constexpr int kMaxDelay = 600;
    // How often cycles look at the clock and at the devices' replies.
    static constexpr int kTickMs = 200;
    // Without a datagram this long after an "on", the device is taken as not answering.
    static constexpr int kAnswerWaitMs = 3000;

    enum Refusal
    {
        Accepted,
        RefusedProtected,
        RefusedBusy,
        RefusedNoDevice
    };

    struct Cycle
    {
        QPointer<CPdu> pPdu;
        int iOutlet = 0;
        int iDelay = kDefaultDelay;
        // On the monotonic clock, as every time of a cycle: a wall clock step neither cuts a cycle short
        // nor leaves an outlet dark.
        qint64 iStartMsecs = 0;
        // The delay counts from the first reply that shows the outlet off: a device switches off only
        // after its own switch-off delay, and an "on" before that would cancel the "off". Until then the
        // "on" is due after the device's switch-off delay and the cycle's delay.
        qint64 iOnDueMsecs = 0;
        bool bOffSeen = false;
        bool bOnSent = false;
        qint64 iLastOnMsecs = 0;
        // The device has not answered since the last "on": it is sent again once it does.
        bool bNoAnswer = false;
        int iOnCount = 0;
    };

    explicit COutletControl(QObject* parent = nullptr);
    // Sends the "on" of every cycle still running.
    ~COutletControl() override;

    // Protected outlets, keyed by the device's MAC address and the outlet number.
    bool isProtected(const CPdu* pPdu, int iOutlet) const;
    void setProtected(CPdu* pPdu, int iOutlet, bool bProtected);
    // "MAC/outlet" entries separated by spaces, as the settings store keeps them.
    QString protectedText() const;
    void setProtectedText(const QString& strText);

    // Sends one switch frame; switching a protected outlet off is refused and sends nothing.
    Refusal switchOutlet(CPdu* pPdu, int iOutlet, bool bOn);
    // Off now, on after iDelay seconds (kMinDelay..kMaxDelay).
    Refusal startCycle(CPdu* pPdu, int iOutlet, int iDelay = kDefaultDelay);
    // Stops retrying or waiting; the outlet is left as it is.
    void cancelCycle(CPdu* pPdu, int iOutlet);
    // The running cycle of an outlet, or null.
    const Cycle* cycle(const CPdu* pPdu, int iOutlet) const;
    // Seconds until the "on" is due (0 once it went out).
    int secondsLeft(const Cycle& c) const;
    // Sends the "on" of every running cycle now and forgets them: the console is ending.
    void finishAll();

public slots:
    void slotTick();

signals:
    // A cycle started, counted down, sent its "on", waits for its device, ended or was cancelled.
    void signalCycleChanged(CPdu* pPdu, int iOutlet);
    void signalProtectionChanged(CPdu* pPdu, int iOutlet);
    void signalOperation(const OutletOperation& op);

private:
    static QString key(const CPdu* pPdu, int iOutlet);
    void sendSwitch(CPdu* pPdu, int iOutlet, bool bOn);
    void sendOn(Cycle& c, const QString& strResult);
    void report(CPdu* pPdu, int iOutlet, const QString& strWhat, const QString& strResult);
    int indexOf(const CPdu* pPdu, int iOutlet) const;

    QSet<QString> m_setProtected;
    QList<Cycle> m_listCycles;
    QTimer m_timer;
};

// The console's outlet operations; set by whoever creates them (the login), null before.
extern COutletControl* g_pOutletControl;
