#pragma once

#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/types.h>

// Files in a folder another account may write (the service's state folder holds the machine's
// protection list and the service's store, and root's programs open both): neither the folder nor the
// file is reached through a symbolic link, and the file must be a regular file with one name and an
// owner we trust, so that what that account plants there is refused, never followed, written or chowned.
namespace SafeOpen {

struct Rules
{
    // The folder's owner may own the file too (the service's own store, read by root); else only root
    // and the caller may.
    bool bFolderOwner = false;
    // A file a group writes (the protection list): nobody else may write it, and a group-writable one
    // belongs to root's group, the caller's or rackmind's.
    bool bShared = false;
};

// A descriptor of strPath opened with iFlags (with O_CREAT it is made with mode when missing, and
// *pbMade says so), or -1 with the reason on pstrWhy and errno ENOENT when the file is missing.
// pstDir, when given, receives the folder's status (st_mode 0 when the folder could not be opened).
int open(const QString& strPath, int iFlags, mode_t mode, const Rules& rules, QString* pstrWhy,
         struct stat* pstDir = nullptr, bool* pbMade = nullptr);

// For a file another library opens by its path (SQLite): the folder, and each of the names given
// (strPath with each suffix) that exists, pass the same checks. False, with the reason, when not.
bool check(const QString& strPath, const QStringList& listSuffixes, const Rules& rules, QString* pstrWhy);

// Whether only root or the caller could have put what the folder holds (owner and mode).
bool isOwnFolder(const struct stat& stDir);

} // namespace SafeOpen
