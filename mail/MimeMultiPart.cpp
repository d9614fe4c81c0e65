#include "mail/MimeMultiPart.h"

#include <QCryptographicHash>

#include <cstdlib>

namespace {
const char* const kMultiPartTypeNames[] = {
    "multipart/mixed",  "multipart/digest", "multipart/alternative", "multipart/related",
    "multipart/report", "multipart/signed", "multipart/encrypted",
};
}

MimeMultiPart::MimeMultiPart(MultiPartType type) : type(type)
{
    contentType = typeName(type);
    encoding = Encoding8Bit;
    // One byte of the process's generator, hashed: the boundary only has to be absent from the bodies,
    // which are short texts that never hold a 32-digit hexadecimal run.
    const char cSeed = static_cast<char>(std::rand() & 0xFF);
    boundary =
        QString::fromLatin1(QCryptographicHash::hash(QByteArray(1, cSeed), QCryptographicHash::Md5).toHex());
}

QString MimeMultiPart::typeName(MultiPartType type)
{
    const int iIndex = static_cast<int>(type);
    if (iIndex < 0 || iIndex > Encrypted)
        return QString::fromLatin1(kMultiPartTypeNames[Mixed]);
    return QString::fromLatin1(kMultiPartTypeNames[iIndex]);
}

void MimeMultiPart::prepare()
{
    content.clear();
    for (MimePart* part : qAsConst(parts)) {
        content += QByteArrayLiteral("--") + boundary.toUtf8() + QByteArrayLiteral("\r\n");
        part->prepare();
        content += part->toString().toUtf8();
    }
    content += QByteArrayLiteral("--") + boundary.toUtf8() + QByteArrayLiteral("--\r\n");
    MimePart::prepare();
}
