#pragma once

#include <QString>
#include <QStringList>

// Why a mail did not go out, readable by an operator: one of the fixed phrases below, filled with what
// the network or the server said. The English text goes to logs and the event log; the page shows it in
// the interface language, and an English text stored earlier can be shown translated again.
struct SmtpFailure
{
    enum Step
    {
        NoStep,  // delivered
        Connect, // up to and including EHLO (and STARTTLS)
        Login,   // authentication
        Send     // envelope, data, or a mail refused before anything was sent
    };

    Step step = NoStep;
    const char* pszPhrase = nullptr; // a phrase with %1, %2 ... in its English source form
    QStringList listArgs;

    bool isFailure() const { return pszPhrase != nullptr; }
    QString text() const;
    QString translatedText() const;

    // A text() of some earlier failure, in the interface language; any other text comes back unchanged.
    static QString translate(const QString& strText);
    // What a server or the network said, made safe for a single log line.
    static QString cleanDetail(const QString& strText);

    static SmtpFailure make(Step step, const char* pszPhrase, const QStringList& listArgs = {});
};

namespace SmtpPhrase {
extern const char* const kNoServer;
extern const char* const kLineBreak;
extern const char* const kNoSender;
extern const char* const kNoConnection;
extern const char* const kConnectTimeout;
extern const char* const kTlsFailed;
extern const char* const kNoStartTls;
extern const char* const kNoReply;
extern const char* const kClosed;
extern const char* const kUnusableReply;
extern const char* const kRefusedConnection;
extern const char* const kRefusedEhlo;
extern const char* const kRefusedStartTls;
extern const char* const kRefusedLogin;
extern const char* const kNoLoginMethod;
extern const char* const kUnencryptedPassword;
extern const char* const kRefusedSender;
extern const char* const kRefusedReceiver;
extern const char* const kRefusedMail;
extern const char* const kNoTimeLeft;
extern const char* const kQueueFull;
} // namespace SmtpPhrase
