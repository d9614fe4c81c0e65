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

namespace {

constexpr int kTimeoutMsecs = 20000;

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
    if (!strCredentials.isEmpty()) {
        QFile file(strCredentials);
        if (!file.open(QIODevice::ReadOnly)) {
            *pError = RackmindCtl::tr("cannot read the credentials file %1").arg(strCredentials);
            return false;
        }
        const QByteArray baLine = file.readLine(4096).trimmed();
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

int fetchServicePdus(const CtlService& service, QList<CtlPdu>* pList, QTextStream& err)
{
    QNetworkAccessManager manager;
    QUrl url = service.url;
    url.setPath(QStringLiteral("/api/v1/pdus"));
    QNetworkRequest request(url);
    if (!service.baAuth.isEmpty())
        request.setRawHeader("Authorization", service.baAuth);
    if (!service.strCaFile.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(ssl.caCertificates() + QSslCertificate::fromPath(service.strCaFile));
        request.setSslConfiguration(ssl);
    }
    QNetworkReply* pReply = manager.get(request);
    QEventLoop loop;
    QObject::connect(pReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kTimeoutMsecs, &loop, &QEventLoop::quit);
    loop.exec();
    const int iStatus = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QJsonObject body = QJsonDocument::fromJson(pReply->readAll()).object();
    const bool bAnswered = pReply->isFinished();
    const QString strError = pReply->errorString();
    pReply->abort();
    pReply->deleteLater();
    if (!bAnswered || iStatus == 0) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("the service %1 did not answer: %2")
                   .arg(service.url.toString(), bAnswered ? strError : RackmindCtl::tr("timed out"))
            << '\n';
        return kExitFailure;
    }
    if (iStatus != 200) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("the service %1 refused: %2 %3")
                   .arg(service.url.toString())
                   .arg(iStatus)
                   .arg(body.value(QStringLiteral("message")).toString())
            << '\n';
        return kExitFailure;
    }
    pList->clear();
    for (const QJsonValue& value : body.value(QStringLiteral("pdus")).toArray()) {
        // The local discovery finds only what answers.
        if (value.toObject().value(QStringLiteral("online")).toBool())
            pList->append(pduOf(value.toObject()));
    }
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
    QList<CtlPdu> listPdus;
    const int iExit = fetchServicePdus(service, &listPdus, err);
    if (iExit != kExitOk)
        return iExit;
    QList<const CtlPdu*> listFound;
    for (const CtlPdu& pdu : qAsConst(listPdus))
        listFound.append(&pdu);
    QStringList listMatches;
    const CtlPdu* pPdu = resolvePdu(listFound, strPdu, &listMatches);
    if (!pPdu && !listMatches.isEmpty()) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("\"%1\" matches %2 PDUs; give the address one answers from:")
                   .arg(strPdu)
                   .arg(listMatches.size())
            << '\n';
        for (const QString& str : qAsConst(listMatches))
            err << "  " << str << '\n';
        return kExitUsage;
    }
    if (!pPdu) {
        err << "rackmind-ctl: " << RackmindCtl::tr("no PDU \"%1\" answered").arg(strPdu) << '\n';
        return kExitNotFound;
    }
    if (bJson)
        out << QJsonDocument(pduJson(*pPdu, true)).toJson(QJsonDocument::Indented);
    else
        out << pduText(*pPdu);
    return kExitOk;
}
