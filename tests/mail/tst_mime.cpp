#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"
#include "mail/MimeMultiPart.h"
#include "mail/MimeText.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

#include <memory>

// The rendering of composed mails, line by line.
class TestMime : public QObject
{
    Q_OBJECT
private slots:
    void renderMessage_data();
    void renderMessage();
    void dateAndMessageId();
    void formatDate_data();
    void formatDate();
    void messageIdHost_data();
    void messageIdHost();
    void boundary();
    void multiPartRendersChildrenAfresh();
    void recipientLists();
    void addPartOnlyToExactContainer();
};

namespace {
const char* const kCrlf = "\r\n";

// Splits a rendered message at the header lines that change from run to run and checks their form.
QString withoutDateAndId(const QString& strMime, const QString& strHost)
{
    QStringList listLines = strMime.split(QLatin1String(kCrlf));
    const int iDate = listLines.indexOf(QRegularExpression(QStringLiteral("^Date: .*")));
    const int iId = listLines.indexOf(QRegularExpression(QStringLiteral("^Message-ID: .*")));
    if (iDate != 3 || iId != 4)
        return QStringLiteral("Date/Message-ID not at lines 4/5");
    if (!QRegularExpression(
             QStringLiteral(
                 "^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|"
                 "Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$"))
             .match(listLines.at(iDate))
             .hasMatch())
        return QStringLiteral("bad Date: ") + listLines.at(iDate);
    if (!QRegularExpression(QStringLiteral("^Message-ID: <[0-9a-f-]{36}@") +
                            QRegularExpression::escape(strHost) + QStringLiteral(">$"))
             .match(listLines.at(iId))
             .hasMatch())
        return QStringLiteral("bad Message-ID: ") + listLines.at(iId);
    listLines.removeAt(iId);
    listLines.removeAt(iDate);
    return listLines.join(QLatin1String(kCrlf));
}
} // namespace

void TestMime::renderMessage_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QStringList>("to");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected"); // "@B" stands for the boundary, lines joined by CRLF

    const QString strTail = QStringLiteral("MIME-Version: 1.0\r\n"
                                           "Content-Type: multipart/related; boundary=@B\r\n"
                                           "Content-Transfer-Encoding: 8bit\r\n"
                                           "\r\n"
                                           "--@B\r\n"
                                           "Content-Type: text/plain; charset=utf-8\r\n"
                                           "Content-Transfer-Encoding: 8bit\r\n"
                                           "\r\n");
    QTest::newRow("worked example") << "S@h.example" << QStringList{"R@x.example"} << "smtp test"
                                    << "test"
                                    << QString(QStringLiteral("From: <S@h.example>\r\nTo: <R@x.example>\r\n"
                                                              "Subject: smtp test\r\n") +
                                               strTail + QStringLiteral("test\r\n--@B--\r\n\r\n"));
    QTest::newRow("empty body") << "a@b" << QStringList{"c@d"} << "s"
                                << ""
                                << QString(QStringLiteral("From: <a@b>\r\nTo: <c@d>\r\nSubject: s\r\n") +
                                           strTail + QStringLiteral("\r\n--@B--\r\n\r\n"));
    QTest::newRow("no recipient") << "a@b" << QStringList{} << "s"
                                  << "x"
                                  << QString(QStringLiteral("From: <a@b>\r\nTo:\r\nSubject: s\r\n") +
                                             strTail + QStringLiteral("x\r\n--@B--\r\n\r\n"));
    QTest::newRow("three recipients")
        << "a@b" << QStringList{"1@x", "2@y", "3@z"} << "s"
        << "x"
        << QString(QStringLiteral("From: <a@b>\r\nTo: <1@x>, <2@y>, <3@z>\r\nSubject: s\r\n") + strTail +
                   QStringLiteral("x\r\n--@B--\r\n\r\n"));
    QTest::newRow("utf-8 subject and body")
        << "a@b" << QStringList{"c@d"} << QStringLiteral("告警 Ünïcödé") << QStringLiteral("温度 25 °C")
        << QString(QStringLiteral("From: <a@b>\r\nTo: <c@d>\r\nSubject: 告警 Ünïcödé\r\n") + strTail +
                   QStringLiteral("温度 25 °C\r\n--@B--\r\n\r\n"));
    QTest::newRow("alarm text keeps bare LF")
        << "a@b" << QStringList{"c@d"} << "PDU Warning"
        << "Voltage Warn\n\nValue:251\nWarn Limit:250"
        << QString(QStringLiteral("From: <a@b>\r\nTo: <c@d>\r\nSubject: PDU Warning\r\n") + strTail +
                   QStringLiteral("Voltage Warn\n\nValue:251\nWarn Limit:250\r\n--@B--\r\n\r\n"));
    QTest::newRow("sender without host part")
        << "operator" << QStringList{"c@d"} << "s"
        << "x"
        << QString(QStringLiteral("From: <operator>\r\nTo: <c@d>\r\nSubject: s\r\n") + strTail +
                   QStringLiteral("x\r\n--@B--\r\n\r\n"));
}

