#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <future>

class CAlarmTracker;
class CPdu;
class COutletControl;
class CRackmind;

// One operation asked for through the API, checked for its form and its caller's roles already.
struct ApiCall
{
    enum Kind
    {
        Outlet,      // strTarget: the PDU's MAC digits, iOutlet 1..8
        Set,         // strTarget: the set's name
        Sequence,    // strTarget: the sequence's name
        Acknowledge, // strTarget: the alarm's id
    };
    Kind kind = Outlet;
    QString strTarget;
    int iOutlet = 0;
    QString strAction; // on, off, cycle; start, pause, resume, cancel; acknowledge
    int iDelay = -1;   // -1: the default
    bool bOverride = false;
    QString strUser;
};

// An HTTP status and the JSON that goes with it.
struct ApiAnswer
{
    int iStatus = 200;
    QByteArray baJson;
    QByteArray baLocation; // where to follow an operation that is under way
};

// An error as every route answers one: {"error":"...","message":"..."}.
ApiAnswer apiError(int iStatus, const char* pszError, const QString& strMessage);

// Carries out the API's operations on the room's thread, through the same outlet control, set control
// and alarm tracker as the console: the same refusals, protection and journal, and each operation in
// the event log under the API user's name.
class CApiOperations : public QObject
{
    Q_OBJECT
public:
    CApiOperations(CRackmind* pRegistry, COutletControl* pControl, CAlarmTracker* pTracker,
                   QObject* parent = nullptr);

    // Any thread: the answer, once the room's thread has carried the call out. A future that breaks
    // (the room went first) is answered as unavailable by the server.
    std::future<ApiAnswer> submit(const ApiCall& call);
    // The room's thread.
    ApiAnswer perform(const ApiCall& call);
    // The room's PDUs by MAC digits, as the last snapshot found them (the room's thread).
    void setIndex(const QHash<QString, CPdu*>& hashByMac);

private:
    ApiAnswer outlet(const ApiCall& call);
    ApiAnswer set(const ApiCall& call);
    ApiAnswer sequence(const ApiCall& call);
    ApiAnswer acknowledge(const ApiCall& call);

    QPointer<CRackmind> m_pRegistry;
    QPointer<COutletControl> m_pControl;
    QPointer<CAlarmTracker> m_pTracker;
    QHash<QString, QPointer<CPdu>> m_hashByMac;
};
