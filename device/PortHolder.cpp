#include "device/PortHolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <pwd.h>

namespace {

QString userName(uint uiUid)
{
    const passwd* pEntry = getpwuid(uiUid);
    return pEntry ? QString::fromLocal8Bit(pEntry->pw_name) : QString::number(uiUid);
}

QString commandOf(const QString& strPid)
{
    QFile fileComm(QStringLiteral("/proc/%1/comm").arg(strPid));
    return fileComm.open(QIODevice::ReadOnly) ? QString::fromUtf8(fileComm.readAll().trimmed()) : QString();
}

bool isRackmindProgram(const QString& strCommand)
{
    return strCommand == QLatin1String("rackmindd") || strCommand == QLatin1String("rackmind");
}

// The effective user of a process, from its status that everyone may read.
bool hasUser(const QString& strPid, uint uiUid)
{
    QFile fileStatus(QStringLiteral("/proc/%1/status").arg(strPid));
    if (!fileStatus.open(QIODevice::ReadOnly))
        return false;
    // Read whole: a file of /proc has no size, so it looks at its end before the first read.
    const QList<QByteArray> listLine = fileStatus.readAll().split('\n');
    for (const QByteArray& baLine : listLine) {
        const QList<QByteArray> listField = baLine.simplified().split(' ');
        if (listField.value(0) == "Uid:")
            return listField.value(2).toUInt() == uiUid;
    }
    return false;
}

// Whether the socket is in the process's network namespace: its socket tables are readable by everyone.
bool seesSocket(const QString& strPid, const QByteArray& baInode)
{
    const QByteArray baField = ' ' + baInode + ' ';
    for (const char* pszTable : {"udp", "udp6"}) {
        QFile fileTable(QStringLiteral("/proc/%1/net/%2").arg(strPid, QLatin1String(pszTable)));
        if (fileTable.open(QIODevice::ReadOnly) && fileTable.readAll().contains(baField))
            return true;
    }
    return false;
}

// The process with a descriptor on the socket. The descriptors of another user's processes cannot be
// read without root (the service runs under its own user): then a Rackmind program of the socket's user
// whose descriptors were hidden and that sees the socket (other machines' programs run in namespaces of
// their own) is the holder, when it is the only one.
qint64 ownerOf(const QByteArray& baInode, uint uiUid, QString* pProgram)
{
    const QByteArray baLink = "socket:[" + baInode + ']';
    qint64 iHidden = 0;
    int iHiddenCount = 0;
    const QStringList listPids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& strPid : listPids) {
        bool bNumber = false;
        const qint64 iPid = strPid.toLongLong(&bNumber);
        if (!bNumber)
            continue;
        const QDir dirFd(QStringLiteral("/proc/%1/fd").arg(strPid));
        if (!dirFd.isReadable()) {
            if (isRackmindProgram(commandOf(strPid)) && hasUser(strPid, uiUid) &&
                seesSocket(strPid, baInode)) {
                iHidden = iPid;
                ++iHiddenCount;
            }
            continue;
        }
        const QStringList listFd = dirFd.entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString& strFd : listFd) {
            if (QFile::symLinkTarget(dirFd.filePath(strFd)).toUtf8().endsWith(baLink)) {
                *pProgram = commandOf(strPid);
                return iPid;
            }
        }
    }
    if (iHiddenCount != 1)
        return 0;
    *pProgram = commandOf(QString::number(iHidden));
    return iHidden;
}

} // namespace

PortHolder PortHolder::find(quint16 uiPort)
{
    PortHolder holder;
    holder.uiPort = uiPort;
    // An IPv6 socket on any address takes the IPv4 port too, so both tables count.
    for (const char* pszTable : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile fileTable(QString::fromLatin1(pszTable));
        if (!fileTable.open(QIODevice::ReadOnly))
            continue;
        fileTable.readLine(); // the header
        // "sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ..."; the address is
        // the network-order words printed as numbers, the port in host order.
        while (!fileTable.atEnd()) {
            const QList<QByteArray> listField = fileTable.readLine().simplified().split(' ');
            if (listField.size() < 10)
                continue;
            const QList<QByteArray> listLocal = listField.at(1).split(':');
            bool bOk = false;
            if (listLocal.size() != 2 || listLocal.at(1).toUInt(&bOk, 16) != uiPort || !bOk)
                continue;
            const QByteArray& baAddr = listLocal.at(0);
            if (baAddr.size() == 8) {
                holder.addr = QHostAddress(qFromBigEndian(baAddr.toUInt(nullptr, 16)));
            } else if (baAddr.size() == 32) {
                Q_IPV6ADDR ip6;
                for (int i = 0; i < 4; ++i)
                    qToBigEndian(qFromBigEndian(baAddr.mid(i * 8, 8).toUInt(nullptr, 16)), ip6.c + i * 4);
                holder.addr = QHostAddress(ip6);
            }
            // A loopback socket shares no address with the interfaces polled from.
            if (holder.addr.isLoopback())
                continue;
            holder.uiUid = listField.at(7).toUInt();
            holder.strUser = userName(holder.uiUid);
            holder.iPid = ownerOf(listField.at(9), holder.uiUid, &holder.strProgram);
            if (holder.strProgram == QLatin1String("rackmindd"))
                holder.kind = Service;
            else if (holder.strProgram == QLatin1String("rackmind"))
                holder.kind = Console;
            else
                holder.kind = Other;
            return holder;
        }
    }
    return holder;
}

QString PortHolder::describe() const
{
    const QString strWhere = addr.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]:%2").arg(addr.toString()).arg(uiPort)
                                 : QStringLiteral("%1:%2").arg(addr.toString()).arg(uiPort);
    const QString strProcess = iPid ? QCoreApplication::translate("PortHolder", "process %1 \"%2\", user %3")
                                          .arg(iPid)
                                          .arg(strProgram, strUser)
                                    : QCoreApplication::translate("PortHolder", "user %1").arg(strUser);
    switch (kind) {
    case Service:
        return QCoreApplication::translate("PortHolder",
                                           "The Rackmind service is polling on this machine (%1) and holds "
                                           "the device port %2.")
            .arg(strProcess, strWhere);
    case Console:
        return QCoreApplication::translate("PortHolder",
                                           "A Rackmind console is polling on this machine (%1) and holds the "
                                           "device port %2.")
            .arg(strProcess, strWhere);
    case Other:
        return QCoreApplication::translate("PortHolder",
                                           "Another program on this machine (%1) holds the device port %2.")
            .arg(strProcess, strWhere);
    case None:
        break;
    }
    return QCoreApplication::translate("PortHolder", "The device port %1 cannot be opened.").arg(uiPort);
}
