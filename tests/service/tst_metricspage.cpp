#include "service/MetricsExporter.h"
#include "settings/Settings.h"
#include "ui/system/MetricsConfigWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTcpServer>
#include <QtTest>

// The console's Metrics page drives the endpoint: a taken port is reported on the page and the console
// runs on; a free one serves; switched off, it stops. Each choice is stored.
class TestMetricsPage : public QObject
{
    Q_OBJECT

private slots:
    void okAppliesAndStores()
    {
        CMetricsExporter exporter;
        g_pMetricsExporter = &exporter;
        CMetricsConfigWidget page;
        auto* pCheck = page.findChild<QCheckBox*>(QStringLiteral("CheckMetricsEnabled"));
        auto* pSpin = page.findChild<QSpinBox*>(QStringLiteral("SpinMetricsPort"));
        auto* pStatus = page.findChild<QLabel*>(QStringLiteral("LabelMetricsStatus"));
        auto* pOk = page.findChild<QPushButton*>(QStringLiteral("BtnMetricsOK"));
        const QSettings store(QStringLiteral("Orvane"), QStringLiteral("Rackmind"));

        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        const quint16 uiPort = holder.serverPort();
        pCheck->setChecked(true);
        pSpin->setValue(uiPort);
        pOk->click();
        QVERIFY(!exporter.isServing());
        QVERIFY2(pStatus->text().contains(exporter.errorString()) && !exporter.errorString().isEmpty(),
                 qPrintable(pStatus->text()));
        QCOMPARE(store.value(QStringLiteral("Metrics/Port")).toInt(), int(uiPort));
        QCOMPARE(store.value(QStringLiteral("Metrics/Enabled")).toString(), QStringLiteral("true"));

        holder.close();
        pOk->click();
        QVERIFY(exporter.isServing());
        QVERIFY(pStatus->text().contains(QString::number(uiPort)));

        pCheck->setChecked(false);
        pOk->click();
        QVERIFY(!exporter.isServing());
        QCOMPARE(store.value(QStringLiteral("Metrics/Enabled")).toString(), QStringLiteral("false"));
        g_pMetricsExporter = nullptr;
    }
};

QTEST_MAIN(TestMetricsPage)
#include "tst_metricspage.moc"
