#pragma once

#include "device/OutletCycle.h"
#include "device/ProtectionList.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class COutletSetControl;
class CPdu;

// One outlet operation of this console, as the event log records it.
struct OutletOperation
{
    int iKind = 0;      // the event log's kind (HistoryEvent::Kind); 0: nothing to log
    QString strWhat;    // "switch on", "switch off", "cycle", "protect", "unprotect", "group write", ...
    QString strPdu;     // the device's name
    QString strAddress; // where its datagrams come from
    QString strMac;
    int iOutlet = 0;   // 1..8; 0 for an operation on the whole device (a group write)
    QString strOld;    // a group write: the value before
    QString strNew;    // the value wanted
    QString strResult; // "sent", "confirmed on", "refused: protected", "did not switch off", ...
    QString strWho = QStringLiteral("this console");
};
Q_DECLARE_METATYPE(OutletOperation)

// The operation as the device is known now: its name, address and MAC.
OutletOperation describeOperation(const CPdu* pPdu, int iOutlet, const QString& strWhat,
                                  const QString& strResult);

// The outlet operations of this console: single switching, power cycles (off, then on after a delay,
// by the rules of COutletCycle) and protected outlets. Every switch frame of the screens leaves through
// here, so that a protected outlet is never switched off and no cycle leaves an outlet dark: running
// cycles are kept in a journal file from start to end, so that a console that ended in the middle
// (killed, crashed, power lost) finishes them when it starts again.
class COutletControl : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultDelay = 5;
    static constexpr int kMinDelay = COutletCycle::kMinDelay;
    static constexpr int kMaxDelay = COutletCycle::kMaxDelay;
    // How often cycles look at the clock.
    static constexpr int kTickMs = 200;
    // How long after start cycles of an earlier run wait for every device to answer (three poll rounds).
    static constexpr int kAdoptAfterMs = 3000;

    enum Refusal
    {
        Accepted,
        RefusedProtected,
        RefusedBusy,
        RefusedNoDevice,
        RefusedMacUnknown,    // the device's MAC has not arrived: its protection cannot be told yet
        RefusedNoJournal,     // a cycle that cannot be recorded would be lost with the program
        RefusedSharedAddress, // another device answers from its address: the command could reach that one
    };

    struct Cycle
    {
        QPointer<CPdu> pPdu;
        QString strMac; // as the journal knows it
        int iOutlet = 0;
        COutletCycle rules{kDefaultDelay, 0, 0};
        qint64 iOnDueEpochMs = 0; // wall clock, only for the journal: a restart cannot read monotonic time
        qint64 iFedMs = -1;       // the newest reply handed to the rules
        QString strActor;         // who started it; empty: this console
    };

    // strJournal: the file that keeps running cycles; empty keeps none (tests of the rules alone).
    explicit COutletControl(QObject* parent = nullptr, const QString& strJournal = QString(),
                            const QString& strProtection = CProtectionList::defaultPath());
    // Sends the "on" of every cycle still running.
    ~COutletControl() override;
    // cycles.json in the program's data folder.
    static QString defaultJournalPath();

    // Protected outlets, by the device's MAC and the outlet number, from the machine's list. A device
    // whose MAC has not arrived counts as protected: it may be.
    bool isProtected(const CPdu* pPdu, int iOutlet) const;
    bool isMacKnown(const CPdu* pPdu) const;
    // False with the reason when the MAC is unknown or the machine's list cannot be written.
    bool setProtected(CPdu* pPdu, int iOutlet, bool bProtected, QString* pError = nullptr);
    // Entries of an older console's own settings join the machine's list; false when it cannot be written.
    bool adoptProtected(const QString& strEntries);
    // A MAC written to the device from this console: its protection follows it.
    void followMac(const QString& strOldMac, const QString& strNewMac);
    QString protectionPath() const { return m_protection.path(); }
    // Whether the machine's protection list could be read (re-read at most once a second).
    bool isProtectionReadable() const;
    // Puts an override of protected outlets on record before anything goes out.
    void recordOverride(CPdu* pPdu, int iOutlet, const QString& strWhat, const QString& strBy);
    // The outlet sets and sequences run from this program; they share this journal.
    COutletSetControl* outletSets() const { return m_pSets; }
    QString journalPath() const { return m_strJournal; }
    // Whom the operations are recorded for (an API user); empty: this console.
    const QString& actor() const { return m_strActor; }
    // Operations put on record while it lives are strWho's. bCarriedOn: only when nobody asks now, for
    // the later steps of a run, which are its starter's and not this console's.
    class ActorScope
    {
    public:
        ActorScope(COutletControl* pControl, const QString& strWho, bool bCarriedOn = false)
            : m_pControl(pControl), m_strSaved(pControl->m_strActor)
        {
            if (!bCarriedOn || m_strSaved.isEmpty())
                m_pControl->m_strActor = strWho;
        }
        ~ActorScope() { m_pControl->m_strActor = m_strSaved; }
        ActorScope(const ActorScope&) = delete;
        ActorScope& operator=(const ActorScope&) = delete;

    private:
        COutletControl* m_pControl;
        QString m_strSaved;
    };
    // Puts an operation on record (signalOperation), in the actor's name when one is set.
    void emitOperation(OutletOperation op);

    // Sends one switch frame; switching a protected outlet off is refused and sends nothing.
    Refusal switchOutlet(CPdu* pPdu, int iOutlet, bool bOn);
    // Off now, on after iDelay seconds (kMinDelay..kMaxDelay) once the device showed it off.
    Refusal startCycle(CPdu* pPdu, int iOutlet, int iDelay = kDefaultDelay);
    // Brings the power back: an "on" now, repeated until the device shows it.
    void cancelCycle(CPdu* pPdu, int iOutlet);
    // The cycle of an outlet (running, or failed and still watched for a late "off"), or null.
    const Cycle* cycle(const CPdu* pPdu, int iOutlet) const;
    // Seconds until the "on" is due (0 once it went out).
    int secondsLeft(const Cycle& c) const;
    // Sends the "on" of every running cycle now: the console is ending. The journal keeps them, so
    // that the next start makes sure they came on.
    void finishAll();

