#include "app/MenuIconStyle.h"
#include "app/SharedFonts.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyleFactory>
#include <QtTest>

Q_DECLARE_METATYPE(QFont**)

class TestAppStyle : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { deleteSharedFonts(); }

    void fonts_data()
    {
        QTest::addColumn<QFont**>("ppFont");
        QTest::addColumn<int>("iPointSize");
        QTest::addColumn<int>("iWeight");
        QFont** const ppNormal[] = {&g_fontNormal8,  &g_fontNormal9,  &g_fontNormal10,
                                    &g_fontNormal11, &g_fontNormal12, &g_fontNormal13,
                                    &g_fontNormal14, &g_fontNormal15, &g_fontNormal16};
        QFont** const ppBold[] = {&g_fontBold8,  &g_fontBold9,  &g_fontBold10, &g_fontBold11, &g_fontBold12,
                                  &g_fontBold13, &g_fontBold14, &g_fontBold15, &g_fontBold16};
        for (int i = 0; i < 9; ++i) {
            QTest::addRow("normal %d", 8 + i) << ppNormal[i] << 8 + i << 50;
            QTest::addRow("bold %d", 8 + i) << ppBold[i] << 8 + i << 75;
        }
    }

    void fonts()
    {
        QFETCH(QFont**, ppFont);
        QFETCH(int, iPointSize);
        QFETCH(int, iWeight);
        QVERIFY(!*ppFont);
        createSharedFonts();
        QFont* pFont = *ppFont;
        QVERIFY(pFont);
        QCOMPARE(pFont->family(), QStringLiteral("Microsoft YaHei"));
        QCOMPARE(pFont->pointSize(), iPointSize);
        QCOMPARE(pFont->weight(), iWeight);
        QVERIFY(!pFont->italic());
        deleteSharedFonts();
        QVERIFY(!*ppFont);
    }

    void createIsIdempotentAndSetsApplicationFont()
    {
        createSharedFonts();
        QFont* pFirst = g_fontNormal12;
        createSharedFonts();
        QCOMPARE(g_fontNormal12, pFirst);
        QCOMPARE(QApplication::font().family(), QStringLiteral("Microsoft YaHei"));
        QCOMPARE(QApplication::font().pointSize(), 9);
        QCOMPARE(QApplication::font().weight(), 50);
    }

    // The requested family is not installed on Linux: whatever draws it must carry both Chinese scripts.
    void chineseGlyphs_data()
    {
        QTest::addColumn<QString>("strText");
        QTest::newRow("simplified") << QStringLiteral("设备组网络");
        QTest::newRow("traditional") << QStringLiteral("設備組網絡");
    }

    void chineseGlyphs()
    {
        QFETCH(QString, strText);
        createSharedFonts();
        for (QFont* pFont : {g_fontNormal9, g_fontBold16}) {
            const QFontInfo info(*pFont);
            QCOMPARE(info.family(), sharedFontFamily());
            const QFontMetrics metrics(*pFont);
            for (const QChar ch : strText)
                QVERIFY2(metrics.inFont(ch), qPrintable(info.family() + QLatin1Char(' ') + ch));
        }
    }

    void menuIconStyle()
    {
        CMenuIconStyle style;
        QCOMPARE(style.baseStyle()->objectName().toLower(), QStringLiteral("fusion"));
        QCOMPARE(style.pixelMetric(QStyle::PM_SmallIconSize), 20);

        std::unique_ptr<QStyle> pFusion(QStyleFactory::create(QStringLiteral("fusion")));
        for (QStyle::PixelMetric metric : {QStyle::PM_ButtonMargin, QStyle::PM_LargeIconSize,
                                           QStyle::PM_ToolBarIconSize, QStyle::PM_IndicatorWidth,
                                           QStyle::PM_ScrollBarExtent, QStyle::PM_MenuHMargin})
            QCOMPARE(style.pixelMetric(metric), pFusion->pixelMetric(metric));
    }
};

QTEST_MAIN(TestAppStyle)
#include "tst_appstyle.moc"
