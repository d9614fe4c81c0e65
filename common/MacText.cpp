#include "common/MacText.h"

#include <QByteArray>

namespace {
QByteArray bytes(const quint8* pMac)
{
    return QByteArray(reinterpret_cast<const char*>(pMac), 6);
}
} // namespace

QString macDisplay(const quint8* pMac)
{
    return QString::fromLatin1(bytes(pMac).toHex(':').toUpper());
}

QString macDigits(const quint8* pMac)
{
    return QString::fromLatin1(bytes(pMac).toHex().toUpper());
}
