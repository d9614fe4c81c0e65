#pragma once

#include <QString>

// Where the alarm tracker's notices go: an alarm began, ended, or several did within the combining
// window. The alarm mail is one receiver; others take the same notices without the tracker knowing them.
struct AlarmNotice
{
    QString strSubject; // "PDU Warning" or "PDU Warning Cleared"
    QString strText;    // the alarm mail's text
};

class CAlarmNotifier
{
public:
    virtual ~CAlarmNotifier() = default;
    // Called on the tracker's thread; returns at once (a slow receiver queues).
    virtual void notify(const AlarmNotice& notice) = 0;
};
