#pragma once

#include <QString>

class QFont;

// The fonts every screen shares, all of the family "Microsoft YaHei": point sizes 8 to 16, normal
// (weight 50) and bold (weight 75). Null until createSharedFonts() has run.
extern QFont* g_fontNormal8;
extern QFont* g_fontNormal9;
extern QFont* g_fontNormal10;
extern QFont* g_fontNormal11;
extern QFont* g_fontNormal12;
extern QFont* g_fontNormal13;
extern QFont* g_fontNormal14;
extern QFont* g_fontNormal15;
extern QFont* g_fontNormal16;
extern QFont* g_fontBold8;
extern QFont* g_fontBold9;
extern QFont* g_fontBold10;
extern QFont* g_fontBold11;
extern QFont* g_fontBold12;
extern QFont* g_fontBold13;
extern QFont* g_fontBold14;
extern QFont* g_fontBold15;
extern QFont* g_fontBold16;

// Creates the 18 fonts (once) and makes g_fontNormal9 the application font. Needs the application
// object. Where "Microsoft YaHei" is not installed the family is substituted by an installed one that
// has Chinese glyphs, so Chinese texts never show as empty boxes.
void createSharedFonts();
// Deletes the 18 fonts and sets the pointers back to null.
void deleteSharedFonts();
// The family that "Microsoft YaHei" is drawn with on this machine (itself when installed).
QString sharedFontFamily();
// A font for strText within iWidth pixels: base when it draws every character and fits; otherwise an
// installed family that draws what base leaves blank (some fonts map a sign such as U+2103 to an empty
// glyph, so no fallback takes over), at the largest size from base's down to 8 points that fits.
QFont fontForText(const QFont& base, const QString& strText, int iWidth);
