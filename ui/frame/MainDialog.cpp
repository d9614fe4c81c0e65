#include "ui/frame/MainDialog.h"

#include "device/Pdu.h"
#include "settings/WindowSettings.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/LanguageSelectDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/ModifyAccountDialog.h"
#include "ui/frame/TitleBar.h"
#include "ui/frame/WindowPlacement.h"
#include "ui/history/HistoryEntries.h"
#include "ui/power/PowerEntries.h"
#include "ui/system/DivideGroupWidget.h"
#include "ui/system/GroupBudgetWidget.h"
#include "ui/system/GroupConfigWidget.h"
#include "ui/system/SystemConfigWidget.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

CMainDialog::CMainDialog(QWidget* parent, Qt::WindowFlags f) : CBaseDialog(parent, f)
{
    m_pMainTab = new CMainTab;
    m_pMainTab->setObjectName(QStringLiteral("MainTab"));
    static const char* const kIcons[] = {
        ":/MainTab/MainTab/DeviceOverview.png", ":/MainTab/MainTab/DeviceConfig.png",
        ":/MainTab/MainTab/GroupConfig.png", ":/MainTab/MainTab/SystemConfig.png"};
    for (int i = 0; i < 4; ++i)
        m_pMainTab->buttons[i]->setIcon(QIcon(QString::fromLatin1(kIcons[i])));
    // Nothing to configure until a device row is current on the overview page.
    m_pMainTab->buttons[1]->setEnabled(false);
    m_pBaseLayout->addLayout(m_pMainTab);

    m_pDeviceOverviewWidget = new CDeviceOverviewWidget(nullptr);
    m_pDeviceOverviewWidget->setObjectName(QStringLiteral("DeviceOverviewWidget"));
    m_pDeviceConfigWidget = new CDeviceConfigWidget(nullptr);
    m_pDeviceConfigWidget->setObjectName(QStringLiteral("DeviceConfigWidget"));
    m_pGroupConfigWidget = new CGroupConfigWidget(nullptr);
    m_pGroupConfigWidget->setObjectName(QStringLiteral("GroupConfigWidget"));
    m_pSystemConfigWidget = new CSystemConfigWidget(nullptr);
    m_pSystemConfigWidget->setObjectName(QStringLiteral("CSystemConfigWidget"));
    connect(m_pDeviceOverviewWidget->treeWidget(), &QTreeWidget::currentItemChanged, m_pDeviceConfigWidget,
            &CDeviceConfigWidget::slotCurrentPduChanged);
    connect(m_pGroupConfigWidget->divideGroupWidget(), &CDivideGroupWidget::signalDeviceGroupChanged,
            m_pDeviceOverviewWidget, &CDeviceOverviewWidget::slotDeviceGroupChanged);
    connect(m_pDeviceOverviewWidget, &CDeviceOverviewWidget::signalConfigTabEnabled, m_pMainTab->buttons[1],
            &CMainTabBtn::setEnabled);

    m_pStack = new QStackedWidget;
    m_pStack->setObjectName(QStringLiteral("MainStack"));
    m_pStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pStack->addWidget(m_pDeviceOverviewWidget);
    m_pStack->addWidget(m_pDeviceConfigWidget);
    m_pStack->addWidget(m_pGroupConfigWidget);
    m_pStack->addWidget(m_pSystemConfigWidget);

    m_pActionSelectLanguage = new QAction(tr("ChangeLanguage"), this);
    m_pActionSelectLanguage->setObjectName(QStringLiteral("ActionSelectLanguage"));
    m_pActionModifyAccount = new QAction(tr("ModifyAccount"), this);
    m_pActionModifyAccount->setObjectName(QStringLiteral("ActionModifyAccount"));
    m_pMenu = new QMenu(this);
    m_pMenu->setObjectName(QStringLiteral("MenuMain"));
    m_pMenu->addAction(m_pActionSelectLanguage);
    m_pMenu->addAction(m_pActionModifyAccount);
    m_pTitleBar->menuButton()->setMenu(m_pMenu);
    m_pHistoryEntries = new CHistoryEntries(this);
    m_pPowerEntries = new CPowerEntries(this);

    connect(m_pMainTab, &CMainTab::signalTabSelChanged, m_pStack, &QStackedWidget::setCurrentIndex);
    m_pBaseLayout->addWidget(m_pStack);
    connect(m_pActionSelectLanguage, &QAction::triggered, this,
            &CMainDialog::on_ActionSelectLanguage_triggered);
    connect(m_pActionModifyAccount, &QAction::triggered, this,
            &CMainDialog::on_ActionModifyAccount_triggered);
}

