#pragma once

#include <QSystemTrayIcon>

#include <QIcon>
#include <QPointer>
#include <QStringList>

struct ActiveAlarm;
class CAlarmTracker;
class QAction;
class QMenu;
class QTimer;

// The notification-area icon: its context menu brings the main window back or quits the program; a
// double-click shows the main window at once, a single click after a short delay. A badge and the tool
// tip count the unacknowledged alarms; a new alarm shows a balloon message, which opens the main window.
class CSystemTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit CSystemTrayIcon(QObject* parent = nullptr);
    ~CSystemTrayIcon() override;

    virtual void retranslate();
    // The alarms counted and announced are pTracker's (none until one is set).
    void setAlarmTracker(CAlarmTracker* pTracker);

    QMenu* menu() const { return m_pMenu; }

    static constexpr int kSingleClickDelayMsec = 500;
    // An alarm as the balloon lists it, on one line; the balloon shows plain text.
    static QString alarmLine(const ActiveAlarm& alarm);
    // The balloon's text for these new alarms' lines: the first few, and how many more.
    static QString balloonText(const QStringList& listAlarms);

public slots:
    void slotActivated(QSystemTrayIcon::ActivationReason reason);
    void on_ActionShowMainDialog_triggered();
    void on_ActionQuit_triggered();

private slots:
    void slotUpdateBadge();
    void slotAlarmBegan(const ActiveAlarm& alarm);
    void slotShowBalloon();

private:
    QString toolTipText() const;
    int unacknowledgedCount() const;
    QPointer<CAlarmTracker> m_pTracker;
    // Alarms that began since the last balloon; shown together once the current burst is over.
    QStringList m_listNewAlarms;
    // The icon as start-up set it, and the last one this class made from it.
    QIcon m_iconPlain;
    qint64 m_iBadgedKey = 0;
    // Batches the count's changes, which come by the hundred when a row loses its feed.
    QTimer* m_pTimerBadge;

    QAction* m_pActionShowMainDialog;
    QAction* m_pActionQuit;
    QMenu* m_pMenu;
};
