#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QImage>
#include <QMovie>
#include <QPushButton>
#include <QRegularExpression>
#include <QResource>
#include <QSet>
#include <QStyle>
#include <QTextStream>
#include <QTranslator>
#include <QtTest>

namespace {

const char s_szStyleSheet[] = ":/StyleSheet/StyleSheet/StyleSheet.qss";

QString sourceDir() { return qEnvironmentVariable("RACKMIND_SOURCE_DIR"); }

// Every resource path written literally in the program's sources and in the style sheet.
QMap<QString, QString> referencedPaths()
{
    static const QRegularExpression s_reg(QStringLiteral(R"(:/[A-Za-z0-9_./-]+?\.(?:png|gif|qss|qm|jpg|ico|svg))"));
    QMap<QString, QString> paths; // path -> first file that uses it
    const QStringList listRoots = {"app", "device", "mail", "ui", "tools", "resources/StyleSheet"};
    for (const QString& strRoot : listRoots) {
        QDirIterator it(sourceDir() + QLatin1Char('/') + strRoot, {"*.cpp", "*.h", "*.qss"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString strText = QString::fromUtf8(file.readAll());
            auto matches = s_reg.globalMatch(strText);
            while (matches.hasNext()) {
                const QString strPath = matches.next().captured(0);
                if (!paths.contains(strPath))
                    paths.insert(strPath, QDir(sourceDir()).relativeFilePath(file.fileName()));
            }
        }
    }
    return paths;
}

QImage grabbed(QWidget* pWidget)
{
    pWidget->style()->unpolish(pWidget);
    pWidget->style()->polish(pWidget);
    return pWidget->grab().toImage();
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QDir(sourceDir()).exists(QStringLiteral("resources")), "RACKMIND_SOURCE_DIR is not the source tree");
    }

    void referencedPathLoads_data()
    {
        QTest::addColumn<QString>("strPath");
        const QMap<QString, QString> paths = referencedPaths();
        // The style sheet alone names several dozen pictures; far fewer means the scan is broken.
        QVERIFY2(paths.size() > 60, qPrintable(QString::number(paths.size())));
        for (auto it = paths.cbegin(); it != paths.cend(); ++it)
            QTest::newRow(qPrintable(it.key() + QLatin1String(" in ") + it.value())) << it.key();
    }

    void referencedPathLoads()
    {
        QFETCH(QString, strPath);
        QVERIFY2(QFile::exists(strPath), "missing from the resource bundle");
        if (strPath.endsWith(QLatin1String(".gif"))) {
            QMovie movie(strPath);
            QVERIFY(movie.isValid());
            QVERIFY(movie.jumpToFrame(0));
            QVERIFY(!movie.currentImage().isNull());
        } else if (strPath.endsWith(QLatin1String(".qm"))) {
            QTranslator translator;
            QVERIFY(translator.load(strPath));
        } else if (strPath.endsWith(QLatin1String(".qss"))) {
            QFile file(strPath);
            QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
            QVERIFY(!QString::fromUtf8(file.readAll()).trimmed().isEmpty());
        } else {
            const QImage image(strPath);
            QVERIFY(!image.isNull());
        }
    }

