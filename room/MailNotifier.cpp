#include "room/MailNotifier.h"

#include "common/DeviceText.h"
#include "mail/MailQueue.h"
#include "settings/Settings.h"

MailJob mailJobFromSettings(const AppSettings& settings)
{
    MailJob job;
    job.host = settings.smtpHost;
    job.port = settings.smtpPort;
    job.ssl = settings.smtpSsl;
    job.startTls = settings.smtpStartTls;
    job.allowUnencryptedPassword = settings.smtpAllowUnencryptedPassword;
    job.account = settings.smtpAccount;
    job.password = settings.smtpPassword;
    job.sender = settings.smtpSender;
    job.receiver = settings.smtpReceiver;
    return job;
}

CMailNotifier::CMailNotifier(CMailQueue* pQueue) : m_pQueue(pQueue) {}

void CMailNotifier::notify(const AlarmNotice& notice)
{
    if (!m_pQueue)
        return;
    MailJob job = mailJobFromSettings(g_settings);
    job.subject = mailHeaderText(notice.strSubject);
    job.body = notice.strText;
    m_pQueue->enqueue(job);
}
