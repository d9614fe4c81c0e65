#include "common/Clock.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "tests/common/TestFiles.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/MainDialog.h"
#include "ui/history/EventsWindow.h"
#include "ui/history/HistoryWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableWidget>
#include <QTextDocument>
#include <QTreeWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

// The windows over a store of the test's own: what they show, what they export, and what they say
// when the store cannot be used.
class TestHistoryWindows : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    CHistoryStore* m_pStore = nullptr;
    const QString m_strMac = QStringLiteral("00:04:A3:00:00:2A");
    const QString m_strName = QStringLiteral("Rack 12, \"left\"\nrow B");

    // An export read back, without the byte order mark.
    static QList<QStringList> readCsv(const QString& strPath)
    {
        return HistoryCsv::parse(QString::fromUtf8(readFile(strPath).mid(3)));
    }

private slots:
    void init() { m_pStore = new CHistoryStore(m_dir.filePath(QStringLiteral("w.sqlite"))); }
    void cleanup()
    {
        delete m_pStore;
        m_pStore = nullptr;
    }

    // What a label shows to the eye: markup is taken as such unless the label shows plain text.
    static QString shownText(const QLabel* pLabel)
    {
        if (pLabel->textFormat() == Qt::PlainText ||
            (pLabel->textFormat() == Qt::AutoText && !Qt::mightBeRichText(pLabel->text())))
            return pLabel->text();
        QTextDocument document;
        document.setHtml(pLabel->text());
        return document.toPlainText();
    }

    // Two devices reporting one address: a double-click opens the history of the row's own device, and
    // its title shows the name as the unit holds it, markup included.
    void historyOpensForTheRowsDevice()
    {
        CRackmind registry;
        CMainDialog main;
        connect(&registry, &CRackmind::signalNewDevice, main.deviceOverviewWidget(),
                &CDeviceOverviewWidget::slotNewDevice);
        for (const char* pszName : {"Unit A", "<b>B<!--"}) {
            CPdu* pPdu = registry.addPdu(0x0AC80101u + quint32(registry.listPdu.size()));
            qstrncpy(pPdu->stInfo.name, pszName, sizeof pPdu->stInfo.name);
            ipv4FromUint(0xC0A80064u, pPdu->stInfo.ip);
        }
        QTreeWidget* pTree = main.deviceOverviewWidget()->treeWidget();
        for (int iRow : {1, 0}) {
            emit pTree->itemDoubleClicked(pTree->topLevelItem(0)->child(iRow), 0);
            QList<CHistoryWindow*> listWindows;
            for (QWidget* pWidget : QApplication::topLevelWidgets())
                if (auto* pWindow = qobject_cast<CHistoryWindow*>(pWidget))
                    listWindows << pWindow;
            QCOMPARE(listWindows.size(), 1);
            const QString strName = QLatin1String(iRow ? "<b>B<!-- (" : "Unit A (");
            QVERIFY2(listWindows.first()->windowTitle().contains(strName),
                     qPrintable(listWindows.first()->windowTitle()));
            const QString strCaption = shownText(listWindows.first()->findChild<QLabel*>("LabelCaption"));
            QVERIFY2(strCaption.contains(strName), qPrintable(strCaption));
            delete listWindows.first();
        }
    }

    void eventsNewestFirstFilteredAndExported()
    {
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        const struct
        {
            qint64 iAgo;
            int iKind;
            const char* pszSubject;
        } aEvents[] = {{5000, HistoryEvent::Offline, "10.0.0.2"},
                       {3000, HistoryEvent::AlarmBegan, "Voltage Warn"},
                       {1000, HistoryEvent::BackOnline, "10.0.0.2"},
                       {2 * 86400000LL, HistoryEvent::Appeared, "10.0.0.2"}};
        for (const auto& e : aEvents) {
            HistoryEvent event;
            event.iMsecs = iNow - e.iAgo;
            event.iKind = e.iKind;
            event.strMac = m_strMac;
            event.strPdu = m_strName;
            event.strSubject = QString::fromLatin1(e.pszSubject);
            m_pStore->record(event);
        }
        m_pStore->flush();
        CEventsWindow window(m_pStore);
        QTableWidget* pTable = window.findChild<QTableWidget*>(QStringLiteral("TableEvents"));
        QCOMPARE(pTable->rowCount(), 3); // the default span is 24 hours
        QCOMPARE(window.events().first().iKind, int(HistoryEvent::BackOnline));
        QCOMPARE(window.events().last().iKind, int(HistoryEvent::Offline));
        window.findChild<QLineEdit*>(QStringLiteral("EditSearch"))->setText(QStringLiteral("voltage"));
        QTRY_COMPARE(pTable->rowCount(), 1);
        QComboBox* pKind = window.findChild<QComboBox*>(QStringLiteral("ComboKind"));
        pKind->setCurrentIndex(pKind->findData(int(HistoryEvent::Offline)));
        QTRY_COMPARE(pTable->rowCount(), 0);

        // Live: an event recorded while the window is open shows up.
        window.findChild<QLineEdit*>(QStringLiteral("EditSearch"))->clear();
        m_pStore->record(HistoryEvent::Offline, m_strMac, m_strName, QStringLiteral("10.0.0.3"));
        QTRY_COMPARE_WITH_TIMEOUT(pTable->rowCount(), 2, 20000);

        const QString strPath = m_dir.filePath(QStringLiteral("events.csv"));
        QString strError;
        QVERIFY2(window.exportCsv(strPath, &strError), qPrintable(strError));
        const QList<QStringList> listRows = readCsv(strPath);
        QCOMPARE(listRows.size(), 3);
        // The name's line break shows as an escape: one record per line for whoever reads the file.
        QCOMPARE(listRows.at(1).at(2), QStringLiteral("Rack 12, \"left\"\\nrow B"));
    }

    // The export holds every event the window's filter finds, not only the rows the table shows, each
    // stamped to the millisecond with its offset from UTC.
    void eventsExportIsWhole()
    {
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 6000; ++i) {
            HistoryEvent event;
            event.iMsecs = iNow - 6000 + i;
            event.iKind = HistoryEvent::Download;
            event.strMac = m_strMac;
            event.strSubject = QStringLiteral("Name");
            event.strNew = QString::number(i);
            m_pStore->record(event);
        }
        m_pStore->flush();
        CEventsWindow window(m_pStore);
        const QString strPath = m_dir.filePath(QStringLiteral("all-events.csv"));
        QString strError;
        QVERIFY2(window.exportCsv(strPath, &strError), qPrintable(strError));
        QSet<QString> setValues;
        for (const QStringList& row : readCsv(strPath)) {
            if (row.value(4) != QLatin1String("Name"))
                continue; // the header, and what the cases before left in the store
            setValues.insert(row.at(6));
            if (row.at(6) == QLatin1String("5999"))
                QCOMPARE(QDateTime::fromString(row.at(0), Qt::ISODateWithMs).toMSecsSinceEpoch(), iNow - 1);
        }
        QCOMPARE(setValues.size(), 6000);
    }

    void historyShowsAndExportsTheSpan()
    {
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        for (int i = 120; i > 0; --i) {
            if (i >= 45 && i <= 50)
                continue; // nothing recorded (the console was not running)
            HistorySample s;
            s.iMsecs = iNow - i * 1000;
            s.bOnline = i % 30 != 0;
            s.uiVoltage = quint16(220 + i % 5);
            s.uiOutlets = 0x03;
            m_pStore->addSample(m_strMac, s);
        }
        m_pStore->flush();
        CHistoryWindow window(m_strMac, nullptr, m_pStore);
        window.findChild<QComboBox*>(QStringLiteral("ComboSpan"))->setCurrentIndex(0); // 1 hour
        QCOMPARE(window.points().size(), 114);
        // No line across the four offline polls and the unrecorded stretch: five runs of min, avg, max.
        for (const QtCharts::QChartView* pView : window.findChildren<QtCharts::QChartView*>()) {
            int iLines = 0;
            for (const QtCharts::QAbstractSeries* pSeries : pView->chart()->series())
                iLines += !static_cast<const QtCharts::QLineSeries*>(pSeries)->points().isEmpty();
            QCOMPARE(iLines, 5 * 3);
        }
        const QString strPath = m_dir.filePath(QStringLiteral("history.csv"));
        QString strError;
        QVERIFY2(window.exportCsv(strPath, &strError), qPrintable(strError));
        const QList<QStringList> listRows = readCsv(strPath);
        QCOMPARE(listRows.size(), 115);
        QCOMPARE(listRows.at(1).at(3), QString());             // 120 s ago, offline: no readings
        QCOMPARE(listRows.at(2).at(4), QStringLiteral("224")); // 119 s ago: 220 + 4
    }

    void unavailableStoreIsSaidPlainly()
    {
        delete m_pStore;
        const QString strPath = m_dir.filePath(QStringLiteral("folder.sqlite"));
        QVERIFY(QDir().mkpath(strPath));
        m_pStore = new CHistoryStore(strPath);
        CEventsWindow events(m_pStore);
        CHistoryWindow history(m_strMac, nullptr, m_pStore);
        for (QWidget* pWindow : std::initializer_list<QWidget*>{&events, &history}) {
            const QLabel* pNotice = pWindow->findChild<QLabel*>(QStringLiteral("LabelNotice"));
            QVERIFY(!pNotice->isHidden());
            QVERIFY2(pNotice->text().contains(strPath), qPrintable(pNotice->text()));
            // Shown, it lies within the screen (800x600 here), however large it would like to be.
            pWindow->show();
            QVERIFY(pWindow->screen()->availableGeometry().contains(pWindow->geometry()));
        }
        QVERIFY(QDir(strPath).removeRecursively());
        m_pStore->flush();
        QTRY_VERIFY(events.findChild<QLabel*>(QStringLiteral("LabelNotice"))->isHidden());
    }
};

QTEST_MAIN(TestHistoryWindows)
#include "tst_historywindows.moc"
