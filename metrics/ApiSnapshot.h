#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class CAlarmTracker;
class COutletSetControl;
struct OutletSetsData;
class CPdu;

// What the API's read routes serve, rendered once a refresh on the room's thread and handed to the
// server's threads whole: a request looks its PDU up by MAC and copies nothing of the room.
struct ApiSnapshot
{
    QByteArray baPdus;                  // {"pdus":[...]}
    QHash<QString, QByteArray> hashPdu; // twelve upper-case hex digits -> the PDU's object
    QByteArray baAlarms;                // {"alarms":[...]}
    QByteArray baSets;                  // {"sets":[...],"sequences":[...],"sequence":{...}}
};

// A JSON string with its quotes; every control character and the line separators escaped.
void appendJsonString(QByteArray& baOut, const QString& strText);

// The sets and sequences as sets holds them, their runs as pControl has them. pTracker, pControl may be
// null: no alarms, no sets. pIndex: the PDUs by MAC digits, as the snapshot has them.
std::shared_ptr<const ApiSnapshot> renderApiSnapshot(const QList<CPdu*>& listPdu,
                                                     const CAlarmTracker* pTracker,
                                                     const OutletSetsData& sets, COutletSetControl* pControl,
                                                     QHash<QString, CPdu*>* pIndex);
