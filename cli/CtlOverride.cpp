#include "cli/CtlOverride.h"

#include "cli/CtlHistory.h"
#include "cli/CtlOwner.h"
#include "cli/CtlText.h"
#include "common/DeviceText.h"
#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString userText()
{
    const uid_t uid = ::getuid();
    const passwd* pPw = ::getpwuid(uid);
    return QStringLiteral("%1 (uid %2)")
        .arg(pPw ? QString::fromLocal8Bit(pPw->pw_name) : QStringLiteral("?"))
        .arg(uid);
}

QString errnoText(int iErrno)
{
    return QString::fromLocal8Bit(std::strerror(iErrno));
}

bool writeEvent(const QString& strPath, const CtlOverride& ov, const QString& strUser, QString* pstrWhy)
{
    CHistoryStore store(strPath);
    store.record(HistoryEvent::OutletSwitched, ov.strMac, ov.strPdu, ov.strOutlets, QString(), ov.strAction,
                 QString(), QStringLiteral("protection overridden: rackmind-ctl --force by %1").arg(strUser));
    store.flush();
    *pstrWhy = store.unavailableReason();
    return store.isAvailable();
}

// Root writes a store as its owner, in a child that has given up root first: SQLite makes and opens
// files beside the store, where the owner may have planted links; as the owner they reach nothing the
// owner could not write anyway. A store that root owns is written only in a folder nobody else can write.
// strUser is taken before: the child is its owner by then.
bool writeEventAsOwner(const QString& strPath, const struct stat& st, const CtlOverride& ov,
                       const QString& strUser, QString* pstrWhy)
{
    if (st.st_uid == 0) {
        struct stat stDir;
        const QByteArray baDir = QFile::encodeName(QFileInfo(strPath).absolutePath());
        if (::lstat(baDir.constData(), &stDir) != 0 || !S_ISDIR(stDir.st_mode) || stDir.st_uid != 0 ||
            (stDir.st_mode & (S_IWGRP | S_IWOTH))) {
            *pstrWhy = RackmindCtl::tr("%1 is root's, in a folder others can write").arg(strPath);
            return false;
        }
        return writeEvent(strPath, ov, strUser, pstrWhy);
    }
    QByteArray baWhy;
    const bool bOk = CtlOwner::runAsOwner(
                         st,
                         [&](int fd) {
                             QString strWhy;
                             if (writeEvent(strPath, ov, strUser, &strWhy))
                                 return 0;
                             const QByteArray ba = strWhy.toUtf8();
                             return ::write(fd, ba.constData(), size_t(ba.size())) == ba.size() ? 1 : 2;
                         },
                         [&](const QByteArray& ba) { baWhy += ba; }) == 0;
    if (!bOk)
        *pstrWhy = baWhy.isEmpty() ? RackmindCtl::tr("its owner (uid %1) cannot write it").arg(st.st_uid)
                                   : QString::fromUtf8(baWhy);
    return bOk;
}

bool writeStore(const CtlOverride& ov, const QString& strUser, QString* pstrWhere, QString* pstrWhy)
{
    const QString strPath = historyStorePath();
    if (strPath.isEmpty()) {
        *pstrWhy = RackmindCtl::tr("no history store");
        return false;
    }
    struct stat st;
    const QByteArray baPath = QFile::encodeName(strPath);
    const bool bFound = ::lstat(baPath.constData(), &st) == 0;
    if (!bFound || !S_ISREG(st.st_mode)) {
        *pstrWhy = !bFound && errno == ENOENT ? RackmindCtl::tr("no history store at %1").arg(strPath)
                                              : RackmindCtl::tr("%1 is not a regular file").arg(strPath);
        return false;
    }
    *pstrWhere = RackmindCtl::tr("the event log of %1").arg(strPath);
    return ::geteuid() == 0 ? writeEventAsOwner(strPath, st, ov, strUser, pstrWhy)
                            : writeEvent(strPath, ov, strUser, pstrWhy);
}

// One field of the journal's native protocol; a value with a line break goes with its length.
void addField(QByteArray& ba, const char* pszName, const QString& strValue)
{
    const QByteArray baValue = strValue.toUtf8();
    ba += pszName;
    if (!baValue.contains('\n')) {
        ba += '=' + baValue + '\n';
        return;
    }
    ba += '\n';
    quint64 uiSize = quint64(baValue.size());
    for (int i = 0; i < 8; ++i, uiSize >>= 8)
        ba += char(uiSize & 0xff);
    ba += baValue + '\n';
}

bool writeJournal(const CtlOverride& ov, const QString& strUser, QString* pstrWhere, QString* pstrWhy)
{
    QByteArray baSocket = qgetenv("RACKMIND_JOURNAL_SOCKET");
    if (baSocket.isEmpty())
        baSocket = "/run/systemd/journal/socket";
    *pstrWhere = RackmindCtl::tr("the system journal (journalctl -t rackmind-ctl)");
    QByteArray ba;
    addField(ba, "MESSAGE",
             QStringLiteral("protected outlet(s) %1 of %2 (%3, %4) switched %5 by --force; user %6")
                 .arg(ov.strOutlets, logText(ov.strPdu), ov.strMac, ov.strAddress, ov.strAction, strUser));
    addField(ba, "PRIORITY", QStringLiteral("5"));
    addField(ba, "SYSLOG_IDENTIFIER", QStringLiteral("rackmind-ctl"));
    addField(ba, "RACKMIND_MAC", ov.strMac);
    addField(ba, "RACKMIND_PDU", ov.strPdu);
    addField(ba, "RACKMIND_ADDRESS", ov.strAddress);
    addField(ba, "RACKMIND_OUTLETS", ov.strOutlets);
    addField(ba, "RACKMIND_ACTION", ov.strAction);
    addField(ba, "RACKMIND_USER", strUser);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const bool bFits = size_t(baSocket.size()) < sizeof addr.sun_path;
    std::memcpy(addr.sun_path, baSocket.constData(), bFits ? size_t(baSocket.size()) : 0);
    const int fd = bFits ? ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
    const bool bOk = fd >= 0 && ::sendto(fd, ba.constData(), size_t(ba.size()), 0,
                                         reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == ba.size();
    if (!bOk)
        *pstrWhy = RackmindCtl::tr("no journal at %1: %2")
                       .arg(QString::fromLocal8Bit(baSocket), errnoText(bFits ? errno : ENAMETOOLONG));
    if (fd >= 0)
        ::close(fd);
    return bOk;
}

} // namespace

bool recordOverride(const CtlOverride& ov, QString* pstrWhere, QString* pstrWhy)
{
    // The journal too, when there is one: where an administrator of the machine looks, whichever store
    // (a desk user's own, the service's) took the event.
    QString strStore, strJournal, strStoreWhy, strJournalWhy;
    const QString strUser = userText();
    const bool bStore = writeStore(ov, strUser, &strStore, &strStoreWhy);
    const bool bJournal = writeJournal(ov, strUser, &strJournal, &strJournalWhy);
    *pstrWhere = bStore && bJournal ? RackmindCtl::tr("%1 and %2").arg(strStore, strJournal)
                 : bStore           ? strStore
                                    : strJournal;
    *pstrWhy = strStoreWhy + QStringLiteral("; ") + strJournalWhy;
    return bStore || bJournal;
}
