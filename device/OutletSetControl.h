#pragma once

#include "device/OutletSetCycle.h"
#include "device/OutletSets.h"
#include "device/SequenceRun.h"

#include <QHash>
#include <QJsonArray>
#include <QMultiHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class COutletControl;
class CPdu;

// What a sequence run looks like to the one who watches it.
struct SequenceView
{
    enum State
    {
        Idle,
        Switching, // the step's frames went out; waiting for the PDUs to show the state
        Waiting,   // the step showed its state; the wait before the next one runs
        Paused,
        Completed,
        Failed,
        Cancelled,
        Interrupted, // found in the journal at start: the program ended in the middle
    };
    QString strName;
    QStringList listSteps; // each step as the operator reads it
    QList<int> listWaits;  // seconds after each step
    int iStep = -1;        // the current (or failed, interrupted) step, 0-based
    State state = Idle;
    int iSecondsLeft = 0; // Waiting and Paused: until the next step
    QString strReason;    // Failed, Interrupted: why, and where
    bool isRunning() const { return state == Switching || state == Waiting || state == Paused; }
};

// Outlet sets and sequences run from this program: on, off and cycle of a set across its PDUs, and
// sequences of such steps. COutletControl owns it and shares its journal, protection list and event
// log: a run is in the journal from before its first frame until it is over, and a program that ended in
// the middle completes a set's cycle at its next start, while a sequence is only reported where it
// stopped.
class COutletSetControl : public QObject
{
    Q_OBJECT
public:
    enum Operation
    {
        SwitchOn,
        SwitchOff,
        Cycle,
    };
    enum Result
    {
        Accepted,
        NeedsOverride, // protected outlets would go off: nothing was sent
        Refused,       // nothing was sent; the reason says why
    };

    COutletSetControl(COutletControl* pControl, const QString& strSetsPath);
    ~COutletSetControl() override;

    COutletSets& file() { return *m_pSets; }
    const COutletControl* control() const { return m_pControl; }
    // Reads the sets file again; false with the reason when it cannot be read.
    bool reload(QString* pError = nullptr);

    // bOverride switches protected outlets off too, on record. pWhy: the reason of a refusal, or the
    // protected outlets that need the override.
    Result runSet(const QString& strSet, Operation op, int iDelay, bool bOverride, QString* pWhy);
    // Brings every outlet of the set's running operation back on.
    void cancelSet(const QString& strSet);
    bool isSetRunning(const QString& strSet) const;
    // Whether a running set operation or sequence step switches this outlet (by the PDU's own index).
    bool isOutletBusy(CPdu* pPdu, int iOutlet) const;
    // The running operation of a set as the operator reads it; empty when none runs.
    QString setState(const QString& strSet) const;

    Result startSequence(const QString& strName, bool bOverride, QString* pWhy);
    void pauseSequence();
    void resumeSequence();
    // Stops further steps; a step half done is brought back to where it began only for outlets that
    // step switched.
    void cancelSequence();
    const SequenceView& sequence() const { return m_view; }
    // "set db-07 on", "outlet 3 of rack-a-top (10.0.0.5) off": a single outlet names its PDU when it is
    // in hashByMac (the room's PDUs by MAC), else its MAC.
    QString stepText(const SequenceStep& step, const QHash<QString, CPdu*>& hashByMac) const;

    // For COutletControl's journal: the running set operations and sequence, and those found at start.
    QJsonArray journalEntries() const;
    void adoptJournal(const QJsonArray& entries);
    // The console is ending: every running set cycle sends its "on".
    void finishAll();
    void tick(qint64 iNowMs);
    bool isIdle() const;

signals:
    void signalSetChanged(const QString& strSet);
    void signalSequenceChanged();

private:
    // One operation on the outlets of a set (or of one outlet, a sequence's step): a cycle by the set's
    // rules, or a switch on or off that is done once every outlet shows it.
    struct Run
    {
        QString strName; // the set's, or "MAC/outlet" for a single outlet
        Operation op = SwitchOn;
        QList<OutletRef> listRefs;
        QList<QPointer<CPdu>> listPdu;
        QList<qint64> listFedMs;
        std::unique_ptr<COutletSetCycle> pCycle;
        qint64 iOnDueEpochMs = 0; // wall clock, for the journal only
        // A switch: per outlet whether it showed the state, when the frame last went out and how often.
        QList<bool> listShown;
        QList<qint64> listSentMs;
        QList<int> listTries;
        QList<int> listGateMs;
        bool bFailed = false;
        bool bDone = false;
        bool bOfSequence = false;
        bool bFailReported = false;
        bool bAdopted = false;       // found in the journal, waiting for its PDUs
        bool bPartialOnSent = false; // adopted, some PDUs silent: the others' outlets were sent "on"
        COutletCycle::Phase reported = COutletCycle::WaitingOff;
        QString strWho; // who asked for it (an API user); empty: this console

        bool isOver(qint64 iNowMs) const { return pCycle ? pCycle->isOver(iNowMs) : (bDone || bFailed); }
        bool bOn() const { return op == SwitchOn; }
    };

    // The sequence being run: its steps as they were when it started, and the step's own run.
    struct Sequence
    {
        std::unique_ptr<CSequenceRun> pRules;
        Run* pStep = nullptr; // the current step's switching
        bool bOverride = false;
        QString strWho; // who started it; its steps are on record under that name
    };
    static QString operationText(Operation op);
    static QString pduText(const CPdu* pPdu);
    Result start(const QString& strName, const QList<OutletRef>& listOutlets, Operation op, int iDelay,
                 bool bOverride, QString* pWhy, Run** ppRun, bool bOfSequence = false);
    bool resolve(const QList<OutletRef>& listRefs, QList<QPointer<CPdu>>* pList, QString* pWhy) const;
    void sendAll(Run& run, const COutletSetCycle::Sends& sends);
    void beginStep(int iStep);
    void adoptWaiting(qint64 iNowMs);
    void powerAnswering(Run& run, const QHash<QString, QList<CPdu*>>& hashByMac, qint64 iNowMs);
    void slotReplyDecoded(int iCommand);
    void drive(Run& run, qint64 iNowMs);
    void stepSequence(qint64 iNowMs);
    void report(const Run& run, int iKind, const QString& strResult);
    void reportSequence(int iKind, const QString& strResult);
    void sequenceChanged();

    COutletControl* m_pControl;
    std::unique_ptr<COutletSets> m_pSets;
    QList<Run*> m_listRuns;
    std::unique_ptr<Sequence> m_pSequence;
    SequenceView m_view;
    // Member PDU -> its runs: a reply looks only at the runs of its own device.
    QMultiHash<CPdu*, Run*> m_hashMembers;
    qint64 m_iAdoptFromMs = 0;
};
