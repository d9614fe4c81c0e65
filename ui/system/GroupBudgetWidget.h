#pragma once

#include <QPointer>
#include <QWidget>

class CHistoryStore;
class QLabel;
class QLineEdit;
class QPushButton;

// The budget of the group chosen on the group page: the rating of the breaker that feeds it and the
// derating continuous load is held to. A value the settings refuse is not applied; the reason is shown.
class CGroupBudgetWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CGroupBudgetWidget(QWidget* parent = nullptr);

    void setGroup(const QString& strGroup);
    // Where a budget set here is also kept for the monthly report; none keeps it in the settings only.
    void setHistoryStore(CHistoryStore* pStore);
    void retranslate();

private slots:
    void on_BtnApplyBudget_clicked();
    void on_BtnClearBudget_clicked();

private:
    // Shows the group's budget as kept, or why there is none.
    void showKept();
    void keep(double dBreakerAmps, double dDerating);

    QString m_strGroup;
    QPointer<CHistoryStore> m_pStore;
    QLabel* m_pLabelBreaker;
    QLineEdit* m_pEditBreakerAmps;
    QLabel* m_pLabelDerating;
    QLineEdit* m_pEditDeratingPercent;
    QPushButton* m_pBtnApplyBudget;
    QPushButton* m_pBtnClearBudget;
    QLabel* m_pLabelBudgetMessage;
};