void CMainDialog::setHistoryStore(CHistoryStore* pStore)
{
    m_pHistoryEntries->setHistoryStore(pStore);
    m_pPowerEntries->setHistoryStore(pStore);
    m_pGroupConfigWidget->divideGroupWidget()->budgetWidget()->setHistoryStore(pStore);
}

void CMainDialog::setOutletControl(COutletControl* pControl)
{
    m_pDeviceOverviewWidget->setOutletControl(pControl);
    m_pDeviceConfigWidget->setOutletControl(pControl);
    m_pSystemConfigWidget->setOutletControl(pControl);
}

QSize CMainDialog::neededSize() const
{
    const QMargins margins = m_pBaseLayout->contentsMargins();
    return QSize(
        std::max(minimumWidth(), m_pDeviceOverviewWidget->neededWidth() + margins.left() + margins.right()),
        minimumHeight());
}

void CMainDialog::showPlaced(const WindowSettings& settings)
{
    m_pDeviceOverviewWidget->restoreColumns(settings);
    QRect rect = WindowPlacement::restoredRect(settings.rectMain, WindowPlacement::availableAreas());
    bool bMaximized = settings.bMainMaximized;
    if (!rect.isValid()) {
        const WindowPlacement::Placement first =
            WindowPlacement::firstPlacement(WindowPlacement::availableAreaOf(nullptr), neededSize());
        // Maximised, the window first takes the whole area itself: a desk without a window manager
        // would leave it at its normal size.
        rect = first.rect;
        bMaximized = first.bMaximized;
    }
    setGeometry(rect);
    layout()->activate();
    m_pDeviceOverviewWidget->fitTreeToColumns();
    if (bMaximized)
        showMaximized();
    else
        show();
}

WindowSettings CMainDialog::placement() const
{
    WindowSettings settings;
    settings.bMainMaximized = isMaximized();
    settings.rectMain = settings.bMainMaximized && normalGeometry().isValid() ? normalGeometry() : geometry();
    m_pDeviceOverviewWidget->storeColumns(settings);
    return settings;
}

void CMainDialog::retranslate()
{
    CBaseDialog::retranslate();
    m_pDeviceOverviewWidget->retranslate();
    m_pDeviceConfigWidget->retranslate();
    m_pGroupConfigWidget->retranslate();
    m_pSystemConfigWidget->retranslate();
    m_pActionSelectLanguage->setText(tr("ChangeLanguage"));
    m_pActionModifyAccount->setText(tr("ModifyAccount"));
    m_pHistoryEntries->retranslate();
    m_pPowerEntries->retranslate();
    m_pMainTab->buttons[0]->setText(tr("DeviceOverview"));
    m_pMainTab->buttons[1]->setText(tr("DeviceConfig"));
    m_pMainTab->buttons[2]->setText(tr("GroupConfig"));
    m_pMainTab->buttons[3]->setText(tr("SystemConfig"));
    m_pMainTab->fitButtonsToTexts();
}

void CMainDialog::on_ActionSelectLanguage_triggered()
{
    runLanguageSelection();
    retranslateApplication();
}

void CMainDialog::on_ActionModifyAccount_triggered()
{
    CModifyAccountDialog dialog;
    dialog.setObjectName(QStringLiteral("ModifyAccountDialog"));
    dialog.titleBar()->setTitle(tr("ModifyAccount"));
    dialog.setFixedSize(600, 400);
    dialog.exec();
}

void CMainDialog::keyPressEvent(QKeyEvent* event)
{
    // The main window closes only through its close button or the tray menu.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    CBaseDialog::keyPressEvent(event);
}

void CMainDialog::paintEvent(QPaintEvent*)
{
    paintFrame(m_pTitleBar->titleHeight() + m_pMainTab->tabHeight());
}

void CMainDialog::showEvent(QShowEvent* event)
{
    CBaseDialog::showEvent(event);
    m_pMainTab->setTabCount(4);
}
