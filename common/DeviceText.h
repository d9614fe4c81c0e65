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

// One sanitiser per kind of output a device's text reaches. Each shows the characters that could end its
// line, drive a terminal or turn what follows around as visible escapes, so the operator sees what the unit
// sent: \n \r \t, \xHH for the other C0 and C1 controls and DEL, \uHHHH for U+2028/2029 and the
// direction marks, embeddings, overrides and isolates. A backslash is doubled, so that a name cannot write
// an escape that reads as one of these.

// A line of the service's log (stderr, the journal): a quote is escaped too, names stand in quotes there.
QString logText(const QString& strText);
// A line rackmind-ctl prints, a column of its tables, its messages on stderr.
QString terminalText(const QString& strText);
// A mail header's value; the MIME writer then encodes it (RFC 2047) as it needs.
QString mailHeaderText(const QString& strText);
// A field within one line of a mail's body.
QString mailLineText(const QString& strText);
// One CSV field as written (RFC 4180): escaped (so a leading tab or line break starts with a backslash),
// a text a spreadsheet would take for a formula (leading =, +, -, @, unless a plain number) behind an
// apostrophe, and quoted where a comma or a quote needs it.
QString csvField(const QString& strText);
// A text a PDF draws on one line.
QString pdfText(const QString& strText);

// For a one-line label in a window (menus, balloons, summaries, editors): the same characters become
// U+FFFD, one for one, so that the text keeps its length and what an editor leaves out is known by place.
QString labelText(QString strText);
