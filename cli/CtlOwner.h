#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QTextStream>

#include <functional>

#include <sys/stat.h>

// Root opens a store another account owns, in a folder root does not own, only as that account: SQLite
// opens and makes files beside the store by their names (and as root hands what it makes to the store's
// owner), so links the account plants there would reach root's files. As the owner they reach nothing the
// owner could not write anyway.
namespace CtlOwner {

enum class Opener
{
    Self,  // this process may open it (not root, or the folder is root's alone)
    Owner, // root: in a child that has become the store's owner
    None,  // root's store in a folder others can write: refused, the reason given
};
Opener openerOf(const QString& strPath, struct stat* pst, QString* pstrWhy);

// fnChild in a child with the uid and gid of st and no other group; what it writes to the descriptor it
// is given reaches fnData here. Its exit code, or -1 when the child could not start or become the owner.
int runAsOwner(const struct stat& st, const std::function<int(int)>& fnChild,
               const std::function<void(const QByteArray&)>& fnData);

// fnRead(out) where reading strPath is safe (see openerOf): its text reaches out as if written here.
int readStore(const QString& strPath, QTextStream& out, QTextStream& err,
              const std::function<int(QTextStream&)>& fnRead);
// The same for bytes (a file's content): what fnRead writes to the device it is given lands in *pba.
int readStoreBytes(const QString& strPath, QByteArray* pba, QTextStream& err,
                   const std::function<int(QIODevice&)>& fnRead);

} // namespace CtlOwner
