#pragma once

#include "device/AlarmTracker.h"
#include "mail/MailQueue.h"
#include "room/MailNotifier.h"

// A room's alarm tracker with the alarm mail as its notifier, made together by whoever assembles the
// room and handed to the devices, the windows and the event log. The owner calls finish() on the way
// out, after the devices are gone.
class CRoomAlarms
{
public:
    // Without mail the tracker still tracks, records and shows alarms; nothing is mailed.
    explicit CRoomAlarms(bool bMail = true)
    {
        if (bMail)
            tracker.addNotifier(&mail);
    }
    CRoomAlarms(const CRoomAlarms&) = delete;
    CRoomAlarms& operator=(const CRoomAlarms&) = delete;

    // What waits to be combined goes to the mail worker, and what is queued gets up to iBudgetMsec to
    // go out. False when the worker could not be stopped in time.
    bool finish(int iBudgetMsec = CMailQueue::kExitBudgetMsec)
    {
        tracker.flush();
        return mailQueue.shutdown(iBudgetMsec);
    }

    CMailQueue mailQueue;
    CAlarmTracker tracker;
    CMailNotifier mail{&mailQueue};
};
