#pragma once

#include "device/AlarmNotifier.h"
#include "mail/MailDelivery.h"

#include <QPointer>

struct AppSettings;
class CMailQueue;

// The mail settings in force as a job for the mail worker, without subject and body.
MailJob mailJobFromSettings(const AppSettings& settings);

// The alarm mail: each notice becomes a mail to the configured receiver, queued on the room's mail
// worker with the settings in force when the notice came (the Settings page may change them at any
// time), so that a slow or silent server never holds up the tracker.
class CMailNotifier : public CAlarmNotifier
{
public:
    explicit CMailNotifier(CMailQueue* pQueue);
    void notify(const AlarmNotice& notice) override;

private:
    QPointer<CMailQueue> m_pQueue;
};
