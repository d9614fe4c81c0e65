#pragma once

#include <QString>

// A device's names, position and outlet names: fixed-width byte fields padded with NULs, holding UTF-8
// (what the units and every earlier console wrote). Every screen, file and report reads and writes them
// through this pair, so a name reads the same wherever it is shown.

// The text up to the first NUL, at most iWidth bytes. Bytes that are not UTF-8 read as U+FFFD; a
// character cut off by the field's end (a field filled to the last byte by another writer) is left out.
// Control characters are kept: each output escapes them as its format needs.
QString deviceText(const char* pField, int iWidth);
// Fills all iWidth bytes: the UTF-8 of strText, ended before a character that would not fit whole (or
// at a NUL), then NULs. A text that fills the field exactly leaves no NUL, as the units accept.
void storeDeviceText(const QString& strText, char* pField, int iWidth);

template <int N> QString deviceText(const char (&field)[N])
{
    return deviceText(field, N);
}

template <int N> void storeDeviceText(const QString& strText, char (&field)[N])
{
    storeDeviceText(strText, field, N);
}

// For text read on a terminal, in a log line, a mail's line or any one-line label: line breaks, escape
// sequences and direction overrides become U+FFFD, so that a name cannot break a line, drive the
// terminal or show what follows reversed.
QString terminalText(QString strText);
