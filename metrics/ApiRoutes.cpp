#include "metrics/ApiRoutes.h"

#include "device/OutletControl.h"
#include "metrics/ApiHistory.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <regex>

namespace {

struct Route
{
    const char* pszPattern;
    const char* pszAllow;
};

// Every route the API has; the OpenAPI description lists the same (a test holds the two together).
const Route s_aRoutes[] = {
    {"/api/v1/pdus", "GET, HEAD"},
    {"/api/v1/pdus/([^/]+)", "GET, HEAD"},
    {"/api/v1/pdus/([^/]+)/outlets/([^/]+)", "POST"},
    {"/api/v1/alarms", "GET, HEAD"},
    {"/api/v1/alarms/([^/]+)/acknowledge", "POST"},
    {"/api/v1/sets", "GET, HEAD"},
    {"/api/v1/sets/([^/]+)", "POST"},
    {"/api/v1/sequences/([^/]+)", "POST"},
    {"/api/v1/events", "GET, HEAD"},
    {"/api/v1/pdus/([^/]+)/history", "GET, HEAD"},
    {"/api/v1/report", "GET, HEAD"},
};

const std::vector<std::regex>& routeExpressions()
{
    static const std::vector<std::regex> s_vec = [] {
        std::vector<std::regex> vec;
        for (const Route& route : s_aRoutes)
            vec.emplace_back(route.pszPattern);
        return vec;
    }();
    return s_vec;
}

bool isLoopback(const std::string& strAddress)
{
    return strAddress.rfind("127.", 0) == 0 || strAddress == "::1" || strAddress.rfind("::ffff:127.", 0) == 0;
}

// A MAC in any of its spellings as twelve upper-case hex digits; empty when it is none.
QString macKey(const std::string& strText)
{
    return ApiHistory::macKey(QString::fromStdString(strText)).remove(QLatin1Char(':'));
}

// The host and port an Origin names, for comparing with Host.
std::string originHost(const std::string& strOrigin)
{
    const size_t uiScheme = strOrigin.find("://");
    return uiScheme == std::string::npos ? std::string() : strOrigin.substr(uiScheme + 3);
}

bool hasRole(const QString& strUser, const ApiAccess& access, const char* pszRole)
{
    return !strUser.isEmpty() && access.mapRoles.value(strUser).contains(QLatin1String(pszRole));
}

} // namespace

CApiRoutes::CApiRoutes(Snapshot fnSnapshot, const std::atomic<bool>& bStopping)
    : m_fnSnapshot(std::move(fnSnapshot)), m_bStopping(bStopping)
{
}

void CApiRoutes::setSubmit(Submit fnSubmit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fnSubmit = std::move(fnSubmit);
}

void CApiRoutes::setHistoryPath(const QString& strPath)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strHistoryPath = strPath;
}

QStringList CApiRoutes::routes()
{
    QStringList list;
    for (const Route& route : s_aRoutes) {
        QString strPath = QString::fromLatin1(route.pszPattern);
        strPath.replace(QStringLiteral("([^/]+)"), QStringLiteral("{}"));
        list << QStringLiteral("%1 %2").arg(
            QString::fromLatin1(route.pszAllow).section(QLatin1Char(','), 0, 0), strPath);
    }
    return list;
}

bool CApiRoutes::isApiPath(const std::string& strPath)
{
    return strPath == "/api" || strPath.rfind("/api/", 0) == 0;
}

void CApiRoutes::answer(httplib::Response& res, const ApiAnswer& answer)
{
    res.status = answer.iStatus;
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    if (!answer.baLocation.isEmpty())
        res.set_header("Location", answer.baLocation.toStdString());
    res.set_content(answer.baJson.constData(), size_t(answer.baJson.size()), "application/json");
}

bool CApiRoutes::checkRoute(const httplib::Request& req, httplib::Response& res)
{
    const auto& vecRe = routeExpressions();
    for (size_t i = 0; i < vecRe.size(); ++i) {
        if (!std::regex_match(req.path, vecRe[i]))
            continue;
        const std::string strAllow = s_aRoutes[i].pszAllow;
        // Whole names only: "OST" is no POST.
        if (QString::fromStdString(strAllow)
                .split(QStringLiteral(", "))
                .contains(QString::fromStdString(req.method)))
            return true;
        answer(res, apiError(405, "method_not_allowed",
                             QStringLiteral("%1 takes %2")
                                 .arg(QString::fromStdString(req.path), QString::fromStdString(strAllow))));
        res.set_header("Allow", strAllow);
        return false;
    }
    answer(res, apiError(404, "no_route",
                         QStringLiteral("the API has no %1").arg(QString::fromStdString(req.path))));
    return false;
}

