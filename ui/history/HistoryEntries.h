#pragma once

#include <QObject>
#include <QPointer>

class CHistoryStore;
class CMainDialog;
class CPdu;
class QAction;
class QMenu;
class QTreeWidgetItem;

// Where the history and events windows open from: the title bar's menu ("Events"), a double-click on
// an overview row and the row's context menu ("History").
class CHistoryEntries : public QObject
{
    Q_OBJECT
public:
    explicit CHistoryEntries(CMainDialog* pMain);
    void retranslate();
    // The store the windows read; until set they show that history is unavailable.
    void setHistoryStore(CHistoryStore* pStore);

public slots:
    void slotOpenEvents();
    void slotOpenHistory(QTreeWidgetItem* pItem);

private:
    void openHistory(CPdu* pPdu);
    void addToRowMenu(QMenu* pMenu, CPdu* pPdu);

    CMainDialog* m_pMain;
    QAction* m_pActionEvents;
    QPointer<CHistoryStore> m_pStore;
};
