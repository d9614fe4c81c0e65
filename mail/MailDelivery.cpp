#include "mail/MailDelivery.h"

#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"
#include "mail/MimeText.h"
#include "mail/SmtpClient.h"

bool deliverMail(const MailJob& job, const std::atomic<qint64>* pAbortAtMs, QString* pWhy)
{
    auto fail = [pWhy](const char* pszWhy) {
        if (pWhy)
            *pWhy = QString::fromLatin1(pszWhy);
        return false;
    };
    // A line break in a value that goes into a command would inject commands of its own: refuse the
    // mail before a connection is even opened.
    for (const QString& strValue : {job.account, job.receiver, job.subject})
        if (strValue.contains(QLatin1Char('\r')) || strValue.contains(QLatin1Char('\n')))
            return fail("a line break in the account, receiver or subject");

    SmtpClient client(job.host, job.port, job.ssl ? SmtpClient::SslConnection : SmtpClient::TcpConnection);
    client.setAbortTime(pAbortAtMs);
    client.setUser(job.account);
    client.setPassword(job.password);

    MimeMessage message(true);
    message.setSender(new EmailAddress(job.account, QString()));
    message.addRecipient(new EmailAddress(job.receiver, QString()), MimeMessage::To);
    message.setSubject(job.subject);
    MimeText text;
    text.setText(job.body);
    message.addPart(&text);

    if (!client.connectToHost())
        return fail("no connection to the mail server");
    if (!client.login())
        return fail("the mail server refused the login");
    if (!client.sendMail(message))
        return fail("the mail server did not take the mail");
    client.quit();
    return true;
}
