#include "cli/CtlOwner.h"

#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/SafeOpen.h"

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

int CtlOwner::readStore(const QString& strPath, QTextStream& out, QTextStream& err,
                        const std::function<int(QTextStream&)>& fnRead)
{
    struct stat st;
    QString strWhy;
    switch (openerOf(strPath, &st, &strWhy)) {
    case Opener::Self:
        return fnRead(out);
    case Opener::None:
        err << "rackmind-ctl: " << strWhy << '\n';
        return kExitUnavailable;
    case Opener::Owner:
        break;
    }
    out.flush();
    err.flush();
    // UTF-8 through the pipe; out encodes as it would have.
    QTextCodec* pCodec = QTextCodec::codecForName("UTF-8");
    const std::unique_ptr<QTextDecoder> pDecoder(pCodec->makeDecoder());
    const int iExit = runAsOwner(
        st,
        [&](int fd) {
            QFile file;
            if (!file.open(fd, QIODevice::WriteOnly))
                return int(kExitFailure);
            QTextStream stream(&file);
            stream.setCodec(pCodec);
            const int iRead = fnRead(stream);
            stream.flush();
            file.flush();
            err.flush();
            return iRead;
        },
        [&](const QByteArray& ba) { out << pDecoder->toUnicode(ba); });
    if (iExit >= 0)
        return iExit;
    err << "rackmind-ctl: "
        << RackmindCtl::tr("%1 cannot be read as its owner (uid %2)").arg(strPath).arg(st.st_uid) << '\n';
    return kExitUnavailable;
}
