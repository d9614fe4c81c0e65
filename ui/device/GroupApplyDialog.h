#pragma once

#include "device/PduInfo.h"

#include <QDialog>
#include <QPointer>

class CGroupApply;
class COutletControl;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// "Apply to group...": writes the thresholds (and, if chosen, the delays) being edited to every online
// device of a group and shows, device by device, whether its replies confirmed the write.
class CGroupApplyDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column
    {
        ColumnName,
        ColumnAddress,
        ColumnResult,
        ColumnCount
    };
    // pControl: where the write is logged and lives on after the dialog closes; none keeps it here.
    CGroupApplyDialog(QWidget* parent, const PduInfo& values, COutletControl* pControl = nullptr);

private slots:
    void on_BtnApply_clicked();
    void slotEntryChanged(int iIndex);
    void slotFinished();

private:
    PduInfo m_values;
    QPointer<COutletControl> m_pOutletControl;
    // Owned by the outlet operations, so that closing the dialog does not stop a write being logged.
    QPointer<CGroupApply> m_pApply;
    QComboBox* m_pComboGroup = nullptr;
    QCheckBox* m_pCheckThresholds = nullptr;
    QCheckBox* m_pCheckDelays = nullptr;
    QPushButton* m_pBtnApply = nullptr;
    QTableWidget* m_pTableResult = nullptr;
    QLabel* m_pLabelSummary = nullptr;
};
