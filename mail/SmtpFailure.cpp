#include "mail/SmtpFailure.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <vector>

namespace SmtpPhrase {
const char* const kNoServer = QT_TRANSLATE_NOOP("SmtpFailure", "no mail server set");
const char* const kLineBreak =
    QT_TRANSLATE_NOOP("SmtpFailure", "a line break or control character in the sender, receiver or subject");
const char* const kNoSender =
    QT_TRANSLATE_NOOP("SmtpFailure", "no sender address: set a sender or an account");
const char* const kNoConnection = QT_TRANSLATE_NOOP("SmtpFailure", "no connection to the mail server %1: %2");
const char* const kConnectTimeout =
    QT_TRANSLATE_NOOP("SmtpFailure", "no connection to the mail server %1 within %2 s");
const char* const kTlsFailed = QT_TRANSLATE_NOOP("SmtpFailure", "the TLS handshake with %1 failed: %2");
const char* const kNoStartTls = QT_TRANSLATE_NOOP(
    "SmtpFailure", "the mail server %1 does not offer STARTTLS; nothing was sent unencrypted");
const char* const kNoReply =
    QT_TRANSLATE_NOOP("SmtpFailure", "no reply from the mail server to %1 within %2 s");
const char* const kClosed = QT_TRANSLATE_NOOP(
    "SmtpFailure", "the mail server closed the connection while the reply to %1 was awaited");
const char* const kUnusableReply =
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server's reply to %1 is unusable");
const char* const kRefusedConnection =
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused the connection: %1");
const char* const kRefusedEhlo = QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused EHLO: %1");
const char* const kRefusedStartTls = QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused STARTTLS: %1");
const char* const kRefusedLogin = QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused the login: %1");
const char* const kNoLoginMethod =
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server offers no login method this program knows: %1");
const char* const kUnencryptedPassword =
    QT_TRANSLATE_NOOP("SmtpFailure", "the password would go unencrypted: choose SSL or STARTTLS, or allow an "
                                     "unencrypted password");
const char* const kRefusedSender =
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused the sender %1: %2");
const char* const kRefusedReceiver =
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused the receiver %1: %2");
const char* const kRefusedMail =
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server did not take the mail: %1");
const char* const kNoTimeLeft = QT_TRANSLATE_NOOP("SmtpFailure", "no time left before the program ended");
const char* const kQueueFull =
    QT_TRANSLATE_NOOP("SmtpFailure", "dropped: too many mails waiting for the server");
} // namespace SmtpPhrase

namespace {
using namespace SmtpPhrase;

// Texts of earlier versions, still found in event logs.
const char* const kOldPhrases[] = {
    QT_TRANSLATE_NOOP("SmtpFailure", "a line break in the account, receiver or subject"),
    QT_TRANSLATE_NOOP("SmtpFailure", "no connection to the mail server"),
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server refused the login"),
    QT_TRANSLATE_NOOP("SmtpFailure", "the mail server did not take the mail"),
};

struct Pattern
{
    const char* pszPhrase;
    QString strPrefix; // the text before the first placeholder, a quick test before the expression
    QRegularExpression re;
};

const std::vector<Pattern>& patterns()
{
    static const std::vector<Pattern> s_patterns = [] {
        std::vector<Pattern> list;
        const auto add = [&](const char* pszPhrase) {
            const QString strPhrase = QString::fromLatin1(pszPhrase);
            QString strRe = QRegularExpression::escape(strPhrase);
            strRe.replace(QRegularExpression(QStringLiteral("\\\\%\\d")), QStringLiteral("(.*)"));
            list.push_back({pszPhrase, strPhrase.left(strPhrase.indexOf(QLatin1Char('%'))),
                            QRegularExpression(QLatin1Char('^') + strRe + QLatin1Char('$'),
                                               QRegularExpression::DotMatchesEverythingOption)});
        };
        for (const char* psz :
             {kNoServer,      kLineBreak,       kNoConnection, kConnectTimeout, kTlsFailed,
              kNoStartTls,    kNoReply,         kClosed,       kUnusableReply,  kRefusedConnection,
              kRefusedEhlo,   kRefusedStartTls, kRefusedLogin, kNoLoginMethod,  kUnencryptedPassword,
              kRefusedSender, kRefusedReceiver, kRefusedMail,  kNoTimeLeft,     kNoSender,
              kQueueFull})
            add(psz);
        for (const char* psz : kOldPhrases)
            add(psz);
        return list;
    }();
    return s_patterns;
}

QString fill(const QString& strPhrase, const QStringList& listArgs)
{
    // One pass over the placeholders, so that a "%1" in what a server said stays as it is.
    QString strText;
    for (int i = 0; i < strPhrase.size(); ++i) {
        const int iArg = i + 1 < strPhrase.size() && strPhrase.at(i) == QLatin1Char('%')
                             ? strPhrase.at(i + 1).digitValue()
                             : -1;
        if (iArg >= 1 && iArg <= listArgs.size()) {
            strText += listArgs.at(iArg - 1);
            ++i;
        } else {
            strText += strPhrase.at(i);
        }
    }
    return strText;
}
} // namespace

SmtpFailure SmtpFailure::make(Step step, const char* pszPhrase, const QStringList& listArgs)
{
    SmtpFailure failure;
    failure.step = step;
    failure.pszPhrase = pszPhrase;
    for (const QString& strArg : listArgs)
        failure.listArgs << cleanDetail(strArg);
    return failure;
}

QString SmtpFailure::text() const
{
    return isFailure() ? fill(QString::fromLatin1(pszPhrase), listArgs) : QString();
}

QString SmtpFailure::translatedText() const
{
    return isFailure() ? fill(QCoreApplication::translate("SmtpFailure", pszPhrase), listArgs) : QString();
}

QString SmtpFailure::translate(const QString& strText)
{
    for (const Pattern& pattern : patterns()) {
        if (!strText.startsWith(pattern.strPrefix))
            continue;
        const QRegularExpressionMatch match = pattern.re.match(strText);
        if (!match.hasMatch())
            continue;
        QStringList listArgs = match.capturedTexts();
        listArgs.removeFirst();
        return fill(QCoreApplication::translate("SmtpFailure", pattern.pszPhrase), listArgs);
    }
    return strText;
}

QString SmtpFailure::cleanDetail(const QString& strText)
{
    constexpr int kMaxDetail = 300;
    QString strClean = strText.trimmed();
    // Line and paragraph separators break lines in the console's views, direction marks reorder them.
    for (QChar& c : strClean)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    if (strClean.size() > kMaxDetail)
        strClean = strClean.left(kMaxDetail) + QStringLiteral("...");
    return strClean;
}
