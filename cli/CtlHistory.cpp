#include "cli/CtlHistory.h"

#include "cli/CtlFormat.h"
#include "cli/CtlOwner.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "common/SafeOpen.h"
#include "device/Rackmind.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

QString serviceStateDir()
{
    const QString strEnv = qEnvironmentVariable("RACKMIND_SERVICE_STATE");
    return strEnv.isEmpty() ? QStringLiteral("/var/lib/rackmind") : strEnv;
}

QList<uint> servicePorts()
{
    // Read by whoever runs the command, root too: through a descriptor of the file found in the folder,
    // so that nothing the service's user plants there is followed.
    QList<uint> list;
    QString strWhy;
    const int fd = SafeOpen::open(QDir(serviceStateDir()).filePath(QStringLiteral("port.prt")), O_RDONLY, 0,
                                  {true, false}, &strWhy);
    if (fd >= 0) {
        CRackmind::readPortFile(QStringLiteral("/proc/self/fd/%1").arg(fd), &list, &strWhy);
        ::close(fd);
    }
    return list;
}

PollTargetList serviceTargets()
{
    PollTargetList list;
    QString strWhy;
    const int fd =
        SafeOpen::open(QDir(serviceStateDir()).filePath(QString::fromLatin1(PollTargets::kFileName)),
                       O_RDONLY, 0, {true, false}, &strWhy);
    if (fd >= 0) {
        PollTargets::readFile(QStringLiteral("/proc/self/fd/%1").arg(fd), &list, &strWhy);
        ::close(fd);
    }
    return list;
}

namespace {
QString serviceStore()
{
    return QDir(serviceStateDir()).filePath(QStringLiteral("history.sqlite"));
}

QString ownStore()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("rackmind/history.sqlite"));
}
} // namespace

QString historyStorePath()
{
    const QString strEnv = qEnvironmentVariable("RACKMIND_HISTORY");
    if (!strEnv.isEmpty())
        return strEnv;
    for (const QString& strPath : {ownStore(), serviceStore()}) {
        if (QFileInfo(strPath).isFile())
            return strPath;
    }
    return QString();
}

namespace {
// ISO 8601 in local time, or seconds since the epoch.
qint64 parseTime(const QString& strText, bool* pbOk)
{
    bool bNumber = false;
    const qint64 iSecs = strText.toLongLong(&bNumber);
    if (bNumber) {
        *pbOk = true;
        return iSecs * 1000;
    }
    const QDateTime dt = QDateTime::fromString(strText, Qt::ISODate);
    *pbOk = dt.isValid();
    return dt.toMSecsSinceEpoch();
}
} // namespace

int findStore(const QString& strGiven, QString* pstrPath, QTextStream& err)
{
    *pstrPath = strGiven.isEmpty() ? historyStorePath() : strGiven;
    if (QFileInfo(*pstrPath).isFile())
        return kExitOk;
    err << "rackmind-ctl: "
        << RackmindCtl::tr("no history store at %1")
               .arg(pstrPath->isEmpty() ? ownStore() + QStringLiteral(", ") + serviceStore() : *pstrPath)
        << '\n';
    return kExitUnavailable;
}

bool historySpan(const QString& strFrom, const QString& strTo, qint64* piFrom, qint64* piTo, QTextStream& err)
{
    constexpr qint64 kDayMsecs = 24 * 3600 * 1000;
    bool bFrom = true, bTo = true;
    *piTo = strTo.isEmpty() ? QDateTime::currentMSecsSinceEpoch() : parseTime(strTo, &bTo);
    *piFrom = strFrom.isEmpty() ? *piTo - kDayMsecs : parseTime(strFrom, &bFrom);
    if (bFrom && bTo && *piTo >= *piFrom)
        return true;
    err << "rackmind-ctl: "
        << RackmindCtl::tr("--from and --to take ISO 8601 times, the first before the second") << '\n';
    return false;
}

