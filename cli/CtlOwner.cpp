#include "cli/CtlOwner.h"

#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/SafeOpen.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

CtlOwner::Opener CtlOwner::openerOf(const QString& strPath, struct stat* pst, QString* pstrWhy)
{
    struct stat stDir;
    const QByteArray baDir = QFile::encodeName(QFileInfo(strPath).absolutePath());
    if (::geteuid() != 0 || ::lstat(QFile::encodeName(strPath).constData(), pst) != 0 ||
        !S_ISREG(pst->st_mode))
        return Opener::Self; // what is not a store is refused where it is opened
    if (::lstat(baDir.constData(), &stDir) == 0 && S_ISDIR(stDir.st_mode) && SafeOpen::isOwnFolder(stDir))
        return Opener::Self;
    if (pst->st_uid != 0)
        return Opener::Owner;
    *pstrWhy = RackmindCtl::tr("%1 is root's, in a folder others can write").arg(strPath);
    return Opener::None;
}

int CtlOwner::runAsOwner(const struct stat& st, const std::function<int(int)>& fnChild,
                         const std::function<void(const QByteArray&)>& fnData)
{
    int aiPipe[2];
    if (::pipe2(aiPipe, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(aiPipe[0]);
        // The first byte says the child is the owner: what follows is fnChild's.
        if (::setgroups(0, nullptr) != 0 || ::setresgid(st.st_gid, st.st_gid, st.st_gid) != 0 ||
            ::setresuid(st.st_uid, st.st_uid, st.st_uid) != 0 || ::geteuid() != st.st_uid ||
            ::getegid() != st.st_gid || ::write(aiPipe[1], "+", 1) != 1)
            ::_exit(kExitFailure);
        ::_exit(fnChild(aiPipe[1]));
    }
    ::close(aiPipe[1]);
    bool bOwner = false;
    char ach[65536];
    for (ssize_t n; pid > 0 && (n = ::read(aiPipe[0], ach, sizeof ach)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        const int iSkip = bOwner ? 0 : 1;
        bOwner = true;
        if (n > iSkip)
            fnData(QByteArray(ach + iSkip, int(n) - iSkip));
    }
    ::close(aiPipe[0]);
    int iStatus = 0;
    while (pid > 0 && ::waitpid(pid, &iStatus, 0) < 0 && errno == EINTR) {
    }
    return pid > 0 && bOwner && WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

namespace {
constexpr int kHere = -2;

// kHere when this process may read strPath; else fnChild's exit code from a child that has become the
// store's owner, what it writes reaching fnData, or kExitUnavailable with the reason told on err.
int readAsOwner(const QString& strPath, QTextStream& err, const std::function<int(QIODevice&)>& fnRead,
                const std::function<void(const QByteArray&)>& fnData)
{
    struct stat st;
    QString strWhy;
    switch (CtlOwner::openerOf(strPath, &st, &strWhy)) {
    case CtlOwner::Opener::Self:
        return kHere;
    case CtlOwner::Opener::None:
        err << "rackmind-ctl: " << strWhy << '\n';
        return kExitUnavailable;
    case CtlOwner::Opener::Owner:
        break;
    }
    err.flush(); // else the child would tell it again
    const int iExit = CtlOwner::runAsOwner(
        st,
        [&](int fd) {
            QFile file;
            if (!file.open(fd, QIODevice::WriteOnly))
                return int(kExitFailure);
            const int iRead = fnRead(file);
            file.flush();
            err.flush();
            return iRead;
        },
        fnData);
    if (iExit >= 0)
        return iExit;
    err << "rackmind-ctl: "
        << RackmindCtl::tr("%1 cannot be read as its owner (uid %2)").arg(strPath).arg(st.st_uid) << '\n';
    return kExitUnavailable;
}
} // namespace

int CtlOwner::readStore(const QString& strPath, QTextStream& out, QTextStream& err,
                        const std::function<int(QTextStream&)>& fnRead)
{
    // UTF-8 through the pipe; out encodes as it would have.
    QTextCodec* pCodec = QTextCodec::codecForName("UTF-8");
    const std::unique_ptr<QTextDecoder> pDecoder(pCodec->makeDecoder());
    const int iExit = readAsOwner(
        strPath, err,
        [&](QIODevice& device) {
            QTextStream stream(&device);
            stream.setCodec(pCodec);
            const int iRead = fnRead(stream);
            stream.flush();
            return iRead;
        },
        [&](const QByteArray& ba) { out << pDecoder->toUnicode(ba); });
    return iExit == kHere ? fnRead(out) : iExit;
}

int CtlOwner::readStoreBytes(const QString& strPath, QByteArray* pba, QTextStream& err,
                             const std::function<int(QIODevice&)>& fnRead)
{
    const int iExit = readAsOwner(strPath, err, fnRead, [&](const QByteArray& ba) { pba->append(ba); });
    if (iExit != kHere)
        return iExit;
    QBuffer buffer(pba);
    buffer.open(QIODevice::WriteOnly);
    return fnRead(buffer);
}