public slots:
    void slotTick();

signals:
    // A cycle started, counted down, sent its "on", waits for its device, ended or was cancelled.
    void signalCycleChanged(CPdu* pPdu, int iOutlet);
    void signalProtectionChanged(CPdu* pPdu, int iOutlet);
    void signalOperation(const OutletOperation& op);

private:
    // Sets and sequences switch, report and keep their journal through the same paths as single outlets.
    friend class COutletSetControl;
    static QString macOf(const CPdu* pPdu);
    void slotReplyDecoded(int iCommand);
    void sendSwitch(CPdu* pPdu, int iOutlet, bool bOn);
    void report(CPdu* pPdu, int iOutlet, int iKind, const QString& strWhat, const QString& strResult);
    // True, and the refusal reported, when another device answers from pPdu's address.
    bool refusedAtSharedAddress(CPdu* pPdu, int iOutlet, const QString& strWhat);
    int indexOf(const CPdu* pPdu, int iOutlet) const;
    void watch(CPdu* pPdu);

    // Sends what the rules asked for and logs each step and the end.
    void act(Cycle& c, COutletCycle::Action action, COutletCycle::Phase before);
    void refreshProtection() const;
    QString protectedResult() const;
    void adoptJournal();
    // False when the journal cannot be written.
    bool writeJournal();

    mutable CProtectionList m_protection;
    mutable qint64 m_iProtectionReadMs = -1;
    mutable bool m_bProtectionReadable = true;
    QString m_strJournal;
    QString m_strActor;
    QList<Cycle> m_listCycles;
    // Cycles found in the journal at start, waiting for their device to answer.
    QList<Cycle> m_listOrphans;
    qint64 m_iAdoptFromMs = 0;
    bool m_bEnding = false;
    QTimer m_timer;
    COutletSetControl* m_pSets = nullptr;
};
