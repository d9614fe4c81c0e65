#pragma once

#include "device/PortHolder.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CGroupAlarms;
class CHistoryRecorder;
class CHistoryStore;
class COutletControl;
class CRackmind;
class CRoomAlarms;
class CAlarmTracker;
class CUdpDriver;
class QThread;

// The worker thread and the transport of the running room; null while none runs. Set by CRoom.
extern QThread* g_pUdpThread;
extern CUdpDriver* g_pUdpDriver;

// What differs between the programs that poll a room; the parts and their wiring do not.
struct RoomOptions
{
    // The device port; 0 polls from a free port (beside a program that holds the device port).
    uint uiLocalPort = 51230;
    uint uiUpdateRate = 1000;
    // How often the network interfaces are looked at again; 0 reads them once at start.
    int iInterfaceRescanMs = 2000;
    // Every poll, event and alarm is kept there when given (not owned); also the start and stop events
    // and the groups' budgets.
    CHistoryStore* pHistoryStore = nullptr;
    // The program mails its alarms: what is queued gets its bounded time to go out at stop. Off for
    // rooms that are not a program's (the test rig): alarms are tracked and recorded, not mailed.
    bool bMail = true;
    // Where running power cycles are kept; empty keeps none. The machine's protected outlets.
    QString strCycleJournal;
    QString strProtectionList;
    // The journal and protection list of the program's data folder, as the console and service use.
    static RoomOptions programDefaults();
};

// One polled room: the transport on "UdpThread", the registry with its devices, outlet control, the
// groups' alarms, the history recorder and the budget history. The console, the service, the test rig
// and the benchmark build theirs here and differ by options only.
class CRoom : public QObject
{
    Q_OBJECT
public:
    explicit CRoom(const RoomOptions& options, QObject* parent = nullptr);
    // Stops it.
    ~CRoom() override;

    const RoomOptions& options() const { return m_options; }
    void setOptions(const RoomOptions& options) { m_options = options; }

    // Makes the parts and wires them, without polling yet, so that a caller can connect to the registry
    // first. Called by start() when not done; a no-op while they exist. The options are read here,
    // except the port and poll rate, which start() reads.
    void build();
    // Starts the worker, tells the transport its ports and opens the local port through
    // fnStartBroadcast (blocking on the worker's answer), or directly when none is given. On failure
    // everything is torn down again and portHolder() says who has the port, if anyone.
    bool start(const std::function<void(bool& bResult, uint uiPort, uint uiRate)>& fnStartBroadcast = {});
    // The safe order: running power cycles send their "on" while devices and transport still exist, then
    // the registry, the worker thread, the transport; the stop event last. Safe to call at any time.
    void stop();
    bool isRunning() const { return m_bRunning; }
    PortHolder portHolder() const { return m_holder; }

    // Settings read again: the groups and their budgets.
    void applySettings();

    CRackmind* registry() const { return m_pRegistry; }
    // Lives in "UdpThread": touch it only through calls queued to that thread.
    CUdpDriver* driver() const { return m_pDriver; }
    QThread* thread() const { return m_pThread; }
    COutletControl* outletControl() const { return m_pOutletControl; }
    CGroupAlarms* groupAlarms() const { return m_pGroupAlarms; }
    CHistoryRecorder* recorder() const { return m_pRecorder; }
    CHistoryStore* historyStore() const { return m_options.pHistoryStore; }
    // The alarm tracker and its alarm mail: they live as long as the room, so that the windows that show
    // alarms can hold them from before the first start.
    CRoomAlarms& alarms() const { return *m_pAlarms; }
    CAlarmTracker* alarmTracker() const;

private:
    // Where the alarms of this room go: the tracker takes up the alarms the store kept, records to the
    // history and mails; the groups' alarms join it after. The one place that knows the tracker and mail.
    void wireAlarms();
    void finishMail();
    void tearDown();

    RoomOptions m_options;
    std::unique_ptr<CRoomAlarms> m_pAlarms;
    QThread* m_pThread = nullptr;
    CUdpDriver* m_pDriver = nullptr;
    CRackmind* m_pRegistry = nullptr;
    COutletControl* m_pOutletControl = nullptr;
    CGroupAlarms* m_pGroupAlarms = nullptr;  // a child of the registry
    CHistoryRecorder* m_pRecorder = nullptr; // a child of the registry
    PortHolder m_holder;
    bool m_bRunning = false;
    bool m_bMailWorkerLeft = false;
};
