#include "cli/CtlService.h"

#include "cli/CtlFormat.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/DeviceText.h"
#include "device/Protocol.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMsecs = 20000;
// Far above the PDU list of the largest room; what is larger is no answer of the API.
constexpr qint64 kMaxAnswerBytes = 64LL << 20;

// The credentials file's first line, refused where every user of the machine may read or change it.
bool readCredentials(const QString& strFile, QByteArray* pLine, QString* pError)
{
    QFile file(strFile);
    struct stat st;
    if (!file.open(QIODevice::ReadOnly) || ::fstat(file.handle(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *pError = RackmindCtl::tr("cannot read the credentials file %1").arg(strFile);
        return false;
    }
    if (st.st_mode & (S_IROTH | S_IWOTH)) {
        *pError = RackmindCtl::tr("every user may read or change the credentials file %1: chmod o-rw %1")
                      .arg(strFile);
        return false;
    }
    *pLine = file.readLine(4096).trimmed();
    return true;
}

bool isLoopback(const QString& strHost)
{
    return strHost == QLatin1String("localhost") || QHostAddress(strHost).isLoopback();
}

void storeIp(const QString& strText, quint8 (&ip)[4])
{
    const quint32 ui = QHostAddress(strText).toIPv4Address();
    for (int i = 0; i < 4; ++i)
        ip[i] = quint8(ui >> (24 - 8 * i));
}

template <int N> void storeArray(const QJsonValue& value, quint8 (&a)[N])
{
    const QJsonArray array = value.toArray();
    for (int i = 0; i < N; ++i)
        a[i] = quint8(array.at(i).toInt());
}

// The record the local discovery would have made of the PDU's replies.
CtlPdu pduOf(const QJsonObject& obj)
{
    CtlPdu pdu;
    PduInfo& st = pdu.info;
    pdu.uiSender = QHostAddress(obj.value(QStringLiteral("address")).toString()).toIPv4Address();
    pdu.uiPort = quint16(obj.value(QStringLiteral("port")).toInt());
    const QString strMac = bareMac(obj.value(QStringLiteral("mac")).toString());
    for (int i = 0; i < 6; ++i)
        st.mac[i] = quint8(strMac.mid(2 * i, 2).toUInt(nullptr, 16));
    st.udpPort = pdu.uiPort;
    storeDeviceText(obj.value(QStringLiteral("name")).toString(), st.name);
    storeDeviceText(obj.value(QStringLiteral("position")).toString(), st.position);
    storeDeviceText(obj.value(QStringLiteral("productType")).toString(), st.productType);
    storeDeviceText(obj.value(QStringLiteral("firmware")).toString(), st.firmwareVer);
    storeIp(obj.value(QStringLiteral("reportedAddress")).toString(), st.ip);
    storeIp(obj.value(QStringLiteral("subnetMask")).toString(), st.subNetMask);
    storeIp(obj.value(QStringLiteral("gateway")).toString(), st.gateway);
    st.voltage = quint32(obj.value(QStringLiteral("voltage")).toInt());
    st.current = obj.value(QStringLiteral("current")).toDouble();
    st.temperature = quint8(obj.value(QStringLiteral("temperature")).toInt());
    st.humidity = quint8(obj.value(QStringLiteral("humidity")).toInt());
    const QJsonArray outlets = obj.value(QStringLiteral("outlets")).toArray();
    st.outletStatus = 0;
    for (int i = 0; i < 8; ++i)
        st.outletStatus |= outlets.at(i).toBool() ? quint8(1u << i) : 0;
    const QJsonObject limits = obj.value(QStringLiteral("thresholds")).toObject();
    st.currentWarn = limits.value(QStringLiteral("currentWarn")).toDouble();
    st.currentOverload = limits.value(QStringLiteral("currentOverload")).toDouble();
    st.voltageWarn = quint32(limits.value(QStringLiteral("voltageWarn")).toInt());
    st.voltageOverload = quint32(limits.value(QStringLiteral("voltageOverload")).toInt());
    st.temperatureLowLimit = quint8(limits.value(QStringLiteral("temperatureLow")).toInt());
    st.temperatureHighLimit = quint8(limits.value(QStringLiteral("temperatureHigh")).toInt());
    st.humidityWarn = quint8(limits.value(QStringLiteral("humidityWarn")).toInt());
    storeArray(obj.value(QStringLiteral("openDelays")), st.outletOpenDelay);
    storeArray(obj.value(QStringLiteral("closeDelays")), st.outletCloseDelay);
    const QJsonArray names = obj.value(QStringLiteral("outletNames")).toArray();
    for (int i = 0; i < 8; ++i)
        storeDeviceText(names.at(i).toString(), st.outletName[i]);
    for (quint8 cmd :
         {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames})
        pdu.uiSeen |= 1u << cmd;
    return pdu;
}

} // namespace

bool serviceFromOptions(const QString& strUrl, const QString& strCredentials, const QString& strCa,
                        CtlService* pService, QString* pError)
{
    pService->url = QUrl(strUrl);
    if (!pService->url.isValid() ||
        !QStringList{QStringLiteral("http"), QStringLiteral("https")}.contains(pService->url.scheme()) ||
        pService->url.host().isEmpty()) {
        *pError = RackmindCtl::tr("--service takes the service's address as https://HOST:PORT");
        return false;
    }
    // Every user of the machine reads a command line (ps).
    if (!pService->url.userInfo().isEmpty()) {
        *pError = RackmindCtl::tr("no user or password in --service: give them in a --credentials file");
        return false;
    }
    if (!strCredentials.isEmpty()) {
        QByteArray baLine;
        if (!readCredentials(strCredentials, &baLine, pError))
            return false;
        if (pService->url.scheme() == QLatin1String("http") && !isLoopback(pService->url.host())) {
            *pError = RackmindCtl::tr("the password would cross the network unencrypted: use https:// for "
                                      "a service on another machine");
            return false;
        }
        if (baLine.indexOf(':') <= 0) {
            *pError = RackmindCtl::tr("the credentials file holds USER:PASSWORD on its first line");
            return false;
        }
        pService->baAuth = "Basic " + baLine.toBase64();
    }
    pService->strCaFile = strCa;
    if (!strCa.isEmpty() && QSslCertificate::fromPath(strCa).isEmpty()) {
        *pError = RackmindCtl::tr("no certificate in %1").arg(strCa);
        return false;
    }
    return true;
}

int serviceCall(const CtlService& service, const QString& strPath, const QUrlQuery& query,
                const QJsonObject* pBody, ServiceReply* pReply, QTextStream& err)
{
    QNetworkAccessManager manager;
    QUrl url = service.url;
    url.setPath(QStringLiteral("/api/v1") + strPath);
    url.setQuery(query);
    QNetworkRequest request(url);
    if (!service.baAuth.isEmpty())
        request.setRawHeader("Authorization", service.baAuth);
    if (!service.strCaFile.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(ssl.caCertificates() + QSslCertificate::fromPath(service.strCaFile));
        request.setSslConfiguration(ssl);
    }
    QNetworkReply* pNet = nullptr;
    if (pBody) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        pNet = manager.post(request, QJsonDocument(*pBody).toJson(QJsonDocument::Compact));
    } else {
        pNet = manager.get(request);
    }
    QEventLoop loop;
    QObject::connect(pNet, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    bool bTooLarge = false;
    QObject::connect(pNet, &QNetworkReply::downloadProgress, &loop, [&](qint64 iReceived, qint64 iTotal) {
        // What is kept is the inflated answer: a small compressed one may inflate without bound.
        bTooLarge = qMax(qMax(iReceived, iTotal), pNet->bytesAvailable()) > kMaxAnswerBytes;
        if (bTooLarge)
            loop.quit();
    });
    QTimer::singleShot(kTimeoutMsecs, &loop, &QEventLoop::quit);
    loop.exec();
    pReply->iStatus = pNet->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool bFinished = pNet->isFinished(), bAnswered = bFinished && !bTooLarge;
    QJsonParseError parsed{};
    const QJsonDocument document =
        QJsonDocument::fromJson(bAnswered ? pNet->readAll() : QByteArray(), &parsed);
    pReply->json = document.object();
    const QNetworkReply::NetworkError error = pNet->error();
    const QString strError = pNet->errorString();
    pNet->abort();
    pNet->deleteLater();
    if (error == QNetworkReply::SslHandshakeFailedError) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr(
                   "the certificate of the service %1 was not accepted (%2); give its CA with --ca")
                   .arg(service.url.toString(), strError)
            << '\n';
        return kExitService;
    }
    if (!bAnswered || pReply->iStatus == 0) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("the service %1 did not answer: %2")
                   .arg(service.url.toString(),
                        bTooLarge   ? RackmindCtl::tr("it sent more than %1 MiB").arg(kMaxAnswerBytes >> 20)
                        : bFinished ? strError
                                    : RackmindCtl::tr("timed out"))
            << '\n';
        return kExitService;
    }
    if (pReply->iStatus == 401 || pReply->iStatus == 403) {
        err << "rackmind-ctl: "
            << (pReply->iStatus == 401 ? RackmindCtl::tr("the service %1 did not take the credentials (%2)")
                                       : RackmindCtl::tr("the service %1 refused the user: %2"))
                   .arg(service.url.toString(), pReply->json.value(QStringLiteral("message")).toString())
            << '\n';
        return kExitDenied;
    }
    // The API answers everything, refusals too, with a JSON object: anything else (another server, a
    // redirect, a cut answer) is not the service's word.
    if (!document.isObject()) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("the service %1 did not answer as its API does (HTTP %2, %3)")
                   .arg(service.url.toString())
                   .arg(pReply->iStatus)
                   .arg(parsed.error == QJsonParseError::NoError ? RackmindCtl::tr("not an object")
                                                                 : parsed.errorString())
            << '\n';
        return kExitService;
    }
    return kExitOk;
}

