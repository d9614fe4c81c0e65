#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// A small text file of the machine's, shared by every program that switches outlets (the protection
// list, the outlet sets): readable by all, changed by its owner and group, opened without following links,
// read under a shared lock and changed under an exclusive one, so nobody sees half a write and the folder
// need not be writable.
namespace LockedFile {

// How long a reader and a writer wait for a lock another program holds before they give up.
constexpr int kReadLockMsecs = 1000;
constexpr int kChangeLockMsecs = 3000;
// Far more than a room's sets or protected outlets take; a larger file is refused, not read whole.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

// The whole text; a missing file is empty text, but not where another account could have removed it.
// False, with the reason, when the file exists but cannot be read.
bool read(const QString& strPath, QByteArray* pText, QString* pError);

// Re-reads the text, lets fnChange edit it (false, with a reason, refuses and writes nothing) and writes
// it back, all under one lock, so that two programs changing it at once lose neither change. Made by root,
// the file goes to group rackmind as the package makes it.
bool change(const QString& strPath, const std::function<bool(QByteArray&, QString*)>& fnChange,
            QString* pError);

} // namespace LockedFile