bool CApiRoutes::checkOperation(const httplib::Request& req, httplib::Response& res, const QString& strUser,
                                const ApiAccess& access)
{
    if (!hasRole(strUser, access, "operator")) {
        answer(res,
               apiError(403, "forbidden", QStringLiteral("operating needs a user with the operator role")));
        return false;
    }
    if (!access.bTls && !isLoopback(req.remote_addr)) {
        answer(res, apiError(403, "tls_required",
                             QStringLiteral("operating needs TLS, except from this machine")));
        return false;
    }
    // A page elsewhere may send a request with the browser's credentials; it cannot hide where it is from.
    const std::string strOrigin = req.get_header_value("Origin");
    if ((!strOrigin.empty() && originHost(strOrigin) != req.get_header_value("Host")) ||
        req.get_header_value("Sec-Fetch-Site") == "cross-site") {
        answer(res,
               apiError(403, "cross_origin", QStringLiteral("requests from other sites change nothing")));
        return false;
    }
    // Forms and text/plain are what a page may send elsewhere without asking first; JSON it may not.
    std::string strType = req.get_header_value("Content-Type");
    strType = strType.substr(0, strType.find(';'));
    std::transform(strType.begin(), strType.end(), strType.begin(), ::tolower);
    strType.erase(strType.find_last_not_of(" \t") + 1);
    if (strType != "application/json") {
        answer(res, apiError(415, "unsupported_media_type",
                             QStringLiteral("the body is JSON (application/json)")));
        return false;
    }
    if (!req.has_header("Content-Length")) {
        answer(res, apiError(411, "length_required", QStringLiteral("the body's length is given")));
        return false;
    }
    return true;
}

bool CApiRoutes::mayOverride(const QString& strUser, const ApiAccess& access)
{
    return hasRole(strUser, access, "override");
}

void CApiRoutes::operate(const httplib::Request& req, httplib::Response& res, ApiCall call)
{
    Submit fnSubmit;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fnSubmit = m_fnSubmit;
    }
    if (!fnSubmit)
        return answer(res, apiError(503, "unavailable", QStringLiteral("this program switches nothing")));
    (void)req;
    std::future<ApiAnswer> future = fnSubmit(call);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOperationWaitMsec);
    while (future.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_bStopping || std::chrono::steady_clock::now() >= deadline)
            return answer(res,
                          apiError(503, "unavailable",
                                   QStringLiteral("the room did not take the operation up in time; it may "
                                                  "still be carried out: look before asking again")));
    }
    try {
        answer(res, future.get());
    } catch (const std::future_error&) {
        answer(res, apiError(503, "unavailable", QStringLiteral("the room is stopping")));
    }
}

