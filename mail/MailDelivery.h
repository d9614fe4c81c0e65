#pragma once

#include <QString>

#include <atomic>

// Everything one mail needs, taken from the settings when the mail is made.
struct MailJob
{
    QString host;
    int port = 25;
    bool ssl = false;
    QString account; // logs in and doubles as the sender address
    QString password;
    QString receiver;
    QString subject;
    QString body;
};

// Delivers one mail with the fixed sequence: connect, log in, send, quit, each step only after the one
// before succeeded. Blocks the calling thread up to the client's time-outs. True when the server took
// the mail. pAbortAtMs, when given, is a monotonic time (see SmtpClient::setAbortTime) that cuts every wait.
bool deliverMail(const MailJob& job, const std::atomic<qint64>* pAbortAtMs = nullptr,
                 QString* pWhy = nullptr);
