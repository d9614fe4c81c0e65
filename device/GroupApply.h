#pragma once

#include "device/OutletControl.h"
#include "device/PduInfo.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class CPdu;

// Writes the thresholds and/or the delays of one record to several devices at once and finds out, from
// each device's replies, whether it took them. Devices that are offline are not written.
class CGroupApply : public QObject
{
    Q_OBJECT
public:
    enum Outcome
    {
        Waiting,
        Confirmed,
        NotConfirmed,
        Offline
    };
    struct Entry
    {
        QPointer<CPdu> pPdu;
        Outcome outcome = Waiting;
    };
    // A device that has not reported the written values this long after the write did not take them.
    static constexpr int kConfirmMs = 5000;

    explicit CGroupApply(QObject* parent = nullptr);

    // Starts one write; a write still waiting is dropped.
    void start(const QList<CPdu*>& listPdu, const PduInfo& values, bool bThresholds, bool bDelays);
    const QList<Entry>& entries() const { return m_listEntries; }
    bool isFinished() const;

signals:
    void signalEntryChanged(int iIndex);
    void signalFinished();
    // One per device once its outcome is known, for the event log ("group write", outlet 0).
    void signalOperation(const OutletOperation& op);

public slots:
    // Looks at every waiting device's newest replies; runs on a timer while a write waits.
    void slotCheck();

private:
    bool matches(const CPdu* pPdu) const;
    void report(const Entry& entry);

    QList<Entry> m_listEntries;
    PduInfo m_values;
    bool m_bThresholds = false;
    bool m_bDelays = false;
    qint64 m_iSentMsecs = 0; // on the monotonic clock
    QTimer m_timer;
};