void CApiRoutes::route(httplib::Server& server, std::function<QString(const httplib::Request&)> fnUser,
                       std::function<std::shared_ptr<const ApiAccess>()> fnAccess)
{
    const auto serve = [this](httplib::Response& res, QByteArray ApiSnapshot::*pMember) {
        const std::shared_ptr<const ApiSnapshot> pSnap = m_fnSnapshot();
        if (!pSnap)
            return answer(res, apiError(503, "unavailable", QStringLiteral("the room is not published yet")));
        ApiAnswer ok;
        ok.baJson = (*pSnap).*pMember;
        answer(res, ok);
    };
    server.Get("/api/v1/pdus", [serve](const httplib::Request&, httplib::Response& res) {
        serve(res, &ApiSnapshot::baPdus);
    });
    server.Get("/api/v1/alarms", [serve](const httplib::Request&, httplib::Response& res) {
        serve(res, &ApiSnapshot::baAlarms);
    });
    server.Get("/api/v1/sets", [serve](const httplib::Request&, httplib::Response& res) {
        serve(res, &ApiSnapshot::baSets);
    });
    server.Get("/api/v1/pdus/([^/]+)", [this](const httplib::Request& req, httplib::Response& res) {
        const QString strMac = macKey(req.matches[1]);
        if (strMac.isEmpty())
            return answer(res, apiError(400, "bad_parameter", QStringLiteral("a PDU is named by its MAC")));
        const std::shared_ptr<const ApiSnapshot> pSnap = m_fnSnapshot();
        const auto it =
            pSnap ? pSnap->hashPdu.constFind(strMac) : decltype(pSnap->hashPdu.constFind(strMac))();
        if (!pSnap || it == pSnap->hashPdu.constEnd())
            return answer(res,
                          apiError(404, "unknown_pdu", QStringLiteral("no PDU with the MAC %1").arg(strMac)));
        ApiAnswer ok;
        ok.baJson = it.value();
        answer(res, ok);
    });
    const auto historyPath = [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_strHistoryPath;
    };
    server.Get("/api/v1/events", [historyPath](const httplib::Request& req, httplib::Response& res) {
        answer(res, ApiHistory::events(historyPath(), req.params));
    });
    server.Get("/api/v1/report", [historyPath](const httplib::Request& req, httplib::Response& res) {
        answer(res, ApiHistory::report(historyPath(), req.params));
    });
    server.Get("/api/v1/pdus/([^/]+)/history", [historyPath](const httplib::Request& req,
                                                             httplib::Response& res) {
        const QString strMac = ApiHistory::macKey(QString::fromStdString(req.matches[1]));
        if (strMac.isEmpty())
            return answer(res, apiError(400, "bad_parameter", QStringLiteral("a PDU is named by its MAC")));
        answer(res, ApiHistory::readings(historyPath(), strMac, req.params));
    });

    // The body of an operation: an object of these keys only, each of its type.
    const auto parse = [](const httplib::Request& req, httplib::Response& res, const QStringList& listActions,
                          bool bDelay, bool bOverride, QJsonObject* pBody) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            answer(res, apiError(400, "bad_json",
                                 QStringLiteral("the body is not a JSON object: %1")
                                     .arg(error.error ? error.errorString() : QString())));
            return false;
        }
        *pBody = doc.object();
        for (auto it = pBody->constBegin(); it != pBody->constEnd(); ++it) {
            const bool bKnown =
                (it.key() == QLatin1String("action") && it->isString() &&
                 listActions.contains(it->toString())) ||
                (bDelay && it.key() == QLatin1String("delay") && it->isDouble() &&
                 it->toDouble() == double(it->toInt()) && it->toInt() >= COutletControl::kMinDelay &&
                 it->toInt() <= COutletControl::kMaxDelay) ||
                (bOverride && it.key() == QLatin1String("override") && it->isBool());
            if (!bKnown) {
                answer(res, apiError(400, "bad_parameter",
                                     QStringLiteral("\"%1\" is not taken here, or not so").arg(it.key())));
                return false;
            }
        }
        if (!listActions.isEmpty() && !pBody->contains(QLatin1String("action"))) {
            answer(
                res,
                apiError(
                    400, "bad_parameter",
                    QStringLiteral("\"action\" is one of %1").arg(listActions.join(QStringLiteral(", ")))));
            return false;
        }
        return true;
    };
    const QStringList listSwitch{QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("cycle")};
    const auto call = [fnUser, parse](const httplib::Request& req, httplib::Response& res, ApiCall::Kind kind,
                                      const QStringList& listActions, bool bDelay, bool bOverride,
                                      ApiCall* pCall) {
        QJsonObject body;
        if (!parse(req, res, listActions, bDelay, bOverride, &body))
            return false;
        pCall->kind = kind;
        pCall->strTarget = QString::fromStdString(req.matches[1]);
        pCall->strAction = body.value(QLatin1String("action")).toString();
        pCall->iDelay = body.value(QLatin1String("delay")).toInt(-1);
        pCall->bOverride = body.value(QLatin1String("override")).toBool();
        pCall->strUser = fnUser(req);
        return true;
    };
    const auto overrideAllowed = [fnAccess](httplib::Response& res, const ApiCall& c) {
        const std::shared_ptr<const ApiAccess> pAccess = fnAccess();
        if (c.bOverride && !(pAccess && mayOverride(c.strUser, *pAccess))) {
            answer(res, apiError(403, "forbidden",
                                 QStringLiteral("overriding protection needs the override role")));
            return false;
        }
        return true;
    };
    server.Post("/api/v1/pdus/([^/]+)/outlets/([^/]+)", [=](const httplib::Request& req,
                                                            httplib::Response& res) {
        ApiCall c;
        if (!call(req, res, ApiCall::Outlet, listSwitch, true, false, &c))
            return;
        c.strTarget = macKey(req.matches[1]);
        bool bOk = false;
        c.iOutlet = QString::fromStdString(req.matches[2]).toInt(&bOk);
        if (c.strTarget.isEmpty())
            return answer(res, apiError(400, "bad_parameter", QStringLiteral("a PDU is named by its MAC")));
        if (!bOk || c.iOutlet < 1 || c.iOutlet > 8)
            return answer(res, apiError(404, "unknown_outlet", QStringLiteral("outlets are 1 to 8")));
        const std::shared_ptr<const ApiSnapshot> pSnap = m_fnSnapshot();
        if (!pSnap || !pSnap->hashPdu.contains(c.strTarget))
            return answer(
                res, apiError(404, "unknown_pdu", QStringLiteral("no PDU with the MAC %1").arg(c.strTarget)));
        operate(req, res, c);
    });
    server.Post("/api/v1/sets/([^/]+)", [=](const httplib::Request& req, httplib::Response& res) {
        ApiCall c;
        if (call(req, res, ApiCall::Set, listSwitch, true, true, &c) && overrideAllowed(res, c))
            operate(req, res, c);
    });
    server.Post("/api/v1/sequences/([^/]+)", [=](const httplib::Request& req, httplib::Response& res) {
        ApiCall c;
        if (call(req, res, ApiCall::Sequence,
                 {QStringLiteral("start"), QStringLiteral("pause"), QStringLiteral("resume"),
                  QStringLiteral("cancel")},
                 false, true, &c) &&
            overrideAllowed(res, c))
            operate(req, res, c);
    });
    server.Post("/api/v1/alarms/([^/]+)/acknowledge",
                [=](const httplib::Request& req, httplib::Response& res) {
                    ApiCall c;
                    if (call(req, res, ApiCall::Acknowledge, {}, false, false, &c))
                        operate(req, res, c);
                });
}