int serviceRefusal(const CtlService& service, const ServiceReply& reply, QTextStream& err)
{
    err << "rackmind-ctl: "
        << RackmindCtl::tr("the service %1 refused: %2 %3")
               .arg(service.url.toString())
               .arg(reply.iStatus)
               .arg(reply.json.value(QStringLiteral("message")).toString())
        << '\n';
    const QString strError = reply.json.value(QStringLiteral("error")).toString();
    if (strError == QLatin1String("protected"))
        return kExitProtected;
    if (reply.iStatus == 404 || strError == QLatin1String("offline"))
        return kExitNotFound;
    if (strError == QLatin1String("history_unavailable"))
        return kExitUnavailable;
    return kExitFailure;
}

int serviceGet(const CtlService& service, const QString& strPath, const QUrlQuery& query,
               ServiceReply* pReply, QTextStream& err)
{
    const int iExit = serviceCall(service, strPath, query, nullptr, pReply, err);
    return iExit == kExitOk && pReply->iStatus != 200 ? serviceRefusal(service, *pReply, err) : iExit;
}

int fetchServicePdus(const CtlService& service, QList<CtlPdu>* pList, QTextStream& err,
                     QList<QJsonObject>* pAll)
{
    ServiceReply reply;
    const int iExit = serviceGet(service, QStringLiteral("/pdus"), QUrlQuery(), &reply, err);
    if (iExit != kExitOk)
        return iExit;
    pList->clear();
    for (const QJsonValue& value : reply.json.value(QStringLiteral("pdus")).toArray()) {
        if (pAll)
            pAll->append(value.toObject());
        // The local discovery finds only what answers.
        if (value.toObject().value(QStringLiteral("online")).toBool())
            pList->append(pduOf(value.toObject()));
    }
    return kExitOk;
}

