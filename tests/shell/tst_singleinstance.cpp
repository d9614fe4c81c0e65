#include "settings/SingleInstance.h"

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {
const char* const kHoldVariable = "SINGLE_INSTANCE_HOLD";

// The child: takes the token, says how that went, and runs until it is killed.
int holdUntilKilled(const QString& strKey)
{
    CSingleInstance instance(strKey);
    std::printf("%d\n", int(instance.acquire()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
} // namespace

// The token between processes: a running holder refuses the next start; a holder killed with SIGKILL,
// which leaves its segment behind, refuses none, start after start.
class TestSingleInstance : public QObject
{
    Q_OBJECT
    // A key of this run's own: the real console may run on this machine.
    const QString m_strKey = QStringLiteral("RackmindTest%1").arg(QCoreApplication::applicationPid());

private slots:
    void freeAgainAfterSigkill()
    {
        for (int i = 0; i < 20; ++i) {
            QProcess holder;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QLatin1String(kHoldVariable), m_strKey);
            holder.setProcessEnvironment(env);
            holder.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(holder.waitForReadyRead(60000));
            QCOMPARE(holder.readLine().trimmed(), QByteArray::number(CSingleInstance::Acquired));
            {
                CSingleInstance second(m_strKey);
                QCOMPARE(second.acquire(), CSingleInstance::AlreadyRunning);
            }
            ::kill(pid_t(holder.processId()), SIGKILL);
            QVERIFY(holder.waitForFinished(60000));
            CSingleInstance next(m_strKey);
            QCOMPARE(next.acquire(), CSingleInstance::Acquired);
            next.release();
        }
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kHoldVariable))
        return holdUntilKilled(qEnvironmentVariable(kHoldVariable));
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_singleinstance.moc"
