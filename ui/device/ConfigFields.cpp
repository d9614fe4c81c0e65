#include "ui/device/ConfigFields.h"

#include "common/DeviceText.h"

#include <QByteArray>
#include <QStringList>

#include <cstring>

QRegExp configAddressPattern()
{
    return QRegExp(QStringLiteral("\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
                                  "(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b"),
                   Qt::CaseSensitive, QRegExp::RegExp);
}

QRegExp configMacPattern()
{
    return QRegExp(QStringLiteral("^([0-9a-fA-F]{2})(([:-][0-9a-fA-F]{2}){5})$"), Qt::CaseSensitive,
                   QRegExp::RegExp);
}

bool storeAddressText(const QString& strText, quint8* pField)
{
    QString strAddress = strText;
    strAddress.remove(QLatin1Char(' '));
    if (!configAddressPattern().exactMatch(strAddress))
        return false;
    // Octets are read as decimal whatever their leading zeros ("010" is ten, not octal eight).
    const QStringList listOctets = strAddress.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i)
        pField[i] = quint8(listOctets.at(i).toUInt(nullptr, 10));
    return true;
}

bool storeMacText(const QString& strText, quint8* pField)
{
    QString strMac = strText;
    strMac.remove(QLatin1Char(' '));
    if (!configMacPattern().exactMatch(strMac))
        return false;
    strMac.remove(QLatin1Char(':'));
    strMac.remove(QLatin1Char('-'));
    const QByteArray baMac = QByteArray::fromHex(strMac.toLatin1());
    if (baMac.size() != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        pField[i] = quint8(baMac.at(i));
    return true;
}

namespace {
// What an editor keeps of a text: the one-line form marks exactly the characters that do not belong in a
// name. *piPos moves back over each one left out before it.
QString keptInEditor(const QString& strText, int* piPos)
{
    const QString strMarked = labelText(strText);
    if (strMarked == strText)
        return strText;
    QString strKept;
    const int iCursor = piPos ? *piPos : 0;
    for (int i = 0; i < strText.size(); ++i) {
        if (strMarked.at(i) == strText.at(i))
            strKept += strText.at(i);
        else if (piPos && i < iCursor)
            --*piPos;
    }
    return strKept;
}
} // namespace

void storeEditedText(const QString& strText, char* pField, const char* pCurrent, int iWidth)
{
    // The editor leaves out what another writer put in the field beyond a name (line breaks, escapes): a
    // text left as shown keeps the unit's own bytes, and nothing the operator did not type is written.
    // A text too long to edit is shown whole.
    const QString strCurrent = pCurrent ? deviceText(pCurrent, iWidth) : QString();
    if (pCurrent && (strText == strCurrent || strText == keptInEditor(strCurrent, nullptr)))
        std::memcpy(pField, pCurrent, size_t(iWidth));
    else
        storeDeviceText(strText, pField, iWidth);
}

QValidator::State CFieldWidthValidator::validate(QString& strInput, int& iPos) const
{
    strInput = keptInEditor(strInput, &iPos);
    return strInput.toUtf8().size() <= m_iWidth ? Acceptable : Invalid;
}
