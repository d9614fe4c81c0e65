#pragma once

#include "metrics/ApiOperations.h"
#include "metrics/ApiSnapshot.h"

#include <QMap>
#include <QStringList>

#include <httplib.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>

// Who may do what through the API, as the web configuration says, and how the endpoint serves.
struct ApiAccess
{
    bool bEnabled = false;
    bool bTls = false;
    QMap<QString, QStringList> mapRoles;
};

// The JSON API under /api/v1 on the metrics endpoint's server: reads from the snapshot the room
// publishes, operations handed to the room's thread. Every refusal is JSON with a status that says
// what went wrong.
class CApiRoutes
{
public:
    using Submit = std::function<std::future<ApiAnswer>(const ApiCall&)>;
    using Snapshot = std::function<std::shared_ptr<const ApiSnapshot>()>;

    // How long a request waits for the room's thread to carry its operation out.
    static constexpr int kOperationWaitMsec = 5000;

    CApiRoutes(Snapshot fnSnapshot, const std::atomic<bool>& bStopping);
    void setSubmit(Submit fnSubmit);
    // The history file the event and reading routes read; empty: none is kept.
    void setHistoryPath(const QString& strPath);

    static bool isApiPath(const std::string& strPath);
    // Every route the server has, "METHOD /api/v1/pdus/{}" (HEAD goes with GET), for its description.
    static QStringList routes();
    // Before authentication: an unknown route is 404, a method the route does not take 405 with Allow.
    // False when answered.
    static bool checkRoute(const httplib::Request& req, httplib::Response& res);
    // After authentication, for requests that change state: the operator role, TLS or loopback, the
    // origin, a JSON body. False when answered.
    static bool checkOperation(const httplib::Request& req, httplib::Response& res, const QString& strUser,
                               const ApiAccess& access);
    // A request that changes state: only these read a body.
    static bool isOperation(const httplib::Request& req) { return req.method == "POST"; }
    // Whether the user may switch protected outlets off.
    static bool mayOverride(const QString& strUser, const ApiAccess& access);

    static void answer(httplib::Response& res, const ApiAnswer& answer);

    void route(httplib::Server& server, std::function<QString(const httplib::Request&)> fnUser,
               std::function<std::shared_ptr<const ApiAccess>()> fnAccess);

private:
    void operate(const httplib::Request& req, httplib::Response& res, ApiCall call);

    Snapshot m_fnSnapshot;
    const std::atomic<bool>& m_bStopping;
    std::mutex m_mutex;
    Submit m_fnSubmit;
    QString m_strHistoryPath;
};
