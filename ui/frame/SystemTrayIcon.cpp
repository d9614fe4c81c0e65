#include "ui/frame/SystemTrayIcon.h"

#include "common/DeviceText.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "settings/AlarmSettings.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QTimer>

#include <utility>

CSystemTrayIcon::CSystemTrayIcon(QObject* parent) : QSystemTrayIcon(parent)
{
    m_pActionShowMainDialog = new QAction(
        QIcon(QStringLiteral(":/Application/Application/ApplicationPng.png")), tr("ShowMainDialog"), this);
    m_pActionShowMainDialog->setObjectName(QStringLiteral("ActionShowMainDialog"));
    m_pActionQuit = new QAction(tr("Quit"), this);
    m_pActionQuit->setObjectName(QStringLiteral("ActionQuit"));
    // The menu has no widget parent (the icon is no widget); the destructor deletes it.
    m_pMenu = new QMenu;
    m_pMenu->setObjectName(QStringLiteral("TrayMenu"));
    m_pMenu->setFixedWidth(200);
    m_pMenu->addAction(m_pActionShowMainDialog);
    m_pMenu->addSeparator();
    m_pMenu->addAction(m_pActionQuit);
    setContextMenu(m_pMenu);

    connect(m_pActionShowMainDialog, &QAction::triggered, this,
            &CSystemTrayIcon::on_ActionShowMainDialog_triggered);
    connect(m_pActionQuit, &QAction::triggered, this, &CSystemTrayIcon::on_ActionQuit_triggered);
    connect(this, &QSystemTrayIcon::activated, this, &CSystemTrayIcon::slotActivated);
    connect(this, &QSystemTrayIcon::messageClicked, this,
            &CSystemTrayIcon::on_ActionShowMainDialog_triggered);
    m_pTimerBadge = new QTimer(this);
    m_pTimerBadge->setSingleShot(true);
    m_pTimerBadge->setInterval(200);
    connect(m_pTimerBadge, &QTimer::timeout, this, &CSystemTrayIcon::slotUpdateBadge);
}

void CSystemTrayIcon::setAlarmTracker(CAlarmTracker* pTracker)
{
    if (m_pTracker)
        disconnect(m_pTracker, nullptr, this, nullptr);
    m_pTracker = pTracker;
    if (!pTracker)
        return;
    connect(pTracker, &CAlarmTracker::signalAlarmsChanged, this, [this] {
        if (!m_pTimerBadge->isActive())
            m_pTimerBadge->start();
    });
    connect(pTracker, &CAlarmTracker::signalAlarmBegan, this, &CSystemTrayIcon::slotAlarmBegan);
}

int CSystemTrayIcon::unacknowledgedCount() const
{
    return m_pTracker ? m_pTracker->unacknowledgedCount() : 0;
}

CSystemTrayIcon::~CSystemTrayIcon()
{
    hide();
    setContextMenu(nullptr);
    delete m_pActionShowMainDialog;
    delete m_pActionQuit;
    delete m_pMenu;
}

void CSystemTrayIcon::retranslate()
{
    setToolTip(toolTipText());
    m_pActionShowMainDialog->setText(tr("ShowMainDialog"));
    m_pActionQuit->setText(tr("Quit"));
}

void CSystemTrayIcon::slotActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        on_ActionShowMainDialog_triggered();
    else if (reason == QSystemTrayIcon::Trigger)
        QTimer::singleShot(kSingleClickDelayMsec, this, &CSystemTrayIcon::on_ActionShowMainDialog_triggered);
}

void CSystemTrayIcon::on_ActionShowMainDialog_triggered()
{
    // Until the login is accepted the main window stays shut: the login comes up instead.
    const bool bLoggedIn = !g_pLoginDialog || g_pLoginDialog->result() == QDialog::Accepted;
    if (g_pMainDialog && bLoggedIn) {
        g_pMainDialog->showNormal();
        g_pMainDialog->raise();
    } else if (g_pLoginDialog) {
        g_pLoginDialog->setWindowModality(Qt::ApplicationModal);
        g_pLoginDialog->show();
        g_pLoginDialog->raise();
    }
}

