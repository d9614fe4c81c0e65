#include "device/LockedFile.h"

#include "common/SafeOpen.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file may sit in the service's state folder: shared by the group that may change it, and only
// root's or the caller's (a file the folder's owner put there would let that account decide).
const SafeOpen::Rules kRules{false, true};

QString why(const QString& strPath)
{
    return QStringLiteral("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(errno)));
}

// False with the reason when it cannot be read, or holds more than kMaxBytes (grown while read too).
bool readAll(int fd, QByteArray* pText, const QString& strPath, QString* pWhy)
{
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 && pText->size() <= LockedFile::kMaxBytes)
        pText->append(buf, int(n));
    if (n < 0)
        *pWhy = why(strPath);
    else if (pText->size() > LockedFile::kMaxBytes)
        *pWhy = QCoreApplication::translate("LockedFile", "%1 is larger than %2 MiB")
                    .arg(strPath)
                    .arg(LockedFile::kMaxBytes >> 20);
    return n >= 0 && pText->size() <= LockedFile::kMaxBytes;
}

// Another program holds the lock only for a read or a write; anyone who can read the file can take it
// for good, so nobody waits on it for ever (the service's loop, the console's window).
bool lockWithin(int fd, int iOperation, int iMsecs, const QString& strPath, QString* pWhy)
{
    for (int iWaited = 0;; iWaited += 20) {
        if (::flock(fd, iOperation | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *pWhy = why(strPath);
            return false;
        }
        if (iWaited >= iMsecs) {
            *pWhy =
                QCoreApplication::translate("LockedFile", "%1 stays locked by another program").arg(strPath);
            return false;
        }
        ::usleep(20000);
    }
}

void fail(QString* pError, const QString& strWhy)
{
    if (pError)
        *pError = strWhy;
}

} // namespace

bool LockedFile::read(const QString& strPath, QByteArray* pText, QString* pError)
{
    pText->clear();
    QString strWhy;
    struct stat stDir;
    const int fd = SafeOpen::open(strPath, O_RDONLY, 0, kRules, &strWhy, &stDir);
    if (fd < 0) {
        if (errno == ENOENT && (stDir.st_mode == 0 || SafeOpen::isOwnFolder(stDir)))
            return true;
        if (errno == ENOENT)
            strWhy = QCoreApplication::translate("SafeOpen",
                                                 "%1 is missing from a folder another account can write")
                         .arg(strPath);
        fail(pError, strWhy);
        return false;
    }
    const bool bOk =
        lockWithin(fd, LOCK_SH, kReadLockMsecs, strPath, &strWhy) && readAll(fd, pText, strPath, &strWhy);
    if (!bOk) {
        pText->clear();
        fail(pError, strWhy);
    }
    ::close(fd);
    return bOk;
}

bool LockedFile::change(const QString& strPath, const std::function<bool(QByteArray&, QString*)>& fnChange,
                        QString* pError)
{
    // Readable by everyone, writable by the owner and its group (the operators allowed to change it).
    QString strWhy;
    bool bMade = false;
    const int fd = SafeOpen::open(strPath, O_RDWR | O_CREAT, 0664, kRules, &strWhy, nullptr, &bMade);
    if (fd < 0) {
        fail(pError, strWhy);
        return false;
    }
    const group* pGroup = bMade && ::geteuid() == 0 ? ::getgrnam("rackmind") : nullptr;
    if (pGroup && (::fchown(fd, 0, pGroup->gr_gid) != 0 || ::fchmod(fd, 0664) != 0)) {
        fail(pError, why(strPath));
        ::close(fd);
        return false;
    }
    QByteArray baText;
    if (!lockWithin(fd, LOCK_EX, kChangeLockMsecs, strPath, &strWhy) ||
        !readAll(fd, &baText, strPath, &strWhy)) {
        fail(pError, strWhy);
        ::close(fd);
        return false;
    }
    if (!fnChange(baText, &strWhy)) {
        fail(pError, strWhy);
        ::close(fd);
        return false;
    }
    // Written over the old text before the rest is cut: a program ending between the two leaves old
    // text after the new, where cutting first left an empty file.
    const bool bOk = ::pwrite(fd, baText.constData(), size_t(baText.size()), 0) == baText.size() &&
                     ::ftruncate(fd, baText.size()) == 0 && ::fsync(fd) == 0;
    if (!bOk)
        fail(pError, why(strPath));
    ::close(fd);
    return bOk;
}
