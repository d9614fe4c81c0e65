#pragma once

#include <QWidget>

class CGroupBudgetWidget;
class CPdu;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

// Moves devices between the default group (left) and the group chosen in the combo box (right).
// The tables hold copies of the texts; a row finds its device again by the address in column 0.
class CDivideGroupWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CDivideGroupWidget(QWidget* parent = nullptr);
    CGroupBudgetWidget* budgetWidget() const { return m_pBudgetWidget; }

    void retranslate();

signals:
    void signalDeviceGroupChanged(CPdu* pdu);

private slots:
    void on_BtnPutToGroup_clicked();
    void on_BtnTakeFromGroup_clicked();
    void on_BtnAddGroup_clicked();
    void on_ComboGroupName_currentIndexChanged(int iIndex);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void moveRow(QTableWidget* pFrom, QTableWidget* pTo, const QString& strGroup);

    QLabel* m_pLabelWaitDivide;
    QTableWidget* m_pTableWaitDivide;
    QVBoxLayout* m_pLayoutWaitDivide;
    QLabel* m_pLabelGroup;
    QComboBox* m_pComboGroupName;
    QPushButton* m_pBtnAddGroup;
    QTableWidget* m_pTableDivided;
    QGridLayout* m_pLayoutRight;
    QPushButton* m_pBtnPutToGroup;
    QPushButton* m_pBtnTakeFromGroup;
    QVBoxLayout* m_pLayoutCenter;
    QHBoxLayout* m_pLayoutBase;
    CGroupBudgetWidget* m_pBudgetWidget;
};