void TestMime::renderMessage()
{
    QFETCH(QString, sender);
    QFETCH(QStringList, to);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, expected);

    MimeMessage message(true);
    message.setSender(new EmailAddress(sender, QString()));
    for (const QString& strTo : to)
        message.addRecipient(new EmailAddress(strTo, QStringLiteral("ignored display name")),
                             MimeMessage::To);
    message.setSubject(subject);
    MimeText text;
    text.setText(body);
    message.addPart(&text);

    const QString strBoundary = message.getContent()->getBoundary();
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(strBoundary).hasMatch());
    const QString strHost = sender.contains(QLatin1Char('@')) ? sender.section(QLatin1Char('@'), -1)
                                                              : QStringLiteral("localhost");
    QCOMPARE(withoutDateAndId(message.toString(), strHost),
             QString(expected).replace(QStringLiteral("@B"), strBoundary));
}

void TestMime::dateAndMessageId()
{
    MimeMessage message;
    message.setSender(new EmailAddress(QStringLiteral("ops@rack.example"), QString()));
    const QDateTime dtBefore = QDateTime::currentDateTime().addSecs(-1);
    const QStringList listLines = message.toString().split(QLatin1String(kCrlf));
    const QDateTime dtAfter = QDateTime::currentDateTime().addSecs(1);

    const QDateTime dtDate = QDateTime::fromString(listLines.at(3).mid(6), Qt::RFC2822Date);
    QVERIFY2(dtDate.isValid(), qPrintable(listLines.at(3)));
    QVERIFY(dtDate >= dtBefore && dtDate <= dtAfter);
    QCOMPARE(dtDate.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());

    // Every rendering gets an identifier of its own.
    QSet<QString> setIds;
    for (int i = 0; i < 50; ++i)
        setIds.insert(MimeMessage::createMessageId(QStringLiteral("ops@rack.example")));
    QCOMPARE(setIds.size(), 50);
}

void TestMime::formatDate_data()
{
    QTest::addColumn<QDateTime>("date");
    QTest::addColumn<QString>("expected");
    const QDate d(2026, 12, 6);
    const QTime t(20, 5, 9);
    QTest::newRow("utc") << QDateTime(d, t, Qt::OffsetFromUTC, 0) << "Sun, 06 Dec 2026 20:05:09 +0000";
    QTest::newRow("east") << QDateTime(d, t, Qt::OffsetFromUTC, 8 * 3600)
                          << "Sun, 06 Dec 2026 20:05:09 +0800";
    QTest::newRow("west, half hour") << QDateTime(QDate(2027, 3, 1), t, Qt::OffsetFromUTC, -(3 * 3600 + 1800))
                                     << "Mon, 01 Mar 2027 20:05:09 -0330";
    QTest::newRow("time zone") << QDateTime(QDate(2026, 7, 4), QTime(0, 0), QTimeZone("Europe/Berlin"))
                               << "Sat, 04 Jul 2026 00:00:00 +0200";
}

void TestMime::formatDate()
{
    QFETCH(QDateTime, date);
    QFETCH(QString, expected);
    QCOMPARE(MimeMessage::formatDate(date), expected);
}

void TestMime::messageIdHost_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("host");
    QTest::newRow("address") << "alarm@mail.example.org"
                             << "mail.example.org";
    QTest::newRow("two @") << "\"a@b\"@c.example"
                           << "c.example";
    QTest::newRow("no @") << "alarm"
                          << "localhost";
    QTest::newRow("trailing @") << "alarm@"
                                << "localhost";
    QTest::newRow("empty") << ""
                           << "localhost";
}

