#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVector>

class COutletSetGauge;
class CPdu;

// The console's own figures that go beside the devices' readings.
struct MetricsTotals
{
    qint64 iRepliesReceived = 0;
    qint64 iRepliesDropped = 0;
    qint64 iLastPollMsecs = 0; // ms since the epoch, 0 before the first poll
    int iPolledInterfaces = 0;
    qint64 iHistorySamplesDropped = 0;
    // Whether the history file takes what is recorded (1, 0; -1 without a store, then neither it nor the
    // samples waiting for the file are shown).
    int iHistoryAvailable = -1;
    qint64 iHistorySamplesPending = 0;
    // Each PDU's energy since the history file first recorded it (Energy units, by MAC as the store
    // keys it); empty without a store, and then no energy series is shown.
    QHash<QString, qint64> hashEnergyUnits;
};

// The devices' readings, outlets and limits and the console's totals in the
// Prometheus text exposition format (version 0.0.4), one family after another. Each PDU has one info
// series with its descriptive labels; every other series carries only its MAC (plus the
// outlet), so that renaming or regrouping a PDU starts no new series. An offline PDU keeps only its
// info and online 0 (and its energy counter, which only the store moves); limits appear once the PDU
// reported them. Each group has its load (the currents of its online PDUs), and a group with a budget
// its budget and breaker rating. Alarm conditions are not series of their own: they are readings
// compared with limits, which a rule does from these.
QByteArray renderMetrics(const QList<CPdu*>& listPdu, const MetricsTotals& totals);
// Every device's label sets kept from one page to the next, and made again only when what they are
// made of (MAC, name, position, address, group) changed: most of the cost of a page otherwise.
class CMetricsLabels
{
public:
    struct Entry
    {
        QByteArray baKey;
        QByteArray baInfo; // mac, name, position, address, group
        QByteArray baMac;  // mac only
    };
    const Entry& of(const CPdu* pPdu);

private:
    QHash<const CPdu*, Entry> m_hashEntry;
};

// The same, written into baOut (emptied first), whose memory is reused when it is large enough; where
// each family begins goes to pvecFamilies; label sets come from pLabels when given; the outlet sets'
// samples from pSets when given.
void renderMetrics(const QList<CPdu*>& listPdu, const MetricsTotals& totals, QByteArray& baOut,
                   QVector<int>* pvecFamilies = nullptr, CMetricsLabels* pLabels = nullptr,
                   const COutletSetGauge* pSets = nullptr);
// strValue as a label value of the exposition format: backslash, double quote and line feed escaped.
void appendLabelValue(QByteArray& baOut, const QString& strValue);
