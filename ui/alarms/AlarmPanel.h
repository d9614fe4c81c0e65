#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

class CAlarmMarks;
class CAlarmTracker;
class CPdu;
class QPushButton;
class QTimer;
class QTreeWidget;

// The active alarms under the device overview: every alarm condition that holds now, the most severe
// and newest first, with its reading, limit, start and acknowledgement. The caption folds the list away.
class CAlarmPanel : public QWidget
{
    Q_OBJECT
public:
    enum Column
    {
        ColumnName,
        ColumnPosition,
        ColumnIPAddress,
        ColumnCondition,
        ColumnValue,
        ColumnLimit,
        ColumnSince,
        ColumnAcknowledged,
        ColumnCount
    };

    explicit CAlarmPanel(QWidget* parent = nullptr);

    // The alarms shown are pTracker's (none until one is set).
    void setAlarmTracker(CAlarmTracker* pTracker);
    void retranslate();
    QTreeWidget* treeWidget() const { return m_pTreeAlarms; }
    // The same alarms by device, for the device rows beside the panel.
    CAlarmMarks* marks() const { return m_pMarks; }
    // The name of an alarm condition (CPdu::Alarm) in the current language.
    static QString conditionName(int iCondition);

signals:
    // A row was double-clicked: its device should become the current one.
    void signalPduActivated(CPdu* pPdu);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void slotRefresh();
    void on_BtnHeader_clicked();
    void on_BtnAcknowledge_clicked();
    void on_BtnAcknowledgeAll_clicked();

private:
    QPointer<CAlarmTracker> m_pTracker;
    CAlarmMarks* m_pMarks;
    QPushButton* m_pBtnHeader;
    QWidget* m_pBody;
    QTreeWidget* m_pTreeAlarms;
    QPushButton* m_pBtnAcknowledge;
    QPushButton* m_pBtnAcknowledgeAll;
    QTimer* m_pTimer;
    // Batches the list's changes: a row losing its feed changes it hundreds of times in a second.
    QTimer* m_pTimerSoon;
    QIcon m_iconOverload{QStringLiteral(":/OverviewWidget/OverviewWidget/Warning.png")};
};
