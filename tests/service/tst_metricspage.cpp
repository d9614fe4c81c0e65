#include "metrics/MetricsExporter.h"
#include "settings/Settings.h"
#include "ui/system/MetricsConfigWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
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
        CMetricsConfigWidget page;
        page.setExporter(&exporter);
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

        // A password file that cannot be read serves nothing, says why, and is stored as given.
        auto* pWebConfig = page.findChild<QLineEdit*>(QStringLiteral("LineEditMetricsWebConfig"));
        pWebConfig->setText(QStringLiteral("/nonexistent/web.yml"));
        pOk->click();
        QVERIFY(!exporter.isServing());
        QVERIFY2(pStatus->text().contains(QStringLiteral("/nonexistent/web.yml")),
                 qPrintable(pStatus->text()));
        QCOMPARE(store.value(QStringLiteral("Metrics/WebConfigFile")).toString(),
                 QStringLiteral("/nonexistent/web.yml"));
        pWebConfig->clear();
        pOk->click();
        QVERIFY(exporter.isServing());

        pCheck->setChecked(false);
        pOk->click();
        QVERIFY(!exporter.isServing());
        QCOMPARE(store.value(QStringLiteral("Metrics/Enabled")).toString(), QStringLiteral("false"));
    }
};

QTEST_MAIN(TestMetricsPage)
#include "tst_metricspage.moc"
