// pdusim: a fleet of simulated PDUs for the test bed and the demo. Run it in the bed's device
// namespace (scripts/netbed --device-cmd, or --netns); it takes the device addresses from the bed.
#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimFleet.h"
#include "tools/pdusim/SimFrame.h"
#include "tools/pdusim/SimThread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = {-1, -1};

void onTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &c, 1);
}

void writeOut(const QStringList& listLines)
{
    for (const QString& str : listLines)
        std::fprintf(stdout, "%s\n", qPrintable(str));
    std::fflush(stdout);
}

// Splits incoming bytes into lines and answers each one through the control language.
class CLineChannel : public QObject
{
public:
    CLineChannel(CSimControl* pControl, std::function<void(const QStringList&)> fnWrite, QObject* parent)
        : QObject(parent), m_pControl(pControl), m_fnWrite(std::move(fnWrite))
    {
    }
    void feed(const QByteArray& baData)
    {
        m_baPending += baData;
        int iEnd;
        while ((iEnd = m_baPending.indexOf('\n')) >= 0) {
            const QString strLine = QString::fromUtf8(m_baPending.left(iEnd));
            m_baPending.remove(0, iEnd + 1);
            m_fnWrite(m_pControl->execute(strLine));
        }
    }

private:
    CSimControl* m_pControl;
    std::function<void(const QStringList&)> m_fnWrite;
    QByteArray m_baPending;
};

} // namespace

