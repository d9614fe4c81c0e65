#include "cli/CtlFormat.h"
#include "cli/CtlLink.h"
#include "common/Clock.h"
#include "common/DeviceText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "metrics/MetricsText.h"
#include "metrics/RoomPage.h"
#include "power/MonthlyReport.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/NetworkConfigWidget.h"
#include "ui/device/OutletNameConfigWidget.h"
#include "ui/power/ReportPdf.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {
// "é", two CJK characters and the 16-byte name field filled to its last byte.
const QString kName = QStringLiteral("Caf\u00e9-\u6771\u4eac1234");
const QString kOutlet = QStringLiteral("\u00e9\u6771\u4eac9"); // 9 of the 10 bytes

QByteArray field(const char* pszBytes, int iSize, int iWidth)
{
    QByteArray ba(pszBytes, iSize);
    ba.append(QByteArray(iWidth - iSize, '\0'));
    return ba;
}

CtlPdu ctlOf(const CPdu* pPdu)
{
    CtlPdu ctl;
    ctl.info = pPdu->stInfo;
    return ctl;
}

// The page reads the name and stores it back unchanged: no download of a name nobody edited.
template <class Page> QString pageShows(CPdu* pPdu, const char* pszEditor)
{
    Page page(nullptr);
    page.setPdu(pPdu);
    page.loadFromPdu();
    return pPdu->needDownload().isEmpty()
               ? page.template findChildren<QLineEdit*>(QLatin1String(pszEditor)).first()->text()
               : QStringLiteral("stored differently");
}

// What a user of each output reads where the device's name stands.
using Output = std::function<QString(CPdu*)>;
using Sanitiser = QString (*)(const QString&);
} // namespace
Q_DECLARE_METATYPE(Output)
Q_DECLARE_METATYPE(Sanitiser)

