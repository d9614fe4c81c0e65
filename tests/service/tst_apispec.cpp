#include "common/Clock.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "metrics/ApiRoutes.h"
#include "metrics/MetricsExporter.h"
#include "tests/common/TestFiles.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/TlsFixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

// docs/api.yaml is a sound description of the API the server really has: the same routes both ways, and
// what a running server answers on each matches the schema described for it. On 127.0.0.1.
class TestApiSpec : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_strSpec = qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QStringLiteral("/docs/api.yaml");
    }
    void routesBothWays()
    {
        QString strOut;
        QCOMPARE(runCheck({QStringLiteral("routes"), m_strSpec}, &strOut), 0);
        QStringList listDocumented = strOut.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList listServed = CApiRoutes::routes();
        listDocumented.sort();
        listServed.sort();
        QCOMPARE(listDocumented, listServed);
    }
    void answersMatchTheirSchemas()
    {
        CRackmind registry;
        for (quint8 i = 1; i <= 2; ++i) {
            CPdu* pPdu = registry.addPdu(0x0AC80100u + i);
            const quint8 auiMac[6] = {0x02, 0x50, 0x44, 0x00, 0x00, i};
            std::copy(std::begin(auiMac), std::end(auiMac), pPdu->stInfo.mac);
            pPdu->bMacKnown = true;
            pPdu->iLastRcvMsecs = Clock::elapsedMs();
            pPdu->markReported(kCmdThresholds);
        }
        const QByteArray baHash = bcryptHash("pw");
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("web.yml")),
                          "basic_auth_users:\n  reader: " + baHash + "\napi_enabled: true\n"));
        CMetricsExporter exporter;
        exporter.setSources(&registry, nullptr);
        const quint16 uiPort = freePort();
        QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort,
                               m_dir.filePath(QStringLiteral("web.yml"))));
        // Each route filled in; the reader may not operate, and no history is kept here: the refusals are
        // answers the description has to hold too.
        QJsonObject answers;
        for (QString strRoute : CApiRoutes::routes()) {
            const QStringList listFill{QStringLiteral("025044000001"), QStringLiteral("2")};
            for (const QString& strFill : listFill)
                strRoute.replace(strRoute.indexOf(QLatin1String("{}")), 2, strFill);
            strRoute.replace(QLatin1String("{}"), QLatin1String("1"));
            const QByteArray baMethod = strRoute.section(QLatin1Char(' '), 0, 0).toLatin1();
            const QByteArray baPath = strRoute.section(QLatin1Char(' '), 1).toLatin1();
            const QByteArray baBody = baMethod == "POST" ? "{}" : "";
            const QByteArray baResponse = httpExchangeServed(
                uiPort, baMethod + ' ' + baPath +
                            " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Basic " +
                            QByteArray("reader:pw").toBase64() +
                            "\r\nContent-Type: application/json\r\nContent-Length: " +
                            QByteArray::number(baBody.size()) + "\r\n\r\n" + baBody);
            const QJsonDocument body =
                QJsonDocument::fromJson(baResponse.mid(baResponse.indexOf("\r\n\r\n") + 4));
            QVERIFY2(!body.isNull(), baResponse.constData());
            answers.insert(strRoute, QJsonObject{{QStringLiteral("status"), baResponse.mid(9, 3).toInt()},
                                                 {QStringLiteral("body"), body.object()}});
        }
        const QString strAnswers = m_dir.filePath(QStringLiteral("answers.json"));
        QVERIFY(writeFile(strAnswers, QJsonDocument(answers).toJson()));
        QString strOut;
        QVERIFY2(runCheck({QStringLiteral("answers"), m_strSpec, strAnswers}, &strOut) == 0,
                 qPrintable(strOut));
    }

private:
    int runCheck(const QStringList& listArgs, QString* pOut)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("/usr/bin/python3"),
                      QStringList{qEnvironmentVariable("RACKMIND_SOURCE_DIR") +
                                  QStringLiteral("/tests/service/apispec.py")} +
                          listArgs);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        *pOut = QString::fromUtf8(process.readAll());
        return process.exitCode();
    }

    QTemporaryDir m_dir;
    QString m_strSpec;
};

QTEST_GUILESS_MAIN(TestApiSpec)
#include "tst_apispec.moc"
