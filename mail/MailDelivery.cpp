#include "mail/MailDelivery.h"

#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"
#include "mail/MimeText.h"
#include "mail/SmtpClient.h"

namespace {
SmtpClient::ConnectionType connectionType(const MailJob& job)
{
    return job.ssl        ? SmtpClient::SslConnection
           : job.startTls ? SmtpClient::StartTlsConnection
                          : SmtpClient::TcpConnection;
}
} // namespace

SmtpFailure mailSetupFailure(const MailJob& job)
{
    if (job.host.isEmpty())
        return SmtpFailure::make(SmtpFailure::Connect, SmtpPhrase::kNoServer);
    // Mail from the null sender (meant for bounces) is dropped or refused by many receiving servers.
    if (job.senderAddress().isEmpty())
        return SmtpFailure::make(SmtpFailure::Send, SmtpPhrase::kNoSender);
    if (!job.account.isEmpty() && connectionType(job) == SmtpClient::TcpConnection &&
        !job.allowUnencryptedPassword)
        return SmtpFailure::make(SmtpFailure::Login, SmtpPhrase::kUnencryptedPassword);
    return SmtpFailure();
}

bool deliverMail(const MailJob& job, const std::atomic<qint64>* pAbortAtMs, SmtpFailure* pFailure)
{
    SmtpFailure failure;
    const auto fail = [&](const SmtpFailure& why) {
        if (pFailure)
            *pFailure = why;
        return false;
    };
    // A line break in a value that goes into a command would inject commands of its own, a NUL cuts it
    // short at some servers: refuse the mail before a connection is even opened.
    for (const QString& strValue : {job.senderAddress(), job.receiver, job.subject})
        if (SmtpClient::hasControlCharacter(strValue))
            return fail(SmtpFailure::make(SmtpFailure::Send, SmtpPhrase::kLineBreak));
    if (job.senderAddress().isEmpty())
        return fail(SmtpFailure::make(SmtpFailure::Send, SmtpPhrase::kNoSender));

    SmtpClient client(job.host, job.port, connectionType(job));
    client.setAbortTime(pAbortAtMs);
    client.setUser(job.account);
    client.setPassword(job.password);
    client.setAllowUnencryptedPassword(job.allowUnencryptedPassword);

    MimeMessage message(true);
    message.setSender(new EmailAddress(job.senderAddress(), QString()));
    message.addRecipient(new EmailAddress(job.receiver, QString()), MimeMessage::To);
    message.setSubject(job.subject);
    MimeText text;
    text.setText(job.body);
    message.addPart(&text);

    if (!client.connectToHost() || !client.login() || !client.sendMail(message))
        return fail(client.lastFailure());
    client.quit();
    return true;
}
