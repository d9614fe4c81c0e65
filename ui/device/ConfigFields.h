#pragma once

#include <QRegExp>
#include <QString>
#include <QValidator>
#include <QtGlobal>

// Conversions between the configuration editors and the fixed-size fields of a device's edit record.

// The address pattern the edit slots and the OK check accept (looser than the address validator:
// leading zeros pass).
QRegExp configAddressPattern();
// Six pairs of hex digits joined by ":" or "-".
QRegExp configMacPattern();

// Stores a complete dotted address, spaces removed, first octet first; false (field untouched) for an
// incomplete or invalid text.
bool storeAddressText(const QString& strText, quint8* pField);
// Stores a complete MAC text, spaces removed; false (field untouched) for any other text.
bool storeMacText(const QString& strText, quint8* pField);

// Stores an editor's text in a device text field of the edit record. A text that reads as the device's
// own field (pCurrent) keeps the device's bytes: what follows its end, bytes that are not UTF-8 and a
// character cut at its end are not shown, and showing a device's values must leave nothing to send.
void storeEditedText(const QString& strText, char* pField, const char* pCurrent, int iWidth);

// Takes any text whose UTF-8 fits iWidth bytes of a device text field: a character whose bytes would not
// all fit is refused whole, so the editor never shows more than the device is sent. Line breaks and other
// control characters (from a paste, or a name another writer left) are dropped.
class CFieldWidthValidator : public QValidator
{
public:
    CFieldWidthValidator(int iWidth, QObject* parent) : QValidator(parent), m_iWidth(iWidth) {}
    State validate(QString& strInput, int& iPos) const override;

private:
    int m_iWidth;
};