void printSeries(const QVector<HistoryAggregate>& series, HistoryFormat format, QTextStream& out)
{
    const QStringList listHeader = {QStringLiteral("time"),     QStringLiteral("volts"),
                                    QStringLiteral("amperes"),  QStringLiteral("celsius"),
                                    QStringLiteral("humidity"), QStringLiteral("outlets"),
                                    QStringLiteral("online")};
    QJsonArray arrayRows;
    const auto print = [&](const QStringList& listFields) {
        if (format == HistoryFormat::Json) {
            if (&listFields == &listHeader)
                return;
            QJsonObject row;
            for (int i = 0; i < listHeader.size(); ++i) {
                bool bNumber = false;
                const double d = listFields.at(i).toDouble(&bNumber);
                // The outlet states stay a string of ones and noughts.
                row.insert(listHeader.at(i),
                           bNumber && i != 5 ? QJsonValue(d) : QJsonValue(listFields.at(i)));
            }
            arrayRows.append(row);
            return;
        }
        out << (format == HistoryFormat::Csv ? HistoryCsv::line(listFields)
                                             : listFields.join(QLatin1Char('\t')) + QLatin1Char('\n'));
    };
    print(listHeader);
    for (const HistoryAggregate& a : series) {
        // The averages; a span's minimum and maximum are in the history window.
        const QStringList listRow = {
            HistoryCsv::time(a.iMsecs),
            QString::number(a.aVoltage[1]),
            currentInCsv(a.aCentiAmps[1] / 100.0),
            QString::number(a.aTemperature[1]),
            QString::number(a.aHumidity[1]),
            outletBits(a.uiOutlets),
            QString::number(a.uiSamples ? double(a.uiOnline) / a.uiSamples : 0.0, 'f', 2)};
        print(listRow);
    }
    if (format == HistoryFormat::Json)
        out << QJsonDocument(arrayRows).toJson(QJsonDocument::Indented);
}

int printHistory(const QString& strPdu, const QString& strFrom, const QString& strTo, HistoryFormat format,
                 QTextStream& out, QTextStream& err)
{
    qint64 iFrom = 0, iTo = 0;
    if (!historySpan(strFrom, strTo, &iFrom, &iTo, err))
        return kExitUsage;
    QString strPath;
    const int iExit = findStore(QString(), &strPath, err);
    if (iExit != kExitOk)
        return iExit;
    // Root reads another account's store as that account.
    return CtlOwner::readStore(strPath, out, err, [&](QTextStream& outRows) {
        CHistoryReader reader(strPath);
        // The same ways to name a PDU as on the network: MAC address, address or name.
        QVector<CHistoryReader::Device> listMatch;
        for (const CHistoryReader::Device& device : reader.devices()) {
            if (bareMac(device.strMac) == bareMac(strPdu) || device.strAddress == strPdu ||
                device.strName == strPdu)
                listMatch << device;
        }
        if (!reader.error().isEmpty()) {
            err << "rackmind-ctl: " << reader.error() << '\n';
            return kExitUnavailable;
        }
        if (listMatch.isEmpty()) {
            err << "rackmind-ctl: " << RackmindCtl::tr("no PDU in the history matches %1").arg(strPdu)
                << '\n';
            return kExitNotFound;
        }
        if (listMatch.size() > 1) {
            err << "rackmind-ctl: " << RackmindCtl::tr("%1 names several PDUs:").arg(strPdu) << '\n';
            for (const CHistoryReader::Device& device : qAsConst(listMatch))
                err << "  " << device.strMac << ' ' << device.strAddress << ' '
                    << terminalText(device.strName) << '\n';
            return kExitUsage;
        }
        const QString strMac = listMatch.first().strMac;
        printSeries(reader.series(strMac, iFrom, iTo, reader.resolutionHolding(strMac, iFrom, iTo)), format,
                    outRows);
        return kExitOk;
    });
}
