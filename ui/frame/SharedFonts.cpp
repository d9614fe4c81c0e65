#include "ui/frame/SharedFonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainterPath>
#include <QRawFont>

QFont* g_fontNormal8 = nullptr;
QFont* g_fontNormal9 = nullptr;
QFont* g_fontNormal10 = nullptr;
QFont* g_fontNormal11 = nullptr;
QFont* g_fontNormal12 = nullptr;
QFont* g_fontNormal13 = nullptr;
QFont* g_fontNormal14 = nullptr;
QFont* g_fontNormal15 = nullptr;
QFont* g_fontNormal16 = nullptr;
QFont* g_fontBold8 = nullptr;
QFont* g_fontBold9 = nullptr;
QFont* g_fontBold10 = nullptr;
QFont* g_fontBold11 = nullptr;
QFont* g_fontBold12 = nullptr;
QFont* g_fontBold13 = nullptr;
QFont* g_fontBold14 = nullptr;
QFont* g_fontBold15 = nullptr;
QFont* g_fontBold16 = nullptr;

namespace {

const char s_szFamily[] = "Microsoft YaHei";

// Index i holds point size 8 + i.
QFont** const s_ppNormal[] = {&g_fontNormal8,  &g_fontNormal9,  &g_fontNormal10,
                              &g_fontNormal11, &g_fontNormal12, &g_fontNormal13,
                              &g_fontNormal14, &g_fontNormal15, &g_fontNormal16};
QFont** const s_ppBold[] = {&g_fontBold8,  &g_fontBold9,  &g_fontBold10, &g_fontBold11, &g_fontBold12,
                            &g_fontBold13, &g_fontBold14, &g_fontBold15, &g_fontBold16};

// A family that draws both Simplified and Traditional Chinese, preferring sans-serif faces close to
// the requested one.
QString chineseFallbackFamily(const QFontDatabase& db)
{
    static const char* const s_preferred[] = {"WenQuanYi Micro Hei", "Noto Sans CJK SC",
                                              "Source Han Sans SC",  "Noto Sans SC",
                                              "WenQuanYi Zen Hei",   "Droid Sans Fallback"};
    for (const char* pszFamily : s_preferred) {
        if (db.hasFamily(QString::fromLatin1(pszFamily)))
            return QString::fromLatin1(pszFamily);
    }
    const QStringList listTraditional = db.families(QFontDatabase::TraditionalChinese);
    for (const QString& strFamily : db.families(QFontDatabase::SimplifiedChinese)) {
        if (listTraditional.contains(strFamily))
            return strFamily;
    }
    return QString();
}

// Whether font draws every visible character of strText: a character it has no glyph for is left to
// the fallback fonts, but one it maps to an empty glyph shows as nothing.
bool drawsAll(const QFont& font, const QString& strText)
{
    const QRawFont raw = QRawFont::fromFont(font);
    for (const QChar ch : strText) {
        if (ch.isSpace())
            continue;
        const QVector<quint32> glyphs = raw.glyphIndexesForString(QString(ch));
        if (!glyphs.isEmpty() && glyphs.first() != 0 && raw.pathForGlyph(glyphs.first()).isEmpty())
            return false;
    }
    return true;
}

} // namespace

QFont fontForText(const QFont& base, const QString& strText, int iWidth)
{
    QFont font = base;
    if (!drawsAll(font, strText)) {
        QStringList listFamilies{QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")};
        listFamilies += QFontDatabase().families();
        for (const QString& strFamily : qAsConst(listFamilies)) {
            QFont candidate = base;
            candidate.setFamily(strFamily);
            if (QFontInfo(candidate).family() == strFamily && drawsAll(candidate, strText)) {
                font = candidate;
                break;
            }
        }
    }
    for (int iSize = base.pointSize(); iSize > 8 && QFontMetrics(font).horizontalAdvance(strText) > iWidth;
         --iSize)
        font.setPointSize(iSize - 1);
    return font;
}

QString sharedFontFamily()
{
    return QFontInfo(QFont(QString::fromLatin1(s_szFamily))).family();
}

void createSharedFonts()
{
    const QString strFamily = QString::fromLatin1(s_szFamily);
    const QFontDatabase db;
    if (!db.hasFamily(strFamily) && QFont::substitutes(strFamily).isEmpty()) {
        const QString strFallback = chineseFallbackFamily(db);
        if (!strFallback.isEmpty())
            QFont::insertSubstitution(strFamily, strFallback);
    }

    for (int i = 0; i < 9; ++i) {
        if (!*s_ppNormal[i])
            *s_ppNormal[i] = new QFont(strFamily, 8 + i, QFont::Normal, false);
        if (!*s_ppBold[i])
            *s_ppBold[i] = new QFont(strFamily, 8 + i, QFont::Bold, false);
    }
    QApplication::setFont(*g_fontNormal9);
}

void deleteSharedFonts()
{
    for (int i = 0; i < 9; ++i) {
        delete *s_ppNormal[i];
        *s_ppNormal[i] = nullptr;
        delete *s_ppBold[i];
        *s_ppBold[i] = nullptr;
    }
}
