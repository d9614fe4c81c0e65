#include "room/Room.h"

#include "common/MacText.h"
#include "device/AlarmTracker.h"
#include "device/GroupAlarms.h"
#include "device/MetaTypes.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "history/BudgetHistory.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "mail/MailQueue.h"
#include "room/RoomAlarms.h"

#include <QCoreApplication>
#include <QThread>

#include <cstring>

QThread* g_pUdpThread = nullptr;
CUdpDriver* g_pUdpDriver = nullptr;

RoomOptions RoomOptions::programDefaults()
{
    RoomOptions options;
    options.strCycleJournal = COutletControl::defaultJournalPath();
    options.strProtectionList = CProtectionList::defaultPath();
    return options;
}

CRoom::CRoom(const RoomOptions& options, QObject* parent)
    : QObject(parent), m_options(options), m_pAlarms(std::make_unique<CRoomAlarms>(options.bMail))
{
}

CRoom::~CRoom()
{
    stop();
    if (m_bMailWorkerLeft)
        (void)m_pAlarms.release(); // left to the process exit
}

CAlarmTracker* CRoom::alarmTracker() const
{
    return &m_pAlarms->tracker;
}

void CRoom::build()
{
    if (m_pRegistry)
        return;
    m_holder = PortHolder();
    // The connections below cross the thread boundary.
    registerDeviceMetaTypes();
    m_pThread = new QThread;
    m_pThread->setObjectName(QStringLiteral("UdpThread"));
    m_pDriver = new CUdpDriver;
    m_pDriver->setObjectName(QStringLiteral("UdpDriver"));
    m_pDriver->setInterfaceRescan(m_options.iInterfaceRescanMs);
    m_pDriver->moveToThread(m_pThread);
    g_pUdpThread = m_pThread;
    g_pUdpDriver = m_pDriver;

    m_pRegistry = new CRackmind;
    g_pRackmind = m_pRegistry;
    m_pRegistry->connectTransport(m_pDriver);

    m_pOutletControl = new COutletControl(
        nullptr, m_options.strCycleJournal,
        m_options.strProtectionList.isEmpty() ? CProtectionList::defaultPath() : m_options.strProtectionList);
    // Protection follows a MAC written from this program.
    connect(m_pRegistry, &CRackmind::signalNewDevice, m_pOutletControl, [this](CPdu* pPdu) {
        connect(pPdu, &CPdu::signalDownload, m_pOutletControl,
                [this](const PduInfo& before, const PduInfo& after) {
                    if (std::memcmp(before.mac, after.mac, 6) != 0)
                        m_pOutletControl->followMac(macDigits(before.mac), macDigits(after.mac));
                });
    });
    wireAlarms();
}

void CRoom::wireAlarms()
{
    CAlarmTracker* pTracker = &m_pAlarms->tracker;
    m_pRegistry->setAlarmTracker(pTracker);
    if (m_options.pHistoryStore) {
        m_pRecorder = CHistoryRecorder::attach(m_options.pHistoryStore, m_pRegistry, pTracker);
        connect(m_pOutletControl, &COutletControl::signalOperation, m_pRecorder,
                &CHistoryRecorder::slotOutletOperation);
        connect(&m_pAlarms->mailQueue, &CMailQueue::signalMailResult, m_pRecorder,
                &CHistoryRecorder::slotMailResult);
    }
    // After the recorder has handed the tracker the alarms that stood, so that a group's is taken up.
    m_pGroupAlarms = new CGroupAlarms(m_pRegistry, pTracker, m_pRegistry);
}

void CRoom::finishMail()
{
    // Alarm mail already queued gets its bounded time to go out; the mail thread ends here.
    // A worker that did not stop in time still uses the queue: it is kept, not freed, at the end.
    if (m_options.bMail && !m_pAlarms->finish())
        m_bMailWorkerLeft = true;
}

bool CRoom::start(const std::function<void(bool&, uint, uint)>& fnStartBroadcast)
{
    if (m_bRunning)
        return true;
    build();
    // The worker must run before the blocking call below, or the call would never return.
    m_pThread->start(QThread::InheritPriority);
    emit m_pRegistry->signalUpdateDevicePort(m_pRegistry->listDevicePort);
    emit m_pRegistry->signalUpdateTargets(m_pRegistry->targets);

    bool bResult = false;
    const uint uiPort = m_options.uiLocalPort;
    const uint uiRate = m_options.uiUpdateRate;
    if (fnStartBroadcast)
        fnStartBroadcast(bResult, uiPort, uiRate);
    else
        QMetaObject::invokeMethod(
            m_pDriver, [&] { m_pDriver->slotStartBroadcast(bResult, uiPort, uiRate); },
            Qt::BlockingQueuedConnection);
    if (!bResult) {
        // Leave nothing behind, so that the next attempt starts from scratch.
        tearDown();
        if (uiPort != 0)
            m_holder = PortHolder::find(quint16(uiPort));
        return false;
    }
    m_bRunning = true;
    if (CHistoryStore* pStore = m_options.pHistoryStore) {
        pStore->record(HistoryEvent::MonitoringStarted, QString(), QString(), QString(), QString(), QString(),
                       QString(), QCoreApplication::applicationName());
        keepBudgetHistory(pStore);
    }
    return true;
}

void CRoom::applySettings()
{
    if (m_pGroupAlarms)
        m_pGroupAlarms->applySavedGroups();
    if (m_bRunning && m_options.pHistoryStore)
        keepBudgetHistory(m_options.pHistoryStore);
}

void CRoom::stop()
{
    const bool bWasRunning = m_bRunning;
    tearDown();
    if (!bWasRunning)
        return;
    if (m_options.pHistoryStore)
        m_options.pHistoryStore->record(HistoryEvent::MonitoringStopped, QString(), QString(), QString(),
                                        QString(), QString(), QString(), QCoreApplication::applicationName());
    finishMail();
}

void CRoom::tearDown()
{
    m_bRunning = false;
    // A power cycle still running sends its "on" now, while the devices and the transport still exist;
    // the call queued behind it returns only once the transport has sent it.
    delete m_pOutletControl;
    m_pOutletControl = nullptr;
    if (m_pDriver && m_pThread && m_pThread->isRunning())
        QMetaObject::invokeMethod(
            m_pDriver, [] {}, Qt::BlockingQueuedConnection);
    // The registry before the thread, so that no device queues anything into a stopped thread.
    delete m_pRegistry; // clears g_pRackmind, takes its group alarms and recorder along
    m_pRegistry = nullptr;
    m_pGroupAlarms = nullptr;
    m_pRecorder = nullptr;
    if (m_pThread) {
        if (m_pThread->isRunning()) {
            m_pThread->exit(0);
            m_pThread->wait();
        }
        delete m_pThread;
        if (g_pUdpThread == m_pThread)
            g_pUdpThread = nullptr;
        m_pThread = nullptr;
    }
    if (m_pDriver) {
        // Pulled back here and stopped: its sockets and timers belong to the thread that deletes it.
        m_pDriver->moveToThread(QThread::currentThread());
        m_pDriver->slotStopBroadcast();
        delete m_pDriver;
        if (g_pUdpDriver == m_pDriver)
            g_pUdpDriver = nullptr;
        m_pDriver = nullptr;
    }
}
