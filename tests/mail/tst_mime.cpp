#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"
#include "mail/MimeMultiPart.h"
#include "mail/MimeText.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

namespace {
const QString kPart =
    QStringLiteral("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n");

// The rendering with its Date and Message-ID lines taken out once their form is checked.
QString withoutDateAndId(const QString& strMime, const QString& strHost)
{
    QStringList listLines = strMime.split(QStringLiteral("\r\n"));
    const QRegularExpression reDate(QStringLiteral(
        "^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "\\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$"));
    const QRegularExpression reId(QStringLiteral("^Message-ID: <[0-9a-f-]{36}@") +
                                  QRegularExpression::escape(strHost) + QStringLiteral(">$"));
    if (listLines.size() < 5 || !reDate.match(listLines.at(3)).hasMatch() ||
        !reId.match(listLines.at(4)).hasMatch())
        return QStringLiteral("bad Date or Message-ID: ") + strMime;
    listLines.removeAt(4);
    listLines.removeAt(3);
    return listLines.join(QStringLiteral("\r\n"));
}
} // namespace

using MessageRow = std::tuple<QString, QStringList, QString, QString, QString>;
Q_DECLARE_METATYPE(MessageRow)

// The rendering of composed mails, line by line.
class TestMime : public QObject
{
    Q_OBJECT
private slots:
    void renderMessage_data()
    {
        // head: From, To and Subject lines
        QTest::addColumn<MessageRow>("row");

        QTest::newRow("three recipients, utf-8")
            << MessageRow("\"a@b\"@h.example", {"1@x", "2@y", "3@z"}, QStringLiteral("告警 Ünïcödé"),
                          QStringLiteral("温度 25 °C"),
                          QStringLiteral("From: <\"a@b\"@h.example>\r\nTo: <1@x>, <2@y>, <3@z>\r\n"
                                         "Subject: 告警 Ünïcödé"));
        QTest::newRow("no recipient, empty body")
            << MessageRow("a@b", {}, "s", QString(), "From: <a@b>\r\nTo:\r\nSubject: s");
        QTest::newRow("alarm text keeps bare LF")
            << MessageRow("operator", {"c@d"}, "PDU Warning", "Voltage Warn\n\nValue:251\nWarn Limit:250",
                          "From: <operator>\r\nTo: <c@d>\r\nSubject: PDU Warning");
    }
    void renderMessage()
    {
        QFETCH(MessageRow, row);
        const auto& [sender, to, subject, body, head] = row;

        MimeMessage message(true);
        message.setSender(new EmailAddress(sender, QString()));
        for (const QString& strTo : to)
            message.addRecipient(new EmailAddress(strTo, QStringLiteral("ignored display name")));
        message.setSubject(subject);
        MimeText text;
        text.setText(body);
        message.addPart(&text);

        const QString strB = message.getContent()->getBoundary();
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(strB).hasMatch());
        const QString strHost = sender.contains(QLatin1Char('@')) ? sender.section(QLatin1Char('@'), -1)
                                                                  : QStringLiteral("localhost");
        QCOMPARE(
            withoutDateAndId(message.toString(), strHost),
            head + QStringLiteral("\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=%1\r\n"
                                  "Content-Transfer-Encoding: 8bit\r\n\r\n--%1\r\n%2%3\r\n--%1--\r\n\r\n")
                       .arg(strB, kPart, body));
    }
    void dateAndMessageId()
    {
        MimeMessage message;
        message.setSender(new EmailAddress(QStringLiteral("ops@rack.example"), QString()));
        const QDateTime dtBefore = QDateTime::currentDateTime().addSecs(-1);
        const QStringList listLines = message.toString().split(QStringLiteral("\r\n"));
        const QDateTime dtDate = QDateTime::fromString(listLines.at(3).mid(6), Qt::RFC2822Date);
        QVERIFY2(dtDate >= dtBefore && dtDate <= QDateTime::currentDateTime().addSecs(1),
                 qPrintable(listLines.at(3)));
        QCOMPARE(dtDate.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
        // Every rendering gets an identifier of its own.
        QSet<QString> setIds;
        for (int i = 0; i < 50; ++i)
            setIds.insert(MimeMessage::createMessageId(QStringLiteral("ops@rack.example")));
        QCOMPARE(setIds.size(), 50);
    }
    void formatDate_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("expected");
        const QTime t(20, 5, 9);
        QTest::newRow("utc") << QDateTime(QDate(2026, 12, 6), t, Qt::OffsetFromUTC, 0)
                             << "Sun, 06 Dec 2026 20:05:09 +0000";
        QTest::newRow("west, half hour")
            << QDateTime(QDate(2027, 3, 1), t, Qt::OffsetFromUTC, -(3 * 3600 + 1800))
            << "Mon, 01 Mar 2027 20:05:09 -0330";
        QTest::newRow("time zone") << QDateTime(QDate(2026, 7, 4), QTime(0, 0), QTimeZone("Europe/Berlin"))
                                   << "Sat, 04 Jul 2026 00:00:00 +0200";
    }
    void formatDate()
    {
        QFETCH(QDateTime, date);
        QFETCH(QString, expected);
        QCOMPARE(MimeMessage::formatDate(date), expected);
    }
    void copiesAreEnvelopeOnly()
    {
        MimeMessage message;
        message.addRecipient(new EmailAddress(QStringLiteral("to@x")), MimeMessage::To);
        message.addRecipient(new EmailAddress(QStringLiteral("carbon@copy")), MimeMessage::Cc);
        message.addRecipient(new EmailAddress(QStringLiteral("blind@copy")), MimeMessage::Bcc);
        QCOMPARE(message.getRecipients(MimeMessage::Cc).first()->getAddress(), QStringLiteral("carbon@copy"));
        QCOMPARE(message.getRecipients(MimeMessage::Bcc).first()->getAddress(), QStringLiteral("blind@copy"));
        message.setSender(new EmailAddress(QStringLiteral("s@x")));
        // Neither copy is written as a header. (No hex digits spell these: the Message-ID cannot hold them.)
        const QString strMime = message.toString();
        QVERIFY(strMime.contains(QStringLiteral("To: <to@x>")));
        QVERIFY(!strMime.contains(QStringLiteral("copy")));
    }
};

QTEST_GUILESS_MAIN(TestMime)
#include "tst_mime.moc"
