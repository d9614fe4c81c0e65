// Arbitrary server bytes into the SMTP client's reply reader, through the whole delivery dialogue:
// greeting, EHLO, AUTH PLAIN, MAIL FROM, RCPT TO (three recipients), DATA, the end of data and QUIT.
//
// Input: everything the server says, in one piece. It waits in one end of a local socket pair (no
// network is involved) whose writing side is then shut, so every read either finds data at once or
// meets the end of the stream: no run waits for a time-out.

#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"
#include "mail/MimeText.h"
#include "mail/SmtpClient.h"
#include "tests/fuzz/FuzzCheck.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <cstdint>
#include <cstdlib>

#include <sys/socket.h>
#include <unistd.h>

namespace {
// Kept below what one socket buffer takes, so the server side never has to wait for the client.
constexpr size_t kMaxInput = 48 * 1024;

void checkLastReply(const SmtpClient& client)
{
    FUZZ_CHECK(client.getResponseCode() >= 0 && client.getResponseCode() <= 999);
    // No reply line longer than the limit is ever taken in (a byte never turns into more than one
    // character, whatever its encoding).
    FUZZ_CHECK(client.getResponseText().trimmed().size() <= SmtpClient::kMaxReplyLineLength);
}

void runDialogue(SmtpClient& client)
{
    // The socket is already connected, so connectToHost goes straight to the greeting.
    const bool bConnected = client.connectToHost();
    checkLastReply(client);
    if (!bConnected)
        return;
    FUZZ_CHECK(client.getResponseCode() == 250);
    const bool bLoggedIn = client.login();
    checkLastReply(client);
    if (!bLoggedIn)
        return;
    FUZZ_CHECK(client.getResponseCode() == 235);

    MimeMessage message(true);
    message.setSender(new EmailAddress(QStringLiteral("console@example.test")));
    message.addRecipient(new EmailAddress(QStringLiteral("ops@example.test")), MimeMessage::To);
    message.addRecipient(new EmailAddress(QStringLiteral("night@example.test")), MimeMessage::To);
    message.addRecipient(new EmailAddress(QStringLiteral("lead@example.test")), MimeMessage::Cc);
    message.setSubject(QStringLiteral("PDU Warning"));
    MimeText text;
    text.setText(QStringLiteral("Voltage Warn\n\nValue:251\n.\n"));
    message.addPart(&text);
    const bool bSent = client.sendMail(message);
    checkLastReply(client);
    if (bSent) {
        FUZZ_CHECK(client.getResponseCode() == 250);
        client.quit();
    }
}

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& strMessage)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(strMessage));
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int s_iArgc = 1;
    static char s_strName[] = "fuzz_smtpreply";
    static char* s_argv[] = {s_strName, nullptr};
    static QCoreApplication* s_pApp = new QCoreApplication(s_iArgc, s_argv);
    (void)s_pApp;
    // Connecting an already connected socket warns on every run.
    qInstallMessageHandler(quietMessages);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    int fds[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
    const int iBuffer = 256 * 1024;
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &iBuffer, sizeof iBuffer);
    size_t iWritten = 0;
    while (iWritten < size) {
        const ssize_t n = ::send(fds[1], data + iWritten, size - iWritten, MSG_DONTWAIT | MSG_NOSIGNAL);
        FUZZ_CHECK(n > 0);
        iWritten += size_t(n);
    }
    ::shutdown(fds[1], SHUT_WR);
    {
        SmtpClient client(QStringLiteral("localhost"), 25, SmtpClient::TcpConnection);
        QObject::connect(&client, &SmtpClient::smtpError, [](SmtpClient::SmtpError e) {
            FUZZ_CHECK(e >= SmtpClient::ConnectionTimeoutError && e <= SmtpClient::ClientError);
        });
        client.setUser(QStringLiteral("console@example.test"));
        client.setPassword(QStringLiteral("secret"));
        client.setAllowUnencryptedPassword(true);
        FUZZ_CHECK(client.getSocket()->setSocketDescriptor(fds[0]));
        runDialogue(client);
    }
    ::close(fds[1]);
    return 0;
}
