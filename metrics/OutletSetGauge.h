#pragma once

#include "device/OutletSets.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

class CPdu;

// The machine's outlet sets on the metrics page: for each set, the share of its outlets switched on. The
// sets file is looked at (one stat) with each page and read again only when it changed; a file that
// cannot be read keeps the sets read before.
class COutletSetGauge
{
public:
    // Looks (about seconds, at a page a second) the file may stay locked before the log hears of it.
    static constexpr int kLockedLooksTold = 10;

    explicit COutletSetGauge(const QString& strPath);

    // Reads the file again when it changed since the last look, or whatever it looks like when bForce;
    // while another program holds its lock, at a later call. Returns a line for the log when the sets
    // changed, the file became unreadable (once, until it can be read again) or stayed locked for
    // kLockedLooksTold calls; empty otherwise.
    QString update(bool bForce = false);
    int setCount() const { return m_vecSets.size(); }
    // The sets and sequences as last read.
    const OutletSetsData& data() const { return m_data; }

    // One sample per set in name order: its outlets that an online PDU shows on, over its outlets. Costs
    // the number of PDUs plus the number of outlets in sets: the PDUs are found through an index of the
    // sets' MACs made when the file is read.
    void appendSamples(QByteArray& baOut, const QList<CPdu*>& listPdu) const;

private:
    struct Set
    {
        QByteArray baLabels;       // set="NAME"
        QVector<int> vecSlot;      // per outlet, its PDU's slot
        QVector<quint8> vecOutlet; // per outlet, 0..7
    };
    struct Stamp
    {
        bool bExists = false;
        qint64 aiFields[7] = {};
        bool operator==(const Stamp& o) const;
    };
    static Stamp stampOf(const QString& strPath);
    // Whether another program holds the file's lock so that a read would wait.
    static bool lockHeld(const QString& strPath);

    QString m_strPath;
    QVector<Set> m_vecSets;
    QHash<quint64, int> m_hashSlot; // MAC -> slot
    bool m_bLooked = false;
    Stamp m_stamp;
    bool m_bRecent = false;  // changed so lately that the stamp may not show the next change
    bool m_bPending = false; // a read put off while the file was locked
    int m_iLockedLooks = 0;
    bool m_bFailing = false;
    OutletSetsData m_data;
};
