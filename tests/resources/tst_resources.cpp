#include "ui/frame/SharedFonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QImageReader>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyle>
#include <QTranslator>
#include <QtTest>

// The resource bundle: everything the program names is in it and usable, no picture is a placeholder,
// and the style sheet parses and tells states apart. The shared fonts draw Chinese.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    // Every resource path written literally in the program's sources and in the style sheet.
    void referencedPathLoads_data()
    {
        QTest::addColumn<QString>("strPath");
        static const QRegularExpression s_reg(
            QStringLiteral(R"(:/[A-Za-z0-9_./-]+?\.(?:png|gif|qss|qm|jpg|ico|svg))"));
        QSet<QString> paths;
        for (const char* pszRoot : {"app", "device", "mail", "ui", "tools", "resources/StyleSheet"}) {
            QDirIterator it(qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QLatin1Char('/') +
                                QLatin1String(pszRoot),
                            {"*.cpp", "*.h", "*.qss"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                for (auto matches = s_reg.globalMatch(QString::fromUtf8(file.readAll()));
                     matches.hasNext();) {
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
        if (strPath.endsWith(QLatin1String(".qm")))
            QVERIFY(QTranslator().load(strPath));
        if (strPath.endsWith(QLatin1String(".qm")) || strPath.endsWith(QLatin1String(".qss")))
            return;
        // A picture (an animation's first frame) must not be a placeholder: blank, transparent or flat.
        const QImage image =
            QImageReader(strPath).read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QSet<QRgb> colours;
        for (int i = 0; i < image.width() * image.height(); ++i)
            colours << image.pixel(i % image.width(), i / image.width());
        QVERIFY2(colours.size() > 1, "unreadable, blank or one flat colour");
    }

    // The sheet parses without a warning, and its rules keyed on a property or a state show another
    // picture for each value once the widget is polished again.
    void styleSheet()
    {
        static QStringList s_listWarnings;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& strMessage) {
                s_listWarnings << strMessage;
            });
        QFile file(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        QCheckBox outlet;
        QPushButton maximise, tab;
        for (auto [pButton, pszName, pszProperty] :
             {std::tuple<QAbstractButton*, const char*, const char*>{&outlet, "CheckOutlet8", nullptr},
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
        for (QFont font : {*g_fontNormal9, *g_fontBold16, QApplication::font()}) {
            QCOMPARE(QFontInfo(font).family(), sharedFontFamily());
            for (const QChar ch : QStringLiteral("设备组网络設備組網絡"))
                QVERIFY2(QFontMetrics(font).inFont(ch),
                         qPrintable(QFontInfo(font).family() + QLatin1Char(' ') + ch));
        }
        deleteSharedFonts();
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