int main(int argc, char* argv[])
{
    // The namespace is entered before anything else runs, so that no socket ever opens outside it.
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--netns") == 0) {
            QString strError;
            if (!CSimThread::enterNamespace(QString::fromLocal8Bit(argv[i + 1]), &strError)) {
                std::fprintf(stderr, "pdusim: %s\n", qPrintable(strError));
                return 2;
            }
        }
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pdusim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Simulated PDUs for the network test bed. Commands are read from stdin and from the control "
            "socket, one a line:\n\n") +
        CSimControl::helpText());
    parser.addHelpOption();
    const QCommandLineOption optDevices(QStringLiteral("devices"),
                                        QStringLiteral("Number of PDUs (default: the bed's device count)."),
                                        QStringLiteral("N"));
    const QCommandLineOption optAddrs(QStringLiteral("addrs"),
                                      QStringLiteral("Address list, one a line (default: the bed's)."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption optPort(QStringLiteral("port"),
                                     QStringLiteral("UDP port of every PDU (default 51230)."),
                                     QStringLiteral("PORT"), QStringLiteral("51230"));
    const QCommandLineOption optDelayUnit(
        QStringLiteral("delay-unit"),
        QStringLiteral("Seconds per unit of outlet delay (default 1; 0 switches at once)."),
        QStringLiteral("SECONDS"), QStringLiteral("1"));
    const QCommandLineOption optSeed(QStringLiteral("seed"),
                                     QStringLiteral("Seed of the simulated readings (default 1)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption optNoNoise(QStringLiteral("no-noise"), QStringLiteral("Readings hold still."));
    const QCommandLineOption optScenario(QStringLiteral("scenario"),
                                         QStringLiteral("Run a scenario file after start (repeatable)."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption optDemo(
        QStringLiteral("demo"),
        QStringLiteral("The demo rack: twelve varied PDUs, one near a warning limit, one on port 6000."));
    const QCommandLineOption optControl(QStringLiteral("control"),
                                        QStringLiteral("Listen for commands on a local socket at PATH."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption optRecord(
        QStringLiteral("record"),
        QStringLiteral("Append every frame received to FILE: device msecs source -> destination hex."),
        QStringLiteral("FILE"));
    const QCommandLineOption optRecordLimit(QStringLiteral("record-limit"),
                                            QStringLiteral("Frames kept in memory per device (default 512)."),
                                            QStringLiteral("N"), QStringLiteral("512"));
    const QCommandLineOption optNetns(
        QStringLiteral("netns"),
        QStringLiteral("Enter this network namespace first (a name under /run/netns)."),
        QStringLiteral("NAME"));
    parser.addOptions({optDevices, optAddrs, optPort, optDelayUnit, optSeed, optNoNoise, optScenario, optDemo,
                       optControl, optRecord, optRecordLimit, optNetns});
    parser.process(app);

    CSimConfig config;
    bool bOk = true;
    if (parser.isSet(optDevices))
        config.iDevices = parser.value(optDevices).toInt(&bOk);
    else if (parser.isSet(optDemo))
        config.iDevices = CSimControl::kDemoRackSize;
    config.strAddrsFile = parser.value(optAddrs);
    bool bOkPort = false, bOkUnit = false, bOkSeed = false, bOkLimit = false;
    config.uiPort = quint16(parser.value(optPort).toUInt(&bOkPort));
    config.dDelayUnit = parser.value(optDelayUnit).toDouble(&bOkUnit);
    config.uiSeed = parser.value(optSeed).toUInt(&bOkSeed);
    config.iRecordLimit = parser.value(optRecordLimit).toInt(&bOkLimit);
    config.bNoise = !parser.isSet(optNoNoise);
    if (!bOk || !bOkPort || config.uiPort == 0 || !bOkUnit || config.dDelayUnit < 0 || !bOkSeed ||
        !bOkLimit) {
        std::fprintf(stderr, "pdusim: bad option value (see --help)\n");
        return 2;
    }

    CSimFleet fleet;
    CSimControl control(&fleet, nullptr);
    QString strError;
    if (!fleet.setup(config, &strError)) {
        std::fprintf(stderr, "pdusim: %s\n", qPrintable(strError));
        return 1;
    }
    if (parser.isSet(optDemo) &&
        !control.runScenarioText(CSimControl::demoRackText(), QStringLiteral("demo rack"), &strError)) {
        std::fprintf(stderr, "pdusim: %s\n", qPrintable(strError));
        return 1;
    }
    for (const QString& strFile : parser.values(optScenario)) {
        if (!control.runScenario(strFile, &strError)) {
            std::fprintf(stderr, "pdusim: %s\n", qPrintable(strError));
            return 1;
        }
    }
    QObject::connect(&control, &CSimControl::signalQuit, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QFile fileRecord;
    if (parser.isSet(optRecord)) {
        fileRecord.setFileName(parser.value(optRecord));
        if (!fileRecord.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            std::fprintf(stderr, "pdusim: cannot write %s\n", qPrintable(fileRecord.fileName()));
            return 1;
        }
        fleet.setRecordSignal(true);
        QObject::connect(&fleet, &CSimFleet::signalFrameReceived, &fleet,
                         [&fileRecord](int iIndex, const SimFrameRecord& rec) {
                             fileRecord.write(QStringLiteral("%1 %2 %3:%4 -> %5:%6 ")
                                                  .arg(iIndex)
                                                  .arg(rec.msecsSinceEpoch)
                                                  .arg(QHostAddress(rec.srcIp).toString())
                                                  .arg(rec.srcPort)
                                                  .arg(QHostAddress(rec.dstIp).toString())
                                                  .arg(rec.dstPort)
                                                  .toLatin1() +
                                              SimFrame::toHex(rec.baFrame) + '\n');
                         });
    }

    // Commands from stdin; end of input only ends this channel, not the fleet.
    CLineChannel stdinChannel(&control, writeOut, nullptr);
    QSocketNotifier stdinNotifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinNotifier, &QSocketNotifier::activated, &stdinNotifier, [&]() {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            stdinNotifier.setEnabled(false);
        else
            stdinChannel.feed(QByteArray(buffer, int(n)));
    });

    QLocalServer server;
    if (parser.isSet(optControl)) {
        QLocalServer::removeServer(parser.value(optControl));
        if (!server.listen(parser.value(optControl))) {
            std::fprintf(stderr, "pdusim: cannot listen on %s: %s\n", qPrintable(parser.value(optControl)),
                         qPrintable(server.errorString()));
            return 1;
        }
        QObject::connect(&server, &QLocalServer::newConnection, &server, [&]() {
            while (QLocalSocket* pSocket = server.nextPendingConnection()) {
                auto* pChannel = new CLineChannel(
                    &control,
                    [pSocket](const QStringList& listLines) {
                        pSocket->write((listLines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
                    },
                    pSocket);
                QObject::connect(pSocket, &QLocalSocket::readyRead, pChannel,
                                 [pSocket, pChannel]() { pChannel->feed(pSocket->readAll()); });
                QObject::connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
            }
        });
    }

    // SIGTERM and SIGINT end the event loop, so that the control socket is removed on the way out.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) == 0) {
        auto* pSignalNotifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
        QObject::connect(pSignalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, onTerminate);
        std::signal(SIGINT, onTerminate);
    }

    QStringList listPorts;
    for (quint16 uiPort : fleet.ports())
        listPorts << QString::number(uiPort);
    std::fprintf(stderr, "pdusim: %d devices answering on port %s\n", fleet.deviceCount(),
                 qPrintable(listPorts.join(QLatin1Char(' '))));
    const int iStatus = app.exec();
    server.close();
    return iStatus;
}
