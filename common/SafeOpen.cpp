#include "common/SafeOpen.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

namespace {

QString errnoText(const QString& strPath, int iErrno)
{
    return QStringLiteral("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(iErrno)));
}

QString linkText(const QString& strPath)
{
    return QCoreApplication::translate("SafeOpen", "%1 is a symbolic link").arg(strPath);
}

bool trusted(uid_t uid)
{
    return uid == 0 || uid == ::geteuid();
}

// Others may add names to a sticky folder but not replace those of root's or the caller's.
bool othersCanReplace(const struct stat& stFolder, uid_t uidEntry)
{
    return !trusted(stFolder.st_uid) ||
           ((stFolder.st_mode & (S_IWGRP | S_IWOTH)) && !((stFolder.st_mode & S_ISVTX) && trusted(uidEntry)));
}

// Why the file found in the folder is not used; empty when it is.
QString fault(const QString& strPath, const struct stat& st, const struct stat& stDir,
              const SafeOpen::Rules& rules)
{
    if (S_ISLNK(st.st_mode))
        return linkText(strPath);
    if (!S_ISREG(st.st_mode))
        return QCoreApplication::translate("SafeOpen", "%1 is not a regular file").arg(strPath);
    // A second name would let whoever made it point this file at another.
    if (st.st_nlink != 1)
        return QCoreApplication::translate("SafeOpen", "%1 has more than one name (a hard link)")
            .arg(strPath);
    if (!trusted(st.st_uid) && !(rules.bFolderOwner && st.st_uid == stDir.st_uid))
        return QCoreApplication::translate("SafeOpen", "%1 belongs to another account (uid %2)")
            .arg(strPath)
            .arg(st.st_uid);
    if (!rules.bShared)
        return QString();
    if (st.st_mode & S_IWOTH)
        return QCoreApplication::translate("SafeOpen", "%1 can be written by any account").arg(strPath);
    const group* pGroup = ::getgrnam("rackmind");
    if ((st.st_mode & S_IWGRP) && st.st_gid != 0 && st.st_gid != ::getegid() &&
        (!pGroup || st.st_gid != pGroup->gr_gid))
        return QCoreApplication::translate("SafeOpen", "%1 can be written by the group %2")
            .arg(strPath)
            .arg(st.st_gid);
    return QString();
}

// The folder, never through a link that another account could have put there.
int openFolder(const QString& strDir, struct stat* pstDir, QString* pstrWhy)
{
    const QByteArray baDir = QFile::encodeName(strDir);
    int fd = ::open(baDir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ELOOP) {
        struct stat stLink, stParent;
        const QByteArray baParent = QFile::encodeName(QFileInfo(strDir).path());
        if (::lstat(baDir.constData(), &stLink) == 0 && ::stat(baParent.constData(), &stParent) == 0 &&
            trusted(stLink.st_uid) && !othersCanReplace(stParent, stLink.st_uid))
            fd = ::open(baDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        else
            errno = ELOOP;
    }
    if (fd < 0) {
        const int iErrno = errno;
        *pstrWhy = iErrno == ELOOP ? linkText(strDir) : errnoText(strDir, iErrno);
        errno = iErrno;
        return -1;
    }
    if (::fstat(fd, pstDir) != 0 || ((pstDir->st_mode & S_IWOTH) && !(pstDir->st_mode & S_ISVTX))) {
        *pstrWhy = QCoreApplication::translate("SafeOpen", "%1 can be written by any account").arg(strDir);
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

} // namespace

int SafeOpen::open(const QString& strPath, int iFlags, mode_t mode, const Rules& rules, QString* pstrWhy,
                   struct stat* pstDir, bool* pbMade)
{
    struct stat stDir
    {
    };
    const QFileInfo info(strPath);
    const int fdDir = openFolder(info.path(), &stDir, pstrWhy);
    if (pstDir)
        *pstDir = stDir;
    if (fdDir < 0)
        return -1;
    const QByteArray baName = QFile::encodeName(info.fileName());
    // Not blocking: a named pipe planted there would hold the caller for good.
    const int iOpen = (iFlags & ~(O_CREAT | O_EXCL)) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::openat(fdDir, baName.constData(), iOpen);
    bool bMade = false;
    if (fd < 0 && errno == ENOENT && (iFlags & O_CREAT)) {
        fd = ::openat(fdDir, baName.constData(), iOpen | O_CREAT | O_EXCL, mode);
        bMade = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = ::openat(fdDir, baName.constData(), iOpen);
    }
    int iErrno = errno;
    ::close(fdDir);
    if (pbMade)
        *pbMade = bMade;
    if (fd < 0) {
        *pstrWhy = iErrno == ELOOP ? linkText(strPath) : errnoText(strPath, iErrno);
        errno = iErrno;
        return -1;
    }
    struct stat st;
    const QString strFault =
        ::fstat(fd, &st) != 0 ? errnoText(strPath, errno) : fault(strPath, st, stDir, rules);
    if (!strFault.isEmpty() || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        *pstrWhy = strFault.isEmpty() ? errnoText(strPath, errno) : strFault;
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

bool SafeOpen::check(const QString& strPath, const QStringList& listSuffixes, const Rules& rules,
                     QString* pstrWhy)
{
    struct stat stDir;
    const QFileInfo info(strPath);
    const int fdDir = openFolder(info.path(), &stDir, pstrWhy);
    if (fdDir < 0)
        return false;
    bool bOk = true;
    for (const QString& strSuffix : listSuffixes) {
        struct stat st;
        const QByteArray baName = QFile::encodeName(info.fileName() + strSuffix);
        if (::fstatat(fdDir, baName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;
            *pstrWhy = errnoText(strPath + strSuffix, errno);
            bOk = false;
            break;
        }
        *pstrWhy = fault(strPath + strSuffix, st, stDir, rules);
        if (!pstrWhy->isEmpty()) {
            bOk = false;
            break;
        }
    }
    ::close(fdDir);
    return bOk;
}

bool SafeOpen::isOwnFolder(const struct stat& stDir)
{
    return trusted(stDir.st_uid) && !(stDir.st_mode & (S_IWGRP | S_IWOTH));
}
