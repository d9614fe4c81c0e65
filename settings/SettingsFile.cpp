#include "settings/SettingsFile.h"

#include <QFile>
#include <QFileInfo>

#include <new>

bool readSettingsGuarded(const std::function<void()>& fnRead)
{
    try {
        fnRead();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void writeSettingsGuarded(const std::function<std::unique_ptr<QSettings>()>& fnOpen,
                          const std::function<void(QSettings&)>& fnWrite)
{
    QString strFile;
    try {
        const std::unique_ptr<QSettings> pSettings = fnOpen();
        strFile = pSettings->fileName();
        fnWrite(*pSettings);
        pSettings->sync();
        return;
    } catch (const std::bad_alloc&) {
    }
    // The file goes before anything opens it again: QSettings keeps what it parsed of a file, and the
    // values that failed to go out, for the next object on the same file, which would trip over the
    // same value while it is being made.
    QFile::remove(strFile);
    try {
        const std::unique_ptr<QSettings> pSettings = fnOpen();
        fnWrite(*pSettings);
        pSettings->sync();
    } catch (const std::bad_alloc&) {
        // Nothing left to try: the changes are lost, as with any unwritable file.
    }
}

bool isOversizedFile(const QString& strPath, qint64 iMaxBytes)
{
    const QFileInfo info(strPath);
    return info.isFile() && info.size() > iMaxBytes;
}

bool isReadableListFile(const QString& strPath, bool* pbPresent, QString* pstrWhy)
{
    const QFileInfo info(strPath);
    *pbPresent = info.exists() || info.isSymLink();
    if (!*pbPresent)
        return true;
    if (!info.isFile()) {
        *pstrWhy = QStringLiteral("%1 is not a file").arg(strPath);
        return false;
    }
    // A list of a thousand short entries takes a few kilobytes; reading anything far larger whole would
    // hold up whoever reads it.
    if (isOversizedFile(strPath, kPortFileMaxBytes)) {
        *pstrWhy = QStringLiteral("%1 is too large").arg(strPath);
        return false;
    }
    return true;
}
