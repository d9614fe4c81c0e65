#include "app/SharedFonts.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QtTest>

// The requested family is not installed on Linux: whatever draws the shared fonts must carry both
// Chinese scripts, or every Chinese text shows as empty boxes.
class TestAppStyle : public QObject
{
    Q_OBJECT

private slots:
    void chineseGlyphs()
    {
        createSharedFonts();
        QFont* pFirst = g_fontNormal9;
        createSharedFonts(); // once only: the pages keep the pointers
        QCOMPARE(g_fontNormal9, pFirst);
        for (QFont font : {*g_fontNormal9, *g_fontBold16, QApplication::font()}) {
            QCOMPARE(QFontInfo(font).family(), sharedFontFamily());
            for (const QChar ch : QStringLiteral("设备组网络設備組網絡"))
                QVERIFY2(QFontMetrics(font).inFont(ch), qPrintable(QFontInfo(font).family() + QLatin1Char(' ') + ch));
        }
        deleteSharedFonts();
        QVERIFY(!g_fontNormal9 && !g_fontBold16);
    }
};

QTEST_MAIN(TestAppStyle)
#include "tst_appstyle.moc"