class TestDeviceText : public QObject
{
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("baField");
        QTest::addColumn<QString>("strText");
        QTest::newRow("filled to the byte") << kName.toUtf8() << kName;
        // A writer that cut the last character: the remains read as nothing, not as a broken character.
        QTest::newRow("cut at the end") << kName.toUtf8().left(15) + "\xe4" << kName.left(10);
        QTest::newRow("Latin-1 byte") << field("Caf\xe9 1", 6, 16) << QStringLiteral("Caf\ufffd 1");
        QTest::newRow("lone lead before NUL") << field("Caf\xe9", 4, 16) << QStringLiteral("Caf\ufffd");
        QTest::newRow("stray continuations at the end") << QByteArray("0123456789abc\x80\x80\x80", 16)
                                                        << QStringLiteral("0123456789abc\ufffd\ufffd\ufffd");
        QTest::newRow("bytes after the NUL") << field("ab\0cd", 5, 16) << QStringLiteral("ab");
        QTest::newRow("control kept for the output")
            << field("a\nb\x1b", 4, 16) << QStringLiteral("a\nb\x1b");
    }
    void decode()
    {
        QFETCH(QByteArray, baField);
        QFETCH(QString, strText);
        QCOMPARE(deviceText(baField.constData(), baField.size()), strText);
    }

    void encode_data()
    {
        QTest::addColumn<QString>("strText");
        QTest::addColumn<int>("iWidth");
        QTest::addColumn<QByteArray>("baField");
        QTest::newRow("fills the field") << kName << 16 << kName.toUtf8();
        QTest::newRow("character that would not fit whole")
            << kName.left(10) + QChar(0x6771) << 16 << kName.toUtf8().left(15) + '\0';
        QTest::newRow("outlet name") << QStringLiteral("\u6771\u4eac\u6771\u4eac") << 10
                                     << field("\xe6\x9d\xb1\xe4\xba\xac\xe6\x9d\xb1", 9, 10);
        QTest::newRow("four-byte character") << QStringLiteral("ab\U0001F50C") << 5 << field("ab", 2, 5);
        QTest::newRow("NUL in the text")
            << QStringLiteral("ab").append(QChar(0)).append(QLatin1Char('c')) << 10 << field("ab", 2, 10);
        QTest::newRow("empty") << QString() << 10 << QByteArray(10, '\0');
    }
    void encode()
    {
        QFETCH(QString, strText);
        QFETCH(int, iWidth);
        QFETCH(QByteArray, baField);
        QByteArray baOut(iWidth, 'x');
        storeDeviceText(strText, baOut.data(), iWidth);
        QCOMPARE(baOut, baField);
        QVERIFY(!deviceText(baOut.constData(), iWidth).contains(QChar::ReplacementCharacter));
    }

    // Each output's sanitiser: what a unit can put in a name shows as an escape, on the line it belongs to.
    void sanitisers_data()
    {
        QTest::addColumn<Sanitiser>("sanitise");
        QTest::addColumn<QString>("strIn");
        QTest::addColumn<QString>("strOut");
        const QString kNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        // Where an output differs from the others: the log quotes names, the CSV quotes fields and defuses
        // formulas; elsewhere a quote or a formula is plain text.
        struct Case
        {
            const char* pszName;
            QString strIn, strOut, strLog = {}, strCsv = {};
        };
        const QString kQuote = QStringLiteral("say \"hi\"");
        const QList<Case> listCases = {
            {"newline", QStringLiteral("a\nstopped"), QStringLiteral("a\\nstopped")},
            {"CR LF tab", QStringLiteral("a\r\nb\tc"), QStringLiteral("a\\r\\nb\\tc")},
            {"escape sequence", QStringLiteral("\x1b[2Jx\x07"), QStringLiteral("\\x1b[2Jx\\x07")},
            {"line separator", QStringLiteral("a\u2028b\u2029"), QStringLiteral("a\\u2028b\\u2029")},
            {"direction override", QStringLiteral("\u202egnp.exe\u2066\u200f\u061c"),
             QStringLiteral("\\u202egnp.exe\\u2066\\u200f\\u061c")},
            {"NUL", kNul, QStringLiteral("a\\x00b")},
            {"DEL", QStringLiteral("a\x7f"), QStringLiteral("a\\x7f")},
            {"C1", QStringLiteral("a\u009b2J\u0085"), QStringLiteral("a\\x9b2J\\x85")},
            {"backslash", QStringLiteral("a\\nb\\"), QStringLiteral("a\\\\nb\\\\")},
            {"CJK", kName, kName},
            {"quote", kQuote, kQuote, QStringLiteral("say \\\"hi\\\""), QStringLiteral("\"say \"\"hi\"\"\"")},
            {"formula", QStringLiteral("=1+2"), QStringLiteral("=1+2"), QString(), QStringLiteral("'=1+2")},
            {"number", QStringLiteral("-12.5"), QStringLiteral("-12.5")},
            {"formula, comma, break", QStringLiteral("@x,\ny"), QStringLiteral("@x,\\ny"), QString(),
             QStringLiteral("\"'@x,\\ny\"")},
            {"leading break", QStringLiteral("\n=cmd"), QStringLiteral("\\n=cmd")},
        };
        const QList<QPair<const char*, Sanitiser>> listOutputs = {{"log", &logText},
                                                                  {"terminal", &terminalText},
                                                                  {"mail header", &mailHeaderText},
                                                                  {"mail line", &mailLineText},
                                                                  {"csv", &csvField},
                                                                  {"pdf", &pdfText}};
        for (const auto& output : listOutputs)
            for (const Case& c : listCases) {
                const QString& strOwn = output.second == &logText    ? c.strLog
                                        : output.second == &csvField ? c.strCsv
                                                                     : c.strOut;
                QTest::newRow(QByteArray(output.first + QByteArray(" ") + c.pszName).constData())
                    << output.second << c.strIn << (strOwn.isNull() ? c.strOut : strOwn);
            }
    }
    void sanitisers()
    {
        QFETCH(Sanitiser, sanitise);
        QFETCH(QString, strIn);
        QFETCH(QString, strOut);
        QCOMPARE(sanitise(strIn), strOut);
    }

    // rackmind-ctl show prints the outlet names as JSON: JSON's escapes stand, nothing is doubled, and
    // what JSON leaves raw gets its \u escape.
    void showKeepsJsonEscapes()
    {
        CPdu pdu;
        storeDeviceText(QStringLiteral("a\n\u202e\"\\"), pdu.stInfo.outletName[0], 10);
        QVERIFY2(pduText(ctlOf(&pdu)).contains(QStringLiteral("\noutletNames: [\"a\\n\\u202e\\\"\\\\\",")),
                 qPrintable(pduText(ctlOf(&pdu))));
    }

    // A label in a window keeps the text's length: each hidden character becomes one U+FFFD.
    void label()
    {
        QCOMPARE(labelText(QStringLiteral("a\tb\n\x1b[2J\u202e") + kName),
                 QStringLiteral("a\ufffdb\ufffd\ufffd[2J\ufffd") + kName);
    }

    void everyOutputShowsTheName_data()
    {
        QTest::addColumn<Output>("output");
        QTest::newRow("overview") << Output([](CPdu*) {
            CDeviceOverviewWidget overview;
            QObject::connect(g_pRackmind, &CRackmind::signalNewDevice, &overview,
                             &CDeviceOverviewWidget::slotNewDevice);
            emit g_pRackmind->signalNewDevice(g_pRackmind->listPdu.first());
            QMetaObject::invokeMethod(&overview, "slotUpdateList");
            return overview.treeWidget()->topLevelItem(0)->child(0)->text(CDeviceOverviewWidget::ColumnName);
        });
        QTest::newRow("configuration page")
            << Output([](CPdu* pPdu) { return pageShows<CNetworkConfigWidget>(pPdu, "LineEditName"); });
        QTest::newRow("outlet name page") << Output(
            [](CPdu* pPdu) { return pageShows<COutletNameConfigWidget>(pPdu, "LineEditOutletName"); });
        QTest::newRow("metrics") << Output([](CPdu* pPdu) {
            return QString::fromUtf8(renderMetrics({pPdu}, MetricsTotals()))
                .section(QStringLiteral(",name=\""), 1)
                .section(QLatin1Char('"'), 0, 0);
        });
        QTest::newRow("landing page") << Output([](CPdu* pPdu) {
            return QString::fromUtf8(renderRoomPage({pPdu}))
                .section(QStringLiteral("class=\"name\">"), 1)
                .section(QLatin1Char('<'), 0, 0);
        });
        QTest::newRow("rackmind-ctl list")
            << Output([](CPdu* pPdu) { return pduLine(ctlOf(pPdu)).section(QLatin1Char('\t'), 2, 2); });
        QTest::newRow("rackmind-ctl show") << Output([](CPdu* pPdu) {
            return pduText(ctlOf(pPdu)).section(QStringLiteral("name: "), 1).section(QLatin1Char('\n'), 0, 0);
        });
        QTest::newRow("rackmind-ctl --json") << Output([](CPdu* pPdu) {
            const QByteArray baJson = QJsonDocument(pduJson(ctlOf(pPdu), true)).toJson();
            return QJsonDocument::fromJson(baJson).object().value(QStringLiteral("name")).toString();
        });
    }
    void everyOutputShowsTheName()
    {
        QFETCH(Output, output);
        CRackmind registry;
        g_pRackmind = &registry;
        auto reset = qScopeGuard([] { g_pRackmind = nullptr; });
        CPdu* pPdu = registry.addPdu(QHostAddress(QStringLiteral("10.200.1.1")).toIPv4Address());
        storeDeviceText(kName, pPdu->stInfo.name);
        storeDeviceText(kOutlet, pPdu->stInfo.outletName[0]);
        pPdu->stSetInfo = pPdu->stInfo;
        pPdu->slotRcvData(QByteArray(1, char(0)));
        const QString strShown = output(pPdu);
        QCOMPARE(strShown, QString::fromLatin1(QTest::currentDataTag()).contains(QLatin1String("outlet"))
                               ? kOutlet
                               : kName);
    }

    // The recorder keeps the name as text; the report built from that file shows it in its table,
    // its CSV and its PDF, a name's line break or direction override as an escape.
    void historyAndReport_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<QString>("strShown");
        QTest::newRow("CJK") << kName << kName;
        QTest::newRow("hostile") << QStringLiteral("x\n\u202e=1\x1b") << QStringLiteral("x\\n\\u202e=1\\x1b");
    }
    void historyAndReport()
    {
        QFETCH(QString, strName);
        QFETCH(QString, strShown);
        const qint64 iStart = QDateTime(QDate(2026, 10, 5), QTime(12, 0)).toMSecsSinceEpoch();
        Clock::setSource([iStart] { return QDateTime::fromMSecsSinceEpoch(iStart); });
        auto restore = qScopeGuard([] { Clock::setSource(nullptr); });
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("history.sqlite"));
        CPdu pdu;
        storeDeviceText(strName, pdu.stInfo.name);
        const QString strMac = CHistoryRecorder::macText(pdu.stInfo);
        {
            CHistoryStore store(strPath);
            CHistoryRecorder recorder(&store, nullptr);
            recorder.slotNewDevice(&pdu);
            emit pdu.signalReplyDecoded(kCmdNetwork);
            recorder.slotTick();
            for (qint64 t = iStart; t < iStart + 60000; t += 2000) {
                HistorySample s;
                s.iMsecs = t;
                s.bOnline = true;
                s.uiVoltage = 230;
                s.uiCentiAmps = 500;
                store.addSample(strMac, s);
            }
            store.flush();
        }
        CHistoryReader reader(strPath);
        QCOMPARE(reader.labels(strMac).value(0).strName, strName);
        CMonthlyReport report;
        QCOMPARE(report.build(reader, QStringLiteral("2026-10")), CMonthlyReport::Done);
        QVERIFY2(report.text().contains(strShown), qPrintable(report.text()));
        QCOMPARE(HistoryCsv::parse(QString::fromUtf8(report.csv())).value(2).value(2), strShown);
        const QString strPdf = dir.filePath(QStringLiteral("report.pdf"));
        QString strError;
        QVERIFY2(ReportPdf::write(report, strPdf, &strError), qPrintable(strError));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {strPdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000) && text.exitCode() == 0);
        const QString strText = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(strText.contains(strShown), qPrintable(strText));
    }
};

QTEST_MAIN(TestDeviceText)
#include "tst_devicetext.moc"
