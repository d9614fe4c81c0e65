#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

class CAlarmTracker;
class CPdu;

// What a device's row shows of its alarms: the conditions that hold now, the most severe first, and
// whether any of them still waits for someone to acknowledge it.
struct AlarmMark
{
    enum State
    {
        None,
        Acknowledged,
        Unacknowledged
    };
    State state = None;
    QList<int> listConditions;
    bool operator==(const AlarmMark& o) const
    {
        return state == o.state && listConditions == o.listConditions;
    }
    bool operator!=(const AlarmMark& o) const { return !(*this == o); }
};

// The tracker's alarms by device, for views that ask once per row and tick: the index is made again
// only after the tracker has told of a change, so each question costs a hash lookup however many
// alarms and devices the room has.
class CAlarmMarks : public QObject
{
    Q_OBJECT
public:
    explicit CAlarmMarks(QObject* parent = nullptr);

    void setAlarmTracker(CAlarmTracker* pTracker);
    const AlarmMark& markOf(const CPdu* pPdu);

private:
    QPointer<CAlarmTracker> m_pTracker;
    QHash<const CPdu*, AlarmMark> m_hashMarks;
    bool m_bStale = true;
};
