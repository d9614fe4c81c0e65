#pragma once

#include "device/PduInfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class CAlarmTracker;
class COutletStatusWidget;

// One power strip as the console knows it: what it last reported (stInfo), what the configuration
// pages have edited and not yet sent (stSetInfo), its group, its liveness and its alarm state.
class CPdu : public QObject
{
    Q_OBJECT
public:
    // Alarm conditions, in the order they are checked; indices into bAlarm.
    enum Alarm
    {
        AlarmVoltageWarn,
        AlarmVoltageOverload,
        AlarmCurrentWarn,
        AlarmCurrentOverload,
        AlarmTemperature,
        AlarmHumidity,
        AlarmCount
    };

    explicit CPdu(QObject* parent = nullptr);

    bool isOnline() const;
    // False until the device has reported its limits: the factory limits are not the device's.
    bool isAbnormal() const;
    // Whether a reply of this command has been decoded since the device was first heard.
    bool hasReported(int iCommand) const;
    // The device's own limits are known (its thresholds reply arrived), so its readings can be judged.
    bool limitsKnown() const;
    // Counts a command as reported without a reply, for devices built from values (tools, tests).
    void markReported(int iCommand);
    // The set commands (0x01, 0x08, 0x0E, 0x10, in that order) whose fields differ between
    // stSetInfo and stInfo.
    QList<int> needDownload() const;
    // Sends one set frame per pending command to the device's address and reported port; the network
    // settings go last, so a device that moves at once has taken every other change before.
    void download();
    // Where frames to the device go: the address its datagrams come from (the reported one for a
    // device that no registry has heard yet).
    QHostAddress sendAddress() const;
    quint32 sendIPv4() const;
    // A condition's reading and its limit(s) as its alarm mail prints them; the temperature's limits
    // read "upper / lower".
    QString alarmValue(int iCondition) const;
    // Whether the condition holds on these readings and limits (no debounce, no margin).
    static bool conditionHolds(const PduInfo& info, int iCondition);
    QString alarmLimit(int iCondition) const;

    PduInfo stInfo;
    PduInfo stSetInfo;
    // Made by the windows when they first show the device (COutletStatusWidget::attach); the overview
    // tree adopts it as an item widget, and one not adopted goes with the device. None without windows.
    QPointer<COutletStatusWidget> pOutletStatusWidget;
    QString strGroup;
    // Where the device's alarm conditions are reported (its registry's); none: they are judged unseen.
    QPointer<CAlarmTracker> pAlarmTracker;
    // Set once a condition has counted and its mail has gone out (or waits to be combined); cleared on
    // the first tick its reading is clear of the limit by the configured margin.
    bool bAlarm[AlarmCount];
    // Time of the last datagram from the device, valid or not.
    QDateTime dtLastRcv;
    // The same moment on the monotonic clock (Clock::elapsedMs), which the online window is
    // measured on: a wall clock stepped back or forward neither keeps a silent device online nor
    // takes a live one offline. Below any reading until the first datagram.
    qint64 iLastRcvMsecs = kNever;
    static constexpr qint64 kNever = -(qint64(1) << 62);
    // The online window: offline from the fourth second without a datagram.
    static constexpr qint64 kOnlineMsecs = 4000;
    // Set once the device's network reply has told its real MAC: before that stInfo holds the factory
    // default, which every new device shares.
    bool bMacKnown = false;
    // When (monotonic clock) a network reply last told the device's MAC: a second unit answering from the
    // same address is told apart from one that replaced it.
    qint64 iLastMacMsecs = kNever;
    QTimer timerEmail;
    // The address the device's datagrams come from, set by the registry only (it finds devices by it).
    // It is what identifies the device: a PDU may report a stale configured address, or one translated
    // on the way.
    uint uiSourceIP = 0;
    // The address a downloaded network setting moves the device to, until it answers from there;
    // 0 when no move is under way. Lets the registry keep the device when it answers from there.
    uint uiPendingIP = 0;
    // Until when (monotonic clock) the move may complete: a download the device rejected or reverted
    // must not let a later stranger at that address take the device over.
    qint64 iPendingUntilMsecs = 0;
    static constexpr qint64 kPendingMoveMsecs = 30000;
    // The device's MAC address is known from its own network reply (not the factory default record).
    bool hasKnownMac() const;

signals:
    void signalSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort);
    void signalChangeIP(uint oriIP, uint curIP);
    // After an accepted reply of this command has been decoded into stInfo.
    void signalReplyDecoded(int iCommand);
    // At the start of download(), with what the device reported and what is being sent.
    void signalDownload(const PduInfo& infoBefore, const PduInfo& infoAfter);
    // The device's network reply told a MAC for the first time, or a different one.
    void signalMacKnown();
    // A download set uiPendingIP: the device may answer from there next.
    void signalMovePending();
    // An operator switched an outlet (1-8) from this console.
    void signalOutletSwitch(int iOutlet, bool bOn);

public slots:
    void slotRcvData(QByteArray data);
    void slotEmailTimer();

private:
    QString alarmText(int iCondition) const;
    // Counts one more reply on which each condition holds, or starts again where it does not.
    void countHolds();

    // Consecutive status replies, judged against the device's own limits, on which a condition has
    // held: debounce counts replies as they come, so a reading that alternates faster than the alarm
    // tick is never seen holding by sampling it.
    int m_aiHoldReplies[AlarmCount] = {};
    // Bit n: a reply of command n has been decoded.
    quint32 m_uiReported = 0;
    // A status reply arrived since the last tick judged the readings.
    bool m_bFreshStatus = false;
    // The first judgement took up the alarms that stood before the program was started.
    bool m_bStandingChecked = false;
};