void CSystemTrayIcon::on_ActionQuit_triggered()
{
    QApplication::quit();
}

QString CSystemTrayIcon::toolTipText() const
{
    const int iCount = unacknowledgedCount();
    return iCount == 0 ? tr("Rackmind")
                       : tr("Rackmind") + QLatin1Char('\n') + tr("Unacknowledged alarms: %1").arg(iCount);
}

void CSystemTrayIcon::slotUpdateBadge()
{
    setToolTip(toolTipText());
    // Start-up may have set another icon since the last badge: that one is the plain icon now.
    if (m_iconPlain.isNull() || icon().cacheKey() != m_iBadgedKey)
        m_iconPlain = icon();
    const int iCount = unacknowledgedCount();
    if (iCount == 0 || m_iconPlain.isNull()) {
        setIcon(m_iconPlain);
    } else {
        QPixmap pixmap = m_iconPlain.pixmap(64, 64);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect rectBadge(pixmap.width() - 40, pixmap.height() - 40, 40, 40);
        painter.setPen(QPen(Qt::white, 3));
        painter.setBrush(QColor(220, 40, 40));
        painter.drawEllipse(rectBadge.adjusted(2, 2, -2, -2));
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(iCount > 99 ? 14 : 22);
        painter.setFont(font);
        painter.drawText(rectBadge, Qt::AlignCenter,
                         iCount > 99 ? QStringLiteral("99+") : QString::number(iCount));
        painter.end();
        setIcon(QIcon(pixmap));
    }
    m_iBadgedKey = icon().cacheKey();
}

void CSystemTrayIcon::slotAlarmBegan(const ActiveAlarm& alarm)
{
    // The balloon only informs; mails do not depend on it. One acknowledged before a restart is not news.
    if (!g_alarmSettings.trayBalloon || (!alarm.pPdu && !alarm.isGroupAlarm()) || alarm.bAcknowledged)
        return;
    m_listNewAlarms << alarmLine(alarm);
    // A burst of alarms (a whole row losing its feed) makes one balloon, not one each.
    if (m_listNewAlarms.size() == 1)
        QTimer::singleShot(0, this, &CSystemTrayIcon::slotShowBalloon);
}

QString CSystemTrayIcon::alarmLine(const ActiveAlarm& alarm)
{
    const CPdu* pPdu = alarm.pPdu;
    if (!pPdu)
        return QStringLiteral("%1: %2 %3")
            .arg(labelText(alarm.strGroup), CAlarmPanel::conditionName(alarm.iCondition), alarm.strValue);
    // One line per alarm: a line break in a unit's name would make up alarms of its own.
    return QStringLiteral("%1 (%2, %3): %4 %5")
        .arg(labelText(deviceText(pPdu->stInfo.name)), labelText(deviceText(pPdu->stInfo.position)),
             ipv4ToString(pPdu->stInfo.ip), CAlarmPanel::conditionName(alarm.iCondition),
             pPdu->alarmValue(alarm.iCondition));
}

void CSystemTrayIcon::slotShowBalloon()
{
    const QStringList listAlarms = std::exchange(m_listNewAlarms, {});
    if (listAlarms.isEmpty())
        return;
    showMessage(listAlarms.size() == 1 ? tr("New alarm") : tr("New alarms: %1").arg(listAlarms.size()),
                balloonText(listAlarms), QSystemTrayIcon::Warning);
}

QString CSystemTrayIcon::balloonText(const QStringList& listAlarms)
{
    constexpr int kShown = 5;
    QString strText = listAlarms.mid(0, kShown).join(QLatin1Char('\n'));
    if (listAlarms.size() > kShown)
        strText += QLatin1Char('\n') + tr("and %1 more").arg(listAlarms.size() - kShown);
    // A notification service, or the label showing the balloon, reads text that looks like markup as
    // markup: a unit's name could hide the other alarms or show what it never held. An invisible joiner
    // after each '<' and '&' leaves no tag or entity to read, in plain text and in markup alike.
    strText.replace(QLatin1Char('<'), QStringLiteral("<\u2060"));
    strText.replace(QLatin1Char('&'), QStringLiteral("&\u2060"));
    return strText;
}
