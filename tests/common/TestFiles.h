#pragma once

#include <QFile>

// Writes baText to strPath in place of what was there; false when it could not be written whole.
inline bool writeFile(const QString& strPath, const QByteArray& baText)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(baText) == baText.size();
}
