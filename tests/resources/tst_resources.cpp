#include "app/SharedFonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMovie>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyle>
#include <QTranslator>
#include <QtTest>

// The resource bundle: everything the program names is in it and usable, nothing in it is a
// placeholder, and the style sheet parses and tells states apart. The shared fonts draw Chinese.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    // Every resource path written literally in the program's sources and in the style sheet.
    void referencedPathLoads_data()
    {
        QTest::addColumn<QString>("strPath");
        static const QRegularExpression s_reg(QStringLiteral(R"(:/[A-Za-z0-9_./-]+?\.(?:png|gif|qss|qm|jpg|ico|svg))"));
        QSet<QString> paths;
        for (const char* pszRoot : {"app", "device", "mail", "ui", "tools", "resources/StyleSheet"}) {
            QDirIterator it(qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QLatin1Char('/') + QLatin1String(pszRoot),
                            {"*.cpp", "*.h", "*.qss"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                for (auto matches = s_reg.globalMatch(QString::fromUtf8(file.readAll())); matches.hasNext();) {
                    const QString strPath = matches.next().captured(0);
                    if (!paths.contains(strPath))
                        QTest::newRow(qPrintable(strPath + QLatin1String(" in ") + it.fileName())) << strPath;
                    paths << strPath;
                }
            }
        }
        // The style sheet alone names several dozen pictures; far fewer means the scan is broken.
        QVERIFY2(paths.size() > 60, qPrintable(QString::number(paths.size())));
    }

    void referencedPathLoads()
    {
        QFETCH(QString, strPath);
        QFile file(strPath);
        QVERIFY2(file.open(QIODevice::ReadOnly) && file.size() > 0, "missing from the resource bundle");
        if (strPath.endsWith(QLatin1String(".gif")))
            QVERIFY(QMovie(strPath).jumpToFrame(0));
        else if (strPath.endsWith(QLatin1String(".qm")))
            QVERIFY(QTranslator().load(strPath));
        else if (!strPath.endsWith(QLatin1String(".qss")))
            QVERIFY(!QImage(strPath).isNull());
    }

    // No picture of the bundle may be a placeholder: blank, fully transparent or one flat colour.
    void noPlaceholders()
    {
        int iCount = 0;
        for (QDirIterator it(QStringLiteral(":/"), {"*.png"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString strPath = it.next();
            if (strPath.startsWith(QLatin1String(":/qt-project.org")))
                continue;
            const QImage image = QImage(strPath).convertToFormat(QImage::Format_ARGB32);
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(qAlpha(image.pixel(x, y)) ? image.pixel(x, y) : 0);
            QVERIFY2(colours.size() > 1, qPrintable(strPath + QLatin1String(" is blank or flat")));
            ++iCount;
        }
        QVERIFY(iCount > 90);
    }

    // The sheet parses without a warning, and its rules keyed on a property or a state show another
    // picture for each value once the widget is polished again.
    void styleSheet()
    {
        static QStringList s_listWarnings;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& strMessage) { s_listWarnings << strMessage; });
        QFile file(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        QCheckBox outlet;
        QPushButton maximise, tab;
        for (auto [pButton, pszName, pszProperty] : {std::tuple<QAbstractButton*, const char*, const char*>{
                                                         &outlet, "CheckOutlet8", nullptr},
                                                     {&maximise, "BtnMax", "windowMaximized"},
                                                     {&tab, "SubTabBtn", "tabActived"}}) {
            pButton->setObjectName(QLatin1String(pszName));
            pButton->setFixedSize(120, 40);
            const QImage off = pButton->grab().toImage();
            pszProperty ? void(pButton->setProperty(pszProperty, true)) : pButton->setChecked(true);
            pButton->style()->unpolish(pButton);
            pButton->style()->polish(pButton);
            QVERIFY2(pButton->grab().toImage() != off, pszName);
        }
        qInstallMessageHandler(previous);
        QVERIFY2(s_listWarnings.isEmpty(), qPrintable(s_listWarnings.join(QLatin1Char('\n'))));
    }

    // The requested family is not installed on Linux: whatever draws the shared fonts must carry both
    // Chinese scripts, or every Chinese text shows as empty boxes.
    void sharedFontsDrawChinese()
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

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
