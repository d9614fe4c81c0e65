#pragma once

#include <QObject>
#include <QPointer>

class CHistoryStore;
class CMainDialog;
class CPowerWindow;
class QAction;

// Where the capacity window opens from: the title bar's menu. One window at a time; asking again
// brings the open one forward.
class CPowerEntries : public QObject
{
    Q_OBJECT
public:
    explicit CPowerEntries(CMainDialog* pMain);
    void retranslate();
    // The store the window reads; until set it shows that history is unavailable.
    void setHistoryStore(CHistoryStore* pStore);

public slots:
    void slotOpenPower();

private:
    QAction* m_pActionPower;
    QPointer<CPowerWindow> m_pWindow;
    QPointer<CHistoryStore> m_pStore;
};