    void sizes_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<QSize>("size");
        QTest::newRow("colour icon") << ":/Application/Application/ApplicationPng.png" << QSize(410, 410);
        QTest::newRow("grey icon") << ":/Application/Application/ApplicationIcon_Grayscale.png" << QSize(410, 410);
        QTest::newRow("shadow") << ":/Dialog/Dialog/ShadowBorder.png" << QSize(43, 40);
        for (const char* psz : {"DeviceOverview", "DeviceConfig", "GroupConfig", "SystemConfig"})
            QTest::newRow(psz) << QStringLiteral(":/MainTab/MainTab/%1.png").arg(QLatin1String(psz)) << QSize(512, 512);
        QTest::newRow("switch on") << ":/CheckBox/CheckBox/Switch_On.png" << QSize(33, 20);
        QTest::newRow("switch off") << ":/CheckBox/CheckBox/Switch_Off.png" << QSize(33, 20);
    }

    void sizes()
    {
        QFETCH(QString, strPath);
        QFETCH(QSize, size);
        QCOMPARE(QImage(strPath).size(), size);
    }

    void loadingStripIsAnimated()
    {
        QMovie movie(QStringLiteral(":/Movie/Movie/Loading.gif"));
        QVERIFY(movie.isValid());
        QVERIFY(movie.frameCount() > 1);
        QVERIFY(movie.jumpToFrame(0));
        QCOMPARE(movie.currentImage().width(), 377);
        const QImage first = movie.currentImage();
        for (int i = 0; i < movie.frameCount() / 2; ++i)
            QVERIFY(movie.jumpToNextFrame());
        QVERIFY(movie.currentImage() != first);
    }

    void catalogues_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<QString>("strContext");
        QTest::addColumn<QString>("strSource");
        QTest::newRow("toolkit zh_CN") << ":/Language/Language/qt_zh_CN.qm" << "QPlatformTheme" << "Cancel";
        QTest::newRow("toolkit zh_TW") << ":/Language/Language/qt_zh_TW.qm" << "QPlatformTheme" << "Cancel";
        QTest::newRow("zh_CN") << ":/Language/Language/zh_CN.qm" << QString() << QString();
        QTest::newRow("zh_TW") << ":/Language/Language/zh_TW.qm" << QString() << QString();
    }

    void catalogues()
    {
        QFETCH(QString, strPath);
        QFETCH(QString, strContext);
        QFETCH(QString, strSource);
        QTranslator translator;
        QVERIFY(translator.load(strPath));
        if (!strContext.isEmpty()) {
            const QString strText = translator.translate(qPrintable(strContext), qPrintable(strSource));
            QVERIFY(!strText.isEmpty());
            QVERIFY(strText != strSource);
        }
    }

    // No picture of the bundle may be a placeholder: blank, fully transparent or one flat colour.
    void noPlaceholders()
    {
        int iCount = 0;
        QDirIterator it(QStringLiteral(":/"), {"*.png"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString strPath = it.next();
            if (strPath.startsWith(QLatin1String(":/qt-project.org")))
                continue;
            const QImage image = QImage(strPath).convertToFormat(QImage::Format_ARGB32);
            QSet<QRgb> colours;
            bool bInk = false;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb rgb = image.pixel(x, y);
                    bInk = bInk || qAlpha(rgb) > 0;
                    colours.insert(rgb);
                }
            }
            QVERIFY2(bInk, qPrintable(strPath + QLatin1String(" is blank")));
            QVERIFY2(colours.size() > 1, qPrintable(strPath + QLatin1String(" is one flat colour")));
            ++iCount;
        }
        QVERIFY(iCount > 90);
    }

    void styleSheetEncodingAndStorage()
    {
        QFile file(QString::fromLatin1(s_szStyleSheet));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray baText = file.readAll();
        QVERIFY(baText.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(QString::fromUtf8(baText).toUtf8(), baText.mid(3)); // valid UTF-8, BOM dropped on decoding
        QResource resource(QString::fromLatin1(s_szStyleSheet));
        QVERIFY(resource.isValid());
        QVERIFY(resource.compressionAlgorithm() != QResource::NoCompression);
    }

    void styleSheetParsesCleanly()
    {
        static QStringList s_listWarnings;
        s_listWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& strMessage) { s_listWarnings << strMessage; });
        QFile file(QString::fromLatin1(s_szStyleSheet));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        QPushButton button;
        button.setObjectName(QStringLiteral("BtnOk"));
        button.grab();
        qInstallMessageHandler(previous);
        QVERIFY2(s_listWarnings.isEmpty(), qPrintable(s_listWarnings.join(QLatin1Char('\n'))));
        qApp->setStyleSheet(QString());
    }

    // A property that the style sheet keys on changes the picture once the widget is polished again.
    void propertyRulesNeedRepolish_data()
    {
        QTest::addColumn<QString>("strObjectName");
        QTest::addColumn<QString>("strProperty");
        QTest::newRow("maximise button") << "BtnMax" << "windowMaximized";
        QTest::newRow("sub tab") << "SubTabBtn" << "tabActived";
    }

    void propertyRulesNeedRepolish()
    {
        QFETCH(QString, strObjectName);
        QFETCH(QString, strProperty);
        QFile file(QString::fromLatin1(s_szStyleSheet));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));

        QPushButton button(QStringLiteral("Network"));
        button.setObjectName(strObjectName);
        button.setFixedSize(120, 30);
        button.setProperty(qPrintable(strProperty), false);
        const QImage off = grabbed(&button);
        button.setProperty(qPrintable(strProperty), true);
        QCOMPARE(button.grab().toImage(), off);
        const QImage on = grabbed(&button);
        QVERIFY(on != off);
        button.setProperty(qPrintable(strProperty), false);
        QCOMPARE(grabbed(&button), off);
        qApp->setStyleSheet(QString());
    }

    void outletSwitchShowsOnAndOff()
    {
        QFile file(QString::fromLatin1(s_szStyleSheet));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        QCheckBox outlet;
        outlet.setObjectName(QStringLiteral("CheckOutlet8"));
        outlet.setLayoutDirection(Qt::RightToLeft);
        QCheckBox plain;
        QVERIFY(outlet.sizeHint().height() >= 20);
        QVERIFY(outlet.sizeHint().width() >= 33);
        QVERIFY(plain.sizeHint().width() < 33);
        const QImage off = grabbed(&outlet);
        outlet.setChecked(true);
        const QImage on = grabbed(&outlet);
        QVERIFY(on != off);
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
