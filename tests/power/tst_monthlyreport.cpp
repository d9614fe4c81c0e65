#include "common/Clock.h"
#include "common/Energy.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "power/MonthlyReport.h"
#include "ui/power/ReportExportDialog.h"
#include "ui/power/ReportPdf.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {
constexpr qint64 kSecond = 1000;
constexpr qint64 kHour = 3600 * kSecond;
const QString kMacA = QStringLiteral("00:04:A3:00:00:01");
const QString kMacB = QStringLiteral("00:04:A3:00:00:02");
qint64 s_iNow = 0;

qint64 local(const char* pszTime)
{
    return QDateTime::fromString(QLatin1String(pszTime), Qt::ISODate).toMSecsSinceEpoch();
}

// Polls every 2 s from iFrom up to (not including) iTo at a steady reading.
void poll(CHistoryStore& store, const QString& strMac, qint64 iFrom, qint64 iTo, quint16 uiCentiAmps)
{
    for (qint64 t = iFrom; t < iTo; t += 2 * kSecond) {
        HistorySample s;
        s.iMsecs = t;
        s.bOnline = true;
        s.uiVoltage = 230;
        s.uiCentiAmps = uiCentiAmps;
        store.addSample(strMac, s);
    }
}

// Energy units of n 2-second intervals at 230 V (the trapezoid doubled, as the store keeps it).
qint64 units(qint64 iIntervals, qint64 iCentiAmps)
{
    return iIntervals * 2 * 230 * iCentiAmps * 2000;
}

void at(qint64 iMsecs)
{
    s_iNow = iMsecs;
}
} // namespace

