#pragma once

#include "ui/frame/BaseDialog.h"

struct WindowSettings;
class CDeviceConfigWidget;
class CDeviceOverviewWidget;
class CGroupConfigWidget;
class CHistoryEntries;
class CHistoryStore;
class CPowerEntries;
class CMainTab;
class COutletControl;
class CSystemConfigWidget;
class QAction;
class QMenu;
class QStackedWidget;

// The main window: the title bar and a row of four large tab buttons over a stack of the four pages
// (device overview, device configuration, groups, system settings). The title bar's menu button opens
// the language and account dialogs.
class CMainDialog : public CBaseDialog
{
    Q_OBJECT

public:
    explicit CMainDialog(QWidget* parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    void retranslate() override;

    CMainTab* mainTab() const { return m_pMainTab; }
    QStackedWidget* stack() const { return m_pStack; }
    QMenu* menu() const { return m_pMenu; }
    CDeviceOverviewWidget* deviceOverviewWidget() const { return m_pDeviceOverviewWidget; }
    CDeviceConfigWidget* deviceConfigWidget() const { return m_pDeviceConfigWidget; }
    CGroupConfigWidget* groupConfigWidget() const { return m_pGroupConfigWidget; }
    CSystemConfigWidget* systemConfigWidget() const { return m_pSystemConfigWidget; }
    // The store the history, events and capacity windows read and the groups' budgets are kept in.
    void setHistoryStore(CHistoryStore* pStore);
    // The room's outlet control, for the overview's and the configuration page's outlet operations.
    void setOutletControl(COutletControl* pControl);

    // Shows the window where it was left when that is on a screen there is now, otherwise at a size that
    // shows every overview column (maximised on a screen too small for them), with the remembered
    // columns.
    void showPlaced(const WindowSettings& settings);
    // The window's place and state and the overview's columns, to be remembered.
    WindowSettings placement() const;
    // The size that shows every column of the overview.
    QSize neededSize() const;

public slots:
    void on_ActionSelectLanguage_triggered();
    void on_ActionModifyAccount_triggered();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CMainTab* m_pMainTab;
    // The pages have no parent until the stack takes them; the stack owns them from then on.
    CDeviceOverviewWidget* m_pDeviceOverviewWidget;
    CDeviceConfigWidget* m_pDeviceConfigWidget;
    CGroupConfigWidget* m_pGroupConfigWidget;
    CSystemConfigWidget* m_pSystemConfigWidget;
    QStackedWidget* m_pStack;
    QAction* m_pActionSelectLanguage;
    QAction* m_pActionModifyAccount;
    QMenu* m_pMenu;
    CHistoryEntries* m_pHistoryEntries;
    CPowerEntries* m_pPowerEntries;
};
