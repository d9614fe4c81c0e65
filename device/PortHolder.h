#pragma once

#include <QHostAddress>
#include <QString>

// Who holds a local UDP port, read from the kernel's socket table of this network namespace and, where
// this user may look, from the process that owns the socket. The console and the service both need the
// device port; each tells the operator who has it rather than a bare bind error.
struct PortHolder
{
    enum Kind
    {
        None,    // nothing holds the port
        Service, // the Rackmind service
        Console, // a Rackmind console
        Other    // another program, or one this user may not see
    };
    Kind kind = None;
    QHostAddress addr; // the local address it is bound to
    quint16 uiPort = 0;
    uint uiUid = 0;
    QString strUser;    // the owner's user name, or the number
    qint64 iPid = 0;    // 0 when the process cannot be seen
    QString strProgram; // its command name, when seen

    // The first socket bound to uiPort, on an IPv4 or IPv6 address (the any addresses included).
    static PortHolder find(quint16 uiPort);
    // One or two sentences an operator can act on, in the running language.
    QString describe() const;
};
