#pragma once

#include "mail/MimePart.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class EmailAddress;

// A whole e-mail: envelope addresses, subject and one top-level body part, rendered in Internet
// message format. The message owns the addresses handed to it and the container it creates itself;
// body parts added with addPart stay owned by the caller.
class MimeMessage : public QObject
{
    Q_OBJECT
public:
    enum RecipientType
    {
        To = 0,
        Cc = 1,
        Bcc = 2
    };

    explicit MimeMessage(bool createContainer = true);
    ~MimeMessage() override;

    void setSender(EmailAddress* address);
    EmailAddress* getSender() const { return sender; }
    void addRecipient(EmailAddress* address, int type = To);
    const QList<EmailAddress*>& getRecipients(int type = To) const;
    void setSubject(const QString& text) { subject = text; }
    QString getSubject() const { return subject; }
    void addPart(MimePart* part);
    MimePart* getContent() const { return content; }

    virtual QString toString();

    // "Date:" value: day, date, time and the offset from UTC, always in English.
    static QString formatDate(const QDateTime& dtDate);
    // "Message-ID:" value: unique, with the host part of the sender's address.
    static QString createMessageId(const QString& strSenderAddress);

private:
    EmailAddress* sender = nullptr;
    QList<EmailAddress*> recipientsTo;
    QList<EmailAddress*> recipientsCc;
    QList<EmailAddress*> recipientsBcc;
    QString subject;
    MimePart* content = nullptr;
    MimePart::Encoding headerEncoding = MimePart::Encoding8Bit;
    bool m_bOwnsContent = false;
};
