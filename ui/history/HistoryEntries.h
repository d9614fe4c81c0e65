#pragma once

#include <QObject>

class CMainDialog;
class QAction;
class QPoint;
class QTreeWidgetItem;

// Where the history and events windows open from: the title bar's menu ("Events"), a double-click on
// an overview row and the row's context menu ("History").
class CHistoryEntries : public QObject
{
    Q_OBJECT
public:
    explicit CHistoryEntries(CMainDialog* pMain);
    void retranslate();

public slots:
    void slotOpenEvents();
    void slotOpenHistory(QTreeWidgetItem* pItem);

private:
    void showContextMenu(const QPoint& pt);

    CMainDialog* m_pMain;
    QAction* m_pActionEvents;
};
