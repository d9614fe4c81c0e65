#include "app/AppShell.h"
#include "device/AlarmTracker.h"
#include "device/MetaTypes.h"
#include "device/Rackmind.h"
#include "room/Room.h"
#include "tools/common/SimUnit.h"
#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimThread.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

namespace {

// The whole screen, as the operator sees it, named with the screen's size.
bool saveScreen(CShot& shot, const char* pszSubject)
{
    settle(600);
    QScreen* pScreen = QGuiApplication::primaryScreen();
    const QSize size = pScreen->size();
    return shot.save(
        pScreen->grabWindow(0),
        QStringLiteral("first-%1-%2x%3").arg(QLatin1String(pszSubject)).arg(size.width()).arg(size.height()));
}

QWidget* modalNamed(const char* pszName)
{
    QWidget* pModal = QApplication::activeModalWidget();
    return pModal && pModal->objectName() == QLatin1String(pszName) && pModal->isVisible() ? pModal : nullptr;
}

// Runs act on the dialog once the program shows it modally (its own loop is running then), or reports
// its absence after 10 s.
void whenShown(const char* pszName, bool& bOk, const std::function<void(QWidget*)>& act)
{
    auto* pTimer = new QTimer(qApp);
    auto* pLeft = new int(200);
    QObject::connect(pTimer, &QTimer::timeout, [=, &bOk] {
        QWidget* pDialog = modalNamed(pszName);
        if (!pDialog && --*pLeft > 0)
            return;
        pTimer->deleteLater();
        delete pLeft;
        if (pDialog) {
            act(pDialog);
        } else {
            bOk = fail(QStringLiteral("no %1").arg(QLatin1String(pszName)));
            if (QWidget* pModal = QApplication::activeModalWidget())
                pModal->close();
        }
    });
    pTimer->start(50);
}

// The screen has no window manager: a maximised window is given the screen's available area as a
// manager would give it.
void placeAsManagerWould(QWidget* pWindow)
{
    if (pWindow->isMaximized() && pWindow->geometry() != pWindow->screen()->availableGeometry()) {
        pWindow->setGeometry(pWindow->screen()->availableGeometry());
        pWindow->showMaximized();
    }
}

// Two PDUs past a limit, the second one acknowledged; the first one's row under the pointer, its
// tooltip shown as a hover shows it.
bool shootAlarm(CShot& shot, CSimThread& sim)
{
    // One after the other, so that the panel's order (newest first) is the same in every picture.
    CAlarmTracker* pTracker = consoleRoom()->alarmTracker();
    sim.command(QStringLiteral("set 11 temperature 55"));
    if (!waitFor([&] { return pTracker->activeAlarms().size() == 1; }, 30000))
        return fail(QStringLiteral("the first PDU did not come into alarm"));
    pTracker->acknowledge(pTracker->activeAlarms().constFirst().uiId);
    sim.command(QStringLiteral("set 4 voltage 252"));
    if (!waitFor([&] { return pTracker->activeAlarms().size() == 2; }, 30000))
        return fail(QStringLiteral("the second PDU did not come into alarm"));

    CDeviceOverviewWidget* pPage = g_pMainDialog->deviceOverviewWidget();
    QTreeWidgetItem* pRow = pPage->rowOf(pduOfUnit(*g_pRackmind, sim, 4));
    if (!pRow)
        return fail(QStringLiteral("the PDU in alarm has no row"));
    QTreeWidget* pTree = pPage->treeWidget();
    pTree->scrollToItem(pRow);
    settle(1200);
    for (int iColumn = 0; iColumn < CDeviceOverviewWidget::ColumnCount; ++iColumn) {
        if (pRow->toolTip(iColumn).isEmpty())
            continue;
        const QRect rectCell = pTree->visualItemRect(pRow);
        const QPoint ptCell(pTree->header()->sectionViewportPosition(iColumn) + 8, rectCell.center().y());
        const QPoint ptGlobal = pTree->viewport()->mapToGlobal(ptCell);
        QCursor::setPos(ptGlobal);
        settle(300);
        QToolTip::showText(ptGlobal, pRow->toolTip(iColumn), pTree);
        break;
    }
    return saveScreen(shot, "alarm");
}

} // namespace

bool shootFirstRun(CShot& shot)
{
    // Pictures of a desk show only the fonts its packages bring: the families the caller allows.
    const QString strAllowed = qEnvironmentVariable("RACKMIND_SHOTS_FAMILIES");
    if (!strAllowed.isEmpty()) {
        const QStringList listAllowed = strAllowed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList listStrangers;
        for (const QString& strFamily : QFontDatabase().families())
            if (!listAllowed.contains(strFamily))
                listStrangers << strFamily;
        if (!listStrangers.isEmpty())
            return fail(QStringLiteral("fonts the packages do not bring: %1")
                            .arg(listStrangers.join(QStringLiteral(", "))));
    }

    // The pointer rests in a corner, so that no row is lit by a hover unless a picture wants it.
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());

    CSimThread sim;
    if (!startDemoRack(sim, QString()))
        return false;

    // The language dialog as the program shows it on a fresh settings store, its list open at the shot's
    // language.
    bool bOk = true;
    whenShown("LanguageSelectDialog", bOk, [&](QWidget* pDialog) {
        auto* pCombo = pDialog->findChild<QComboBox*>(QStringLiteral("ComboLanguage"));
        pCombo->setCurrentIndex(shot.language() - 1);
        pCombo->showPopup();
        bOk = saveScreen(shot, "language") && bOk;
        pCombo->hidePopup();
        pDialog->findChild<QAbstractButton*>(QStringLiteral("BtnOk"))->click();
    });
    if (!prepareLanguage() || !bOk)
        return fail(QStringLiteral("the language dialog was not accepted"));

    registerDeviceMetaTypes();
    createLongLivedWindows();
    whenShown("LoginDialog", bOk, [&](QWidget* pDialog) {
        bOk = saveScreen(shot, "login") && bOk;
        pDialog->findChild<QComboBox*>(QStringLiteral("ComboAccount"))->setEditText(QStringLiteral("pavok"));
        pDialog->findChild<QLineEdit*>(QStringLiteral("EditPassword"))->setText(QStringLiteral("pavok"));
        pDialog->findChild<QAbstractButton*>(QStringLiteral("BtnLogin"))->click();
    });
    if (!runLogin() || !bOk)
        return fail(QStringLiteral("the login failed"));

    // The main window as the program opens it, then maximised from its title bar, then in alarm.
    QTimer::singleShot(0, [&] {
        if (!waitFor([] { return g_pRackmind->onlineCount() == CSimControl::kDemoRackSize; }, 15000)) {
            bOk = fail(QStringLiteral("the demo rack did not answer"));
        } else {
            placeAsManagerWould(g_pMainDialog);
            bOk = saveScreen(shot, "main") && bOk;
            if (!g_pMainDialog->isMaximized())
                g_pMainDialog->findChild<QAbstractButton*>(QStringLiteral("BtnMax"))->click();
            placeAsManagerWould(g_pMainDialog);
            bOk = saveScreen(shot, "maximised") && bOk;
            bOk = shootAlarm(shot, sim) && bOk;
        }
        QApplication::quit();
    });
    runMainWindow();
    return bOk;
}