void TestMime::messageIdHost()
{
    QFETCH(QString, sender);
    QFETCH(QString, host);
    const QString strId = MimeMessage::createMessageId(sender);
    QVERIFY2(strId.startsWith(QLatin1Char('<')) && strId.endsWith(QLatin1Char('@') + host + QLatin1Char('>')),
             qPrintable(strId));
}

void TestMime::boundary()
{
    // The boundary comes from one byte of the generator: 32 hex digits, at most 256 distinct values.
    QSet<QString> setSeen;
    for (int i = 0; i < 2000; ++i) {
        MimeMultiPart part(MimeMultiPart::Related);
        QCOMPARE(part.getBoundary().size(), 32);
        QCOMPARE(part.getContentType(), QStringLiteral("multipart/related"));
        setSeen.insert(part.getBoundary());
    }
    QVERIFY(setSeen.size() > 1);
    QVERIFY(setSeen.size() <= 256);
    QCOMPARE(MimeMultiPart(MimeMultiPart::Mixed).getContentType(), QStringLiteral("multipart/mixed"));
    QCOMPARE(MimeMultiPart(MimeMultiPart::Encrypted).getContentType(), QStringLiteral("multipart/encrypted"));
}

void TestMime::multiPartRendersChildrenAfresh()
{
    MimeMultiPart container(MimeMultiPart::Related);
    MimeText first(QStringLiteral("one"));
    MimeText second(QStringLiteral("two"));
    container.addPart(&first);
    container.addPart(&second);
    const QString strB = container.getBoundary();
    const QString strPart =
        QStringLiteral("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n");
    const QString strExpected = QStringLiteral("Content-Type: multipart/related; boundary=") + strB +
                                QStringLiteral("\r\nContent-Transfer-Encoding: 8bit\r\n\r\n--") + strB +
                                QStringLiteral("\r\n") + strPart + QStringLiteral("one\r\n--") + strB +
                                QStringLiteral("\r\n") + strPart + QStringLiteral("two\r\n--") + strB +
                                QStringLiteral("--\r\n\r\n");
    QCOMPARE(container.toString(), strExpected);

    // A part renders once by itself; the container re-prepares its children each time it prepares.
    first.setText(QStringLiteral("uno"));
    QCOMPARE(first.toString(), strPart + QStringLiteral("one\r\n"));
    QCOMPARE(container.toString(), strExpected);
    container.prepare();
    QVERIFY(container.toString().contains(QStringLiteral("\r\nuno\r\n")));
    QCOMPARE(first.toString(), strPart + QStringLiteral("uno\r\n"));
}

void TestMime::recipientLists()
{
    MimeMessage message;
    message.addRecipient(new EmailAddress(QStringLiteral("to@x")), MimeMessage::To);
    message.addRecipient(new EmailAddress(QStringLiteral("carbon@copy")), MimeMessage::Cc);
    message.addRecipient(new EmailAddress(QStringLiteral("blind@copy")), MimeMessage::Bcc);
    message.addRecipient(new EmailAddress(QStringLiteral("nowhere@x")), 7);
    QCOMPARE(message.getRecipients(MimeMessage::To).size(), 1);
    QCOMPARE(message.getRecipients(MimeMessage::Cc).first()->getAddress(), QStringLiteral("carbon@copy"));
    QCOMPARE(message.getRecipients(MimeMessage::Bcc).first()->getAddress(), QStringLiteral("blind@copy"));
    QCOMPARE(message.getRecipients(9).first()->getAddress(), QStringLiteral("to@x"));
    message.setSender(new EmailAddress(QStringLiteral("s@x")));
    // Cc and Bcc are envelope-only: neither is written as a header. (Addresses that no hex digits can
    // spell: the Message-ID's random part ends right before "@x".)
    const QString strMime = message.toString();
    QVERIFY(!strMime.contains(QStringLiteral("carbon@copy")));
    QVERIFY(!strMime.contains(QStringLiteral("blind@copy")));
    QVERIFY(!strMime.contains(QStringLiteral("nowhere")));
}

void TestMime::addPartOnlyToExactContainer()
{
    MimeMessage withoutContainer(false);
    MimeText text(QStringLiteral("x"));
    withoutContainer.addPart(&text);
    QCOMPARE(withoutContainer.getContent(), nullptr);

    MimeMessage message(true);
    message.addPart(&text);
    QCOMPARE(static_cast<MimeMultiPart*>(message.getContent())->getParts().size(), 1);
}

QTEST_GUILESS_MAIN(TestMime)
#include "tst_mime.moc"
