#pragma once

#include <QFile>

// Writes baText to strPath in place of what was there; false when it could not be written whole.
inline bool writeFile(const QString& strPath, const QByteArray& baText)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(baText) == baText.size();
}

// The whole content of the file at strPath; empty when it cannot be read.
inline QByteArray readFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
