#include "mail/MimeMessage.h"

#include "mail/EmailAddress.h"
#include "mail/MimeMultiPart.h"

#include <QLocale>
#include <QUuid>

#include <typeinfo>

MimeMessage::MimeMessage(bool createContainer)
{
    if (createContainer) {
        content = new MimeMultiPart(MimeMultiPart::Related);
        m_bOwnsContent = true;
    }
}

MimeMessage::~MimeMessage()
{
    delete sender;
    qDeleteAll(recipientsTo);
    qDeleteAll(recipientsCc);
    qDeleteAll(recipientsBcc);
    if (m_bOwnsContent)
        delete content;
}

void MimeMessage::setSender(EmailAddress* address)
{
    if (address == sender)
        return;
    delete sender;
    sender = address;
}

void MimeMessage::addRecipient(EmailAddress* address, int type)
{
    switch (type) {
    case To:
        recipientsTo.append(address);
        break;
    case Cc:
        recipientsCc.append(address);
        break;
    case Bcc:
        recipientsBcc.append(address);
        break;
    default:
        // Not taken, so not kept: free it rather than leak it.
        delete address;
        break;
    }
}

const QList<EmailAddress*>& MimeMessage::getRecipients(int type) const
{
    if (type == Cc)
        return recipientsCc;
    if (type == Bcc)
        return recipientsBcc;
    return recipientsTo;
}

void MimeMessage::addPart(MimePart* part)
{
    if (content && typeid(*content) == typeid(MimeMultiPart))
        static_cast<MimeMultiPart*>(content)->addPart(part);
}

QString MimeMessage::toString()
{
    const QString strSender = sender ? sender->getAddress() : QString();
    QString strMime = QStringLiteral("From: <") + strSender + QStringLiteral(">\r\n");
    strMime += QStringLiteral("To:");
    for (int i = 0; i < recipientsTo.size(); ++i) {
        if (i > 0)
            strMime += QLatin1Char(',');
        strMime += QStringLiteral(" <") + recipientsTo.at(i)->getAddress() + QLatin1Char('>');
    }
    strMime += QStringLiteral("\r\n");
    strMime += QStringLiteral("Subject: ") + subject + QStringLiteral("\r\n");
    strMime += QStringLiteral("Date: ") + formatDate(QDateTime::currentDateTime()) + QStringLiteral("\r\n");
    strMime += QStringLiteral("Message-ID: ") + createMessageId(strSender) + QStringLiteral("\r\n");
    strMime += QStringLiteral("MIME-Version: 1.0\r\n");
    if (content)
        strMime += content->toString();
    return strMime;
}

QString MimeMessage::formatDate(const QDateTime& dtDate)
{
    const int iOffset = dtDate.offsetFromUtc() / 60;
    const int iAbs = qAbs(iOffset);
    return QLocale::c().toString(dtDate, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) +
           (iOffset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1%2")
               .arg(iAbs / 60, 2, 10, QLatin1Char('0'))
               .arg(iAbs % 60, 2, 10, QLatin1Char('0'));
}

QString MimeMessage::createMessageId(const QString& strSenderAddress)
{
    QString strHost = strSenderAddress.mid(strSenderAddress.lastIndexOf(QLatin1Char('@')) + 1);
    if (!strSenderAddress.contains(QLatin1Char('@')) || strHost.isEmpty())
        strHost = QStringLiteral("localhost");
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('@') +
           strHost + QLatin1Char('>');
}