// The monthly report from a store seeded as the recorder would have written it, in a zone whose clocks
// go back in the month: two PDUs of group "Web", renamed "Front" on the 15th, whose budget went from
// 8 A to 16 A (derated) on the 10th.
class TestMonthlyReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strStore;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        Clock::setSource([] { return QDateTime::fromMSecsSinceEpoch(s_iNow, Qt::UTC); });
        m_strStore = m_dir.filePath(QStringLiteral("history.sqlite"));
        auto pStore = std::make_unique<CHistoryStore>(m_strStore);
        const auto label = [&](const char* pszTime, const QString& strGroup) {
            at(local(pszTime));
            pStore->setLabel(kMacA, QStringLiteral("rack-a"), QString(), QStringLiteral("10.0.0.1"),
                             strGroup);
            pStore->setLabel(kMacB, QStringLiteral("=2+3 rack-b"), QString(), QStringLiteral("10.0.0.2"),
                             strGroup);
            pStore->setBudget(strGroup, strGroup == QLatin1String("Web") ? 10 : 20, 0.8);
            pStore->flush();
        };
        label("2026-10-01T00:30:00", QStringLiteral("Web"));
        at(local("2026-10-02T12:00:00"));
        poll(*pStore, kMacA, local("2026-10-02T10:00:00"), local("2026-10-02T11:00:00"), 500);
        poll(*pStore, kMacB, local("2026-10-02T10:00:00"), local("2026-10-02T11:00:00"), 400);
        pStore->flush();
        at(local("2026-10-10T00:00:00"));
        pStore->setBudget(QStringLiteral("Web"), 20, 0.8);
        pStore->flush();
        // A gap of ten minutes inside an hour, and the program restarting in it.
        at(local("2026-10-12T12:00:00"));
        poll(*pStore, kMacB, local("2026-10-12T10:00:00"), local("2026-10-12T11:00:00"), 400);
        poll(*pStore, kMacA, local("2026-10-12T10:00:00"), local("2026-10-12T10:20:02"), 500);
        pStore.reset();
        pStore = std::make_unique<CHistoryStore>(m_strStore);
        poll(*pStore, kMacA, local("2026-10-12T10:30:00"), local("2026-10-12T11:00:00"), 500);
        pStore->flush();
        label("2026-10-15T12:30:00", QStringLiteral("Front"));
        at(local("2026-10-20T12:00:00"));
        poll(*pStore, kMacA, local("2026-10-20T10:00:00"), local("2026-10-20T11:00:00"), 1000);
        poll(*pStore, kMacB, local("2026-10-20T10:00:00"), local("2026-10-20T11:00:00"), 800);
        // November's polls close October's last hour; its 11 o'clock is still in progress.
        at(local("2026-11-02T11:01:00"));
        for (const char* pszTime : {"2026-11-02T10:00:00", "2026-11-02T10:01:30"}) {
            poll(*pStore, kMacA, local(pszTime), local(pszTime) + 1, 500);
            poll(*pStore, kMacB, local(pszTime), local(pszTime) + 1, 400);
        }
        poll(*pStore, kMacA, local("2026-11-02T11:00:00"), local("2026-11-02T11:01:00"), 500);
        pStore->flush();
    }

    void cleanupTestCase() { Clock::setSource(nullptr); }

    void monthSpan_data()
    {
        QTest::addColumn<QString>("month");
        QTest::addColumn<qint64>("hours"); // 0: refused
        QTest::newRow("clocks go back") << QStringLiteral("2026-10") << qint64(31 * 24 + 1);
        QTest::newRow("clocks go forward") << QStringLiteral("2026-03") << qint64(31 * 24 - 1);
        QTest::newRow("February") << QStringLiteral("2028-02") << qint64(29 * 24);
        QTest::newRow("month 13") << QStringLiteral("2026-13") << qint64(0);
        QTest::newRow("month 0") << QStringLiteral("2026-00") << qint64(0);
        QTest::newRow("one digit") << QStringLiteral("2026-1") << qint64(0);
        QTest::newRow("a day") << QStringLiteral("2026-11-01") << qint64(0);
        // What a caller put in the API's query string after the month.
        QTest::newRow("a line after it") << QStringLiteral("2026-11\nx") << qint64(0);
        QTest::newRow("a line break after it") << QStringLiteral("2026-11\n") << qint64(0);
    }
    void monthSpan()
    {
        QFETCH(QString, month);
        QFETCH(qint64, hours);
        qint64 iFrom = 0, iTo = 0;
        QCOMPARE(CMonthlyReport::monthSpan(month, &iFrom, &iTo), hours > 0);
        if (hours > 0) {
            QCOMPARE(QDateTime::fromMSecsSinceEpoch(iFrom).time(), QTime(0, 0));
            QCOMPARE((iTo - iFrom) / kHour, hours);
        }
    }

    void rows_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected"); // group/pdu: kVAh-units peak p95 over hours
        const qint64 iAWeb = units(1799 + 600 + 899, 500), iBWeb = units(1799 * 2, 400);
        const qint64 iAFront = units(1799, 1000), iBFront = units(1799, 800);
        const auto row = [](const char* pszKey, qint64 iEnergy, const char* pszRest) {
            return QStringLiteral("%1 %2 %3")
                .arg(QLatin1String(pszKey))
                .arg(iEnergy)
                .arg(QLatin1String(pszRest));
        };
        const QStringList listFront = {row("Front/", iAFront + iBFront, "18.00 18.00 1 1"),
                                       row("Front/=2+3 rack-b", iBFront, "8.00 8.00 1 1"),
                                       row("Front/rack-a", iAFront, "10.00 10.00 1 1")};
        // 9 A was over the 8 A of the 2nd, not the 16 A of the 12th; a renamed group keeps its rows.
        const QStringList listWeb = {row("Web/", iAWeb + iBWeb, "9.00 9.00 1 2"),
                                     row("Web/=2+3 rack-b", iBWeb, "4.00 4.00 1 2"),
                                     row("Web/rack-a", iAWeb, "5.00 5.00 1 2")};
        QTest::newRow("all") << QString() << listFront + listWeb;
        QTest::newRow("old name") << QStringLiteral("Web") << listWeb;
        QTest::newRow("new name") << QStringLiteral("Front") << listFront;
    }
    void rows()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        CHistoryReader reader(m_strStore);
        CMonthlyReport report;
        QCOMPARE(report.build(reader, QStringLiteral("2026-10"), filter), CMonthlyReport::Done);
        QStringList listGot;
        for (const MonthlyReportRow& r : report.rows()) {
            QVERIFY(r.bComplete && r.bBudget);
            listGot << QStringLiteral("%1/%2 %3 %4 %5 %6 %7")
                           .arg(r.strGroup, r.bGroup ? QString() : r.strPdu)
                           .arg(r.iEnergy)
                           .arg(r.dPeakAmps, 0, 'f', 2)
                           .arg(r.dP95Amps, 0, 'f', 2)
                           .arg(r.iHoursOver)
                           .arg(r.iHours);
        }
        QCOMPARE(listGot, expected);
        QCOMPARE(report.build(reader, QStringLiteral("2026-10"), QStringLiteral("web")),
                 CMonthlyReport::UnknownGroup);
    }

    // The month in progress counts the hour in progress too.
    void monthInProgress()
    {
        CHistoryReader reader(m_strStore);
        CMonthlyReport report;
        QCOMPARE(report.build(reader, QStringLiteral("2026-11")), CMonthlyReport::Done);
        QCOMPARE(report.rows().last().strPdu, QStringLiteral("rack-a"));
        QCOMPARE(report.rows().last().iEnergy, units(29, 500));
    }

    // Where the offset is not whole hours, two months that meet inside an hour row still add up to the
    // energy of both: the half hour around midnight of the 1st is in one of them, not in both.
    void halfHourZone()
    {
        qputenv("TZ", "Asia/Kolkata");
        tzset();
        const auto restore = qScopeGuard([] {
            qputenv("TZ", "Europe/Berlin");
            tzset();
        });
        const QString strPath = m_dir.filePath(QStringLiteral("kolkata.sqlite"));
        at(local("2026-11-01T03:00:00"));
        {
            CHistoryStore store(strPath);
            poll(store, kMacA, local("2026-10-31T23:00:00"), local("2026-11-01T01:00:00"), 500);
            poll(store, kMacA, local("2026-11-01T02:00:00"), local("2026-11-01T02:00:01"), 500);
        }
        CHistoryReader reader(strPath);
        qint64 iSum = 0;
        for (const char* pszMonth : {"2026-10", "2026-11"}) {
            CMonthlyReport report;
            QCOMPARE(report.build(reader, QLatin1String(pszMonth)), CMonthlyReport::Done);
            iSum += report.rows().last().iEnergy;
        }
        QCOMPARE(iSum, units(3599, 500));
    }

    // A name cannot drive the terminal: no escape sequence, and no direction override that would show
    // the figures after it reversed.
    void terminalTable()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("names.sqlite"));
        at(local("2026-10-05T12:00:00"));
        {
            CHistoryStore store(strPath);
            store.setLabel(kMacA, QStringLiteral("\x1b[2Jrack\u202e\u2066\n"), QString(), QString());
            poll(store, kMacA, local("2026-10-05T10:00:00"), local("2026-10-05T10:00:05"), 500);
        }
        CHistoryReader reader(strPath);
        CMonthlyReport report;
        QCOMPARE(report.build(reader, QStringLiteral("2026-10")), CMonthlyReport::Done);
        const QString strText = report.text();
        for (const QChar ch : {QChar(0x1b), QChar(0x202e), QChar(0x2066)})
            QVERIFY(!strText.contains(ch));
        QVERIFY(strText.contains(QStringLiteral("rack")));
    }

    // The CSV keeps names as text, and the PDF shows every figure and name the CSV has.
    void csvAndPdf()
    {
        CHistoryReader reader(m_strStore);
        CMonthlyReport report;
        QCOMPARE(report.build(reader, QStringLiteral("2026-10")), CMonthlyReport::Done);
        const QList<QStringList> listCsv = HistoryCsv::parse(QString::fromUtf8(report.csv()));
        QCOMPARE(listCsv.size(), 7);
        QCOMPARE(listCsv.at(2).at(2), QStringLiteral("'=2+3 rack-b"));
        QCOMPARE(listCsv.at(1).at(4), QString::number(Energy::toKvah(units(1799, 1800)), 'f', 3));

        const QString strPdf = m_dir.filePath(QStringLiteral("report.pdf"));
        QString strError;
        QVERIFY2(ReportPdf::write(report, strPdf, &strError), qPrintable(strError));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), strPdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000) && text.exitCode() == 0);
        const QString strText = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(strText.contains(QStringLiteral("2026-10")) &&
                strText.contains(QStringLiteral("Page 1 of 1")));
        for (const QStringList& listRow : listCsv.mid(1))
            for (int i : {1, 4, 6, 7, 8, 9})
                QVERIFY2(strText.contains(listRow.at(i)),
                         qPrintable(listRow.at(i) + QLatin1Char('\n') + strText));
        QVERIFY(strText.contains(QStringLiteral("=2+3 rack-b")));

        QVERIFY(!ReportPdf::write(report, m_dir.filePath(QStringLiteral("missing/report.pdf")), &strError));
        QVERIFY(!report.writeCsv(m_dir.filePath(QStringLiteral("missing/report.csv")), &strError));
    }

    // The console's export: a path that cannot be written is said and the dialog stays; then it writes.
    void exportDialog()
    {
        CReportExportDialog dialog(m_strStore);
        dialog.findChild<QComboBox*>(QStringLiteral("ComboMonth"))->setCurrentText(QStringLiteral("2026-10"));
        auto* pGroup = dialog.findChild<QComboBox*>(QStringLiteral("ComboGroup"));
        pGroup->setCurrentIndex(pGroup->findText(QStringLiteral("Web")));
        dialog.findChild<QRadioButton*>(QStringLiteral("RadioCsv"))->click();
        auto* pFile = dialog.findChild<QLineEdit*>(QStringLiteral("EditFile"));
        auto* pExport = dialog.findChild<QPushButton*>(QStringLiteral("ButtonExport"));
        pFile->setText(m_dir.filePath(QStringLiteral("missing/web.csv")));
        pExport->click();
        QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("LabelError"))->text().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        pFile->setText(m_dir.filePath(QStringLiteral("web.csv")));
        pExport->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QFile file(pFile->text());
        QVERIFY(file.open(QIODevice::ReadOnly));
        CHistoryReader reader(m_strStore);
        CMonthlyReport report;
        report.build(reader, QStringLiteral("2026-10"), QStringLiteral("Web"));
        QCOMPARE(file.readAll(), QByteArrayLiteral("\xEF\xBB\xBF") + report.csv());
    }

    // The command line reports the same figures from the file alone, and opens no socket for it.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("csv") << QStringList{"--csv"} << 0;
        QTest::newRow("csv file") << QStringList{"--csv", "out.csv"} << 0;
        QTest::newRow("pdf") << QStringList{"--pdf", "out.pdf"} << 0;
        QTest::newRow("unknown group") << QStringList{"--group", "Nope"} << 2;
        QTest::newRow("unwritable") << QStringList{"--pdf", "no/out.pdf"} << 1;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QProcess ctl;
        ctl.setWorkingDirectory(m_dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // as on a server: no display, nothing set
        // The leak checker cannot run under a tracer; the sanitised suite checks leaks everywhere else.
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        ctl.setProcessEnvironment(env);
        ctl.start(QStringLiteral("strace"), QStringList{"-f", "-qq", "-e", "trace=socket", "-o",
                                                        "sockets.txt", QStringLiteral(RACKMIND_CTL), "report",
                                                        "--month", "2026-10", "--store", m_strStore} +
                                                args);
        QVERIFY(ctl.waitForFinished(60000));
        QVERIFY2(ctl.exitCode() == status, ctl.readAllStandardError().constData());
        QFile fileTrace(m_dir.filePath(QStringLiteral("sockets.txt")));
        QVERIFY(fileTrace.open(QIODevice::ReadOnly));
        const QByteArray baTrace = fileTrace.readAll();
        QVERIFY2(!baTrace.contains("AF_INET") && !baTrace.contains("AF_NETLINK"), baTrace.constData());
        if (status != 0)
            return;
        CHistoryReader reader(m_strStore);
        CMonthlyReport report;
        report.build(reader, QStringLiteral("2026-10"));
        if (args.size() == 1)
            QCOMPARE(ctl.readAllStandardOutput(), report.csv());
        QFile file(m_dir.filePath(args.value(1)));
        if (args.size() > 1)
            QVERIFY(file.open(QIODevice::ReadOnly) && file.size() > 0);
        if (args.value(1).endsWith(QLatin1String(".csv")))
            QCOMPARE(file.readAll(), QByteArrayLiteral("\xEF\xBB\xBF") + report.csv());
        if (args.value(1).endsWith(QLatin1String(".pdf")))
            QVERIFY(file.read(5) == "%PDF-");
    }
};

QTEST_MAIN(TestMonthlyReport)
#include "tst_monthlyreport.moc"
