#pragma once

#include "history/HistoryStore.h"
#include "power/CapacityFigures.h"
#include "ui/frame/BaseDialog.h"

#include <QHash>
#include <QPointer>
#include <QVector>

#include <atomic>
#include <memory>

class CPdu;
class CPowerItem;
class QLabel;
class QPushButton;
class QThread;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// Power and capacity: per group (a circuit) and per PDU, the load now, the budget and the headroom left
// under it, peaks and 95th percentiles over 24 hours and 30 days, and the energy of today, this month and
// last month. Apparent power throughout (VA, kVAh): these PDUs measure volts and amperes, not watts.
// The load follows the devices each second; the figures are read from the history file on a thread of
// their own, so that the window opens at once and fills them in.
class CPowerWindow : public CBaseDialog
{
    Q_OBJECT
public:
    enum Column
    {
        ColumnName,
        ColumnAddress,
        ColumnLoad,
        ColumnAmps,
        ColumnVa,
        ColumnBudget,
        ColumnHeadroom,
        ColumnPeakDay,
        ColumnP95Day,
        ColumnPeakMonth,
        ColumnP95Month,
        ColumnEnergyToday,
        ColumnEnergyMonth,
        ColumnEnergyLastMonth,
        ColumnCount
    };

    // pStore: where the figures and the report are read from; none shows that history is unavailable.
    explicit CPowerWindow(CHistoryStore* pStore, QWidget* parent = nullptr);
    ~CPowerWindow() override;

    void retranslate() override;
    QTreeWidget* tree() const { return m_pTree; }
    // Whether the figures of the latest reading are shown, and how long that reading took.
    bool figuresShown() const { return m_bFiguresShown; }
    qint64 figuresMsecs() const { return m_iFiguresMsecs; }

public slots:
    // The live load of every device and group, and the budgets as set now.
    void slotRefresh();
    // Reads the figures again (on its thread); a reading under way is let finish first.
    void slotReadFigures();

signals:
    void signalFiguresShown();

protected:
    void changeEvent(QEvent* event) override;

private:
    void onFiguresRead();
    void onDoubleClicked(QTreeWidgetItem* pItem);
    CPowerItem* groupRow(const QString& strGroup);
    void showFigures(CPowerItem* pItem, const CapacityFigures::Figures* pFigures);
    void updateStatus();
    QVector<CapacityFigures::Member> members() const;

    QPointer<CHistoryStore> m_pStore;
    QTreeWidget* m_pTree;
    QLabel* m_pLabelStatus;
    QLabel* m_pLabelNotice;
    QPushButton* m_pBtnExport;
    QTimer* m_pTimerRefresh;
    QTimer* m_pTimerFigures;
    QHash<QString, CPowerItem*> m_hashGroups;
    QHash<const CPdu*, CPowerItem*> m_hashPdus;

    QThread* m_pThread = nullptr;
    std::atomic<bool> m_bCancel{false};
    std::shared_ptr<CapacityFigures::Result> m_pResult;
    // Who belonged to which group when the figures shown were read: a move reads them again.
    QVector<CapacityFigures::Member> m_vecMembersRead;
    bool m_bReadAgain = false;
    bool m_bFiguresShown = false;
    qint64 m_iFiguresStarted = 0;
    qint64 m_iFiguresMsecs = 0;
};
