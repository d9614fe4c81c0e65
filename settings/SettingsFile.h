#pragma once

#include <QSettings>
#include <QString>

#include <functional>
#include <memory>

// Guards for the INI files a person can edit (the port file, the settings store). QSettings turns a
// value written as "@Variant(...)" back into whatever the bytes describe; a few bytes can describe a
// list of two thousand million entries, and the allocation that follows throws out of QSettings. Such a
// file is treated as unreadable, and writing replaces it, because every writer here writes its whole
// record.

// The port file holds at most 1024 short entries, a few kilobytes; a file far larger is not one.
constexpr qint64 kPortFileMaxBytes = 1024 * 1024;

// Runs fnRead, which reads through QSettings; false when the file could not be parsed.
bool readSettingsGuarded(const std::function<void()>& fnRead);

// Writes through fnWrite into the file that fnOpen opens and commits it. When the present file cannot
// be merged with, it is removed and written afresh.
void writeSettingsGuarded(const std::function<std::unique_ptr<QSettings>()>& fnOpen,
                          const std::function<void(QSettings&)>& fnWrite);

// Whether strPath is a regular file larger than iMaxBytes. QSettings reads a file whole as it opens it.
bool isOversizedFile(const QString& strPath, qint64 iMaxBytes);

// Whether a list file a person edits (ports, targets) may be read: *pbPresent false when there is none,
// which lists nothing; false, with the reason, when something else than a file is in its place or it is
// far larger than any such list.
bool isReadableListFile(const QString& strPath, bool* pbPresent, QString* pstrWhy);
