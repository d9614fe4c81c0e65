#pragma once

#include <QSystemTrayIcon>

class QAction;
class QMenu;

// The notification-area icon: its context menu brings the main window back or quits the program; a
// double-click shows the main window at once, a single click after a short delay.
class CSystemTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit CSystemTrayIcon(QObject* parent = nullptr);
    ~CSystemTrayIcon() override;

    virtual void retranslate();

    QMenu* menu() const { return m_pMenu; }

    static constexpr int kSingleClickDelayMsec = 500;

public slots:
    void slotActivated(QSystemTrayIcon::ActivationReason reason);
    void on_ActionShowMainDialog_triggered();
    void on_ActionQuit_triggered();

private:
    QAction* m_pActionShowMainDialog;
    QAction* m_pActionQuit;
    QMenu* m_pMenu;
};