int findServicePdu(const CtlService& service, const QString& strPdu, CtlPdu* pPdu, QJsonObject* pJson,
                   QTextStream& err)
{
    QList<CtlPdu> listPdus;
    QList<QJsonObject> listAll;
    const int iExit = fetchServicePdus(service, &listPdus, err, &listAll);
    if (iExit != kExitOk)
        return iExit;
    QList<const CtlPdu*> listFound;
    for (const CtlPdu& pdu : qAsConst(listPdus))
        listFound.append(&pdu);
    QStringList listMatches;
    const CtlPdu* pFound = resolvePdu(listFound, strPdu, &listMatches);
    if (!pFound && !listMatches.isEmpty()) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("\"%1\" matches %2 PDUs; give the address one answers from:")
                   .arg(strPdu)
                   .arg(listMatches.size())
            << '\n';
        for (const QString& str : qAsConst(listMatches))
            err << "  " << str << '\n';
        return kExitUsage;
    }
    if (!pFound) {
        err << "rackmind-ctl: " << RackmindCtl::tr("no PDU \"%1\" answered").arg(strPdu) << '\n';
        return kExitNotFound;
    }
    *pPdu = *pFound;
    if (pJson)
        for (const QJsonObject& obj : qAsConst(listAll))
            if (bareMac(obj.value(QStringLiteral("mac")).toString()) == bareMac(macText(*pFound)))
                *pJson = obj;
    return kExitOk;
}

int runServiceList(const CtlService& service, bool bJson, QTextStream& out, QTextStream& err)
{
    QList<CtlPdu> listPdus;
    const int iExit = fetchServicePdus(service, &listPdus, err);
    if (iExit != kExitOk)
        return iExit;
    if (bJson) {
        QJsonArray array;
        for (const CtlPdu& pdu : qAsConst(listPdus))
            array.append(pduJson(pdu, false));
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else {
        for (const CtlPdu& pdu : qAsConst(listPdus))
            out << pduLine(pdu) << '\n';
    }
    if (!listPdus.isEmpty())
        return kExitOk;
    err << "rackmind-ctl: "
        << RackmindCtl::tr("the service %1 knows no PDU that answers").arg(service.url.toString()) << '\n';
    return kExitNotFound;
}

int runServiceShow(const CtlService& service, const QString& strPdu, bool bJson, QTextStream& out,
                   QTextStream& err)
{
    CtlPdu pdu;
    const int iExit = findServicePdu(service, strPdu, &pdu, nullptr, err);
    if (iExit != kExitOk)
        return iExit;
    if (bJson)
        out << QJsonDocument(pduJson(pdu, true)).toJson(QJsonDocument::Indented);
    else
        out << pduText(pdu);
    return kExitOk;
}
