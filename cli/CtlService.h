#pragma once

#include "cli/CtlLink.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QTextStream>
#include <QUrl>
#include <QUrlQuery>

struct CtlOutletRequest;
struct CtlReportRequest;
struct CtlSetOptions;
struct OutletRef;
struct OutletSet;
struct OutletSequence;
class COutletSets;
enum class HistoryFormat;

// rackmind-ctl against a running service's API instead of the PDUs' own network: the same output, JSON
// and exit statuses, from the PDUs as the service knows them.
struct CtlService
{
    QUrl url;          // http(s)://host:port, the service's metrics endpoint
    QByteArray baAuth; // "Basic ..."; empty without credentials
    QString strCaFile; // a private CA the service's certificate is checked against; empty: the system's
};

// strUrl, strCredentials (a file holding "user:password" on its first line: a password is never given
// on the command line, where others may read it) and strCa as the options or the environment give them.
// False with the reason in pError.
bool serviceFromOptions(const QString& strUrl, const QString& strCredentials, const QString& strCa,
                        CtlService* pService, QString* pError);

// An answer of the service's API.
struct ServiceReply
{
    int iStatus = 0;
    QJsonObject json;
};

// One request under /api/v1 (strPath after it); a body makes it a POST. kExitOk once the service
// answered with anything but a refusal of the user (401, 403); else kExitService or kExitDenied, with
// the reason written to err.
int serviceCall(const CtlService& service, const QString& strPath, const QUrlQuery& query,
                const QJsonObject* pBody, ServiceReply* pReply, QTextStream& err);
// A read that must answer 200: kExitOk, or the exit status told as serviceRefusal tells it.
int serviceGet(const CtlService& service, const QString& strPath, const QUrlQuery& query,
               ServiceReply* pReply, QTextStream& err);
// A refusal of the API as the exit status the same refusal has locally (unknown PDU or set 3, protected
// 5, offline 3, else 1), with the service's reason written to err.
int serviceRefusal(const CtlService& service, const ServiceReply& reply, QTextStream& err);

// The service's PDUs, in its order: the online ones as the local discovery would have found them, and
// with pAll every one, as its API describes it. An exit status other than kExitOk, with the reason
// written to err, when the service did not answer so.
int fetchServicePdus(const CtlService& service, QList<CtlPdu>* pList, QTextStream& err,
                     QList<QJsonObject>* pAll = nullptr);
// The online PDU strPdu means, as `show` finds it; kExitOk or the exit status, told.
int findServicePdu(const CtlService& service, const QString& strPdu, CtlPdu* pPdu, QJsonObject* pJson,
                   QTextStream& err);

int runServiceList(const CtlService& service, bool bJson, QTextStream& out, QTextStream& err);
int runServiceShow(const CtlService& service, const QString& strPdu, bool bJson, QTextStream& out,
                   QTextStream& err);
// The service's online PDUs (pMap, by MAC digits) of every outlet in listAll, those of listOff not
// protected unless bForce: kExitOk, or the exit status told as the local commands tell it.
int checkServiceOutlets(const CtlService& service, const QList<OutletRef>& listAll,
                        const QList<OutletRef>& listOff, bool bForce, QTextStream& err,
                        QMap<QString, QJsonObject>* pMap);
// `outlet PDU N on|off|cycle`: sent through the service, followed until the PDU shows it.
int runServiceOutlet(const CtlService& service, const CtlOutletRequest& req, QTextStream& err);
// The sets and sequences the service runs, as its sets file holds them; pView: its sequence run.
int loadServiceSets(const CtlService& service, COutletSets* pSets, QTextStream& err,
                    QJsonObject* pView = nullptr);
// The service's run of the sequence strName for a person, as `sequence list` tells a run here: empty
// unless it is under way or ended in the middle.
QString serviceRunText(const QJsonObject& view, const QString& strName);
// `set NAME on|off|cycle` and `sequence run NAME` through the service, followed until done.
int runServiceSet(const CtlService& service, const OutletSet& set, const QString& strAction,
                  const CtlSetOptions& opt, QTextStream& err);
int runServiceSequence(const CtlService& service, const OutletSequence& seq, bool bForce, QTextStream& err);
// `history PDU` from the service's store, iFrom and iTo in milliseconds since 1970.
int runServiceHistory(const CtlService& service, const QString& strPdu, qint64 iFrom, qint64 iTo,
                      HistoryFormat format, QTextStream& out, QTextStream& err);
// `report` (text or CSV) from the service's store.
int runServiceReport(const CtlService& service, const CtlReportRequest& req, QTextStream& out,
                     QTextStream& err);
