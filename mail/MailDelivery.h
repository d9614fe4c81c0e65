#pragma once

#include "mail/SmtpFailure.h"

#include <QString>

#include <atomic>

// Everything one mail needs, its server settings taken by the caller when the mail is made.
struct MailJob
{
    QString host;
    int port = 25;
    bool ssl = false;      // TLS from the first byte
    bool startTls = false; // plain connection made secure with STARTTLS; ssl wins when both are set
    bool allowUnencryptedPassword = false;
    QString account; // logs in (none when empty), and is the sender address when no sender is set
    QString password;
    QString sender;
    QString receiver;
    QString subject;
    QString body;

    QString senderAddress() const { return sender.isEmpty() ? account : sender; }
};

// Delivers one mail with the fixed sequence: connect, log in, send, quit, each step only after the one
// before succeeded. Blocks the calling thread up to the client's time-outs. True when the server took
// the mail; otherwise pFailure, when given, tells at which step and why. pAbortAtMs, when given, is a
// monotonic time (see SmtpClient::setAbortTime) that cuts every wait.
bool deliverMail(const MailJob& job, const std::atomic<qint64>* pAbortAtMs = nullptr,
                 SmtpFailure* pFailure = nullptr);

// What keeps every mail of these settings from going out, known without asking the server: no server,
// or a password that would have to go unencrypted. Empty when nothing does.
SmtpFailure mailSetupFailure(const MailJob& job);
