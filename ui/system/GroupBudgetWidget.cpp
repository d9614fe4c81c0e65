#include "ui/system/GroupBudgetWidget.h"

#include "history/HistoryStore.h"
#include "settings/GroupSettings.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace {
const QString kDefaultGroup = QStringLiteral("Default");

// A number as typed, in the user's way of writing it or in C's; NaN when it is none.
double typedNumber(const QString& strText)
{
    bool bOk = false;
    double dValue = QLocale().toDouble(strText.trimmed(), &bOk);
    if (!bOk)
        dValue = QLocale::c().toDouble(strText.trimmed(), &bOk);
    return bOk ? dValue : qQNaN();
}

QString numberText(double dValue)
{
    return QLocale().toString(dValue, 'g', 6);
}
} // namespace

CGroupBudgetWidget::CGroupBudgetWidget(QWidget* parent)
    : QWidget(parent), m_pLabelBreaker(new QLabel(this)), m_pEditBreakerAmps(new QLineEdit(this)),
      m_pLabelDerating(new QLabel(this)), m_pEditDeratingPercent(new QLineEdit(this)),
      m_pBtnApplyBudget(new QPushButton(this)), m_pBtnClearBudget(new QPushButton(this)),
      m_pLabelBudgetMessage(new QLabel(this))
{
    m_pLabelBreaker->setObjectName(QStringLiteral("LabelBreaker"));
    m_pEditBreakerAmps->setObjectName(QStringLiteral("EditBreakerAmps"));
    m_pLabelDerating->setObjectName(QStringLiteral("LabelDerating"));
    m_pEditDeratingPercent->setObjectName(QStringLiteral("EditDeratingPercent"));
    m_pBtnApplyBudget->setObjectName(QStringLiteral("BtnApplyBudget"));
    m_pBtnClearBudget->setObjectName(QStringLiteral("BtnClearBudget"));
    m_pLabelBudgetMessage->setObjectName(QStringLiteral("LabelBudgetMessage"));
    m_pLabelBudgetMessage->setWordWrap(true);

    auto* pLayout = new QGridLayout(this);
    pLayout->setContentsMargins(0, 4, 0, 0);
    pLayout->setSpacing(4);
    pLayout->addWidget(m_pLabelBreaker, 0, 0);
    pLayout->addWidget(m_pEditBreakerAmps, 0, 1);
    pLayout->addWidget(m_pBtnApplyBudget, 0, 2);
    pLayout->addWidget(m_pLabelDerating, 1, 0);
    pLayout->addWidget(m_pEditDeratingPercent, 1, 1);
    pLayout->addWidget(m_pBtnClearBudget, 1, 2);
    pLayout->addWidget(m_pLabelBudgetMessage, 2, 0, 1, 3);

    retranslate();
    setGroup(QString());
    QMetaObject::connectSlotsByName(this);
}

void CGroupBudgetWidget::retranslate()
{
    m_pLabelBreaker->setText(tr("Breaker (A)"));
    m_pLabelDerating->setText(tr("Derating (%)"));
    m_pBtnApplyBudget->setText(tr("Apply budget"));
    m_pBtnClearBudget->setText(tr("Clear budget"));
    showKept();
}

void CGroupBudgetWidget::setHistoryStore(CHistoryStore* pStore)
{
    m_pStore = pStore;
}

void CGroupBudgetWidget::setGroup(const QString& strGroup)
{
    m_strGroup = strGroup;
    const bool bCanHave = !strGroup.isEmpty() && strGroup != kDefaultGroup;
    for (QWidget* pWidget :
         {static_cast<QWidget*>(m_pEditBreakerAmps), static_cast<QWidget*>(m_pEditDeratingPercent),
          static_cast<QWidget*>(m_pBtnApplyBudget), static_cast<QWidget*>(m_pBtnClearBudget)})
        pWidget->setEnabled(bCanHave);
    const GroupBudget budget = groupBudget(strGroup);
    m_pEditBreakerAmps->setText(budget.isSet() ? numberText(budget.dBreakerAmps) : QString());
    m_pEditDeratingPercent->setText(numberText(budget.dDerating * 100));
    showKept();
}

void CGroupBudgetWidget::showKept()
{
    if (m_strGroup.isEmpty() || m_strGroup == kDefaultGroup) {
        m_pLabelBudgetMessage->setText(m_strGroup.isEmpty() ? QString()
                                                            : tr("The Default group has no budget."));
        return;
    }
    const GroupBudget budget = groupBudget(m_strGroup);
    m_pLabelBudgetMessage->setText(budget.isSet() ? tr("Budget: %1 A (%2 % of a %3 A breaker)")
                                                        .arg(numberText(budget.budgetAmps()),
                                                             numberText(budget.dDerating * 100),
                                                             numberText(budget.dBreakerAmps))
                                                  : tr("No budget: the group's load raises no alarm."));
}

void CGroupBudgetWidget::on_BtnApplyBudget_clicked()
{
    const double dBreaker = typedNumber(m_pEditBreakerAmps->text());
    const double dDerating = typedNumber(m_pEditDeratingPercent->text()) / 100;
    const QString strError = groupBudgetError(dBreaker, dDerating);
    if (!strError.isEmpty()) {
        m_pLabelBudgetMessage->setText(strError);
        return;
    }
    keep(dBreaker, dDerating);
}

void CGroupBudgetWidget::on_BtnClearBudget_clicked()
{
    keep(0, GroupBudget().dDerating);
    m_pEditBreakerAmps->clear();
}

void CGroupBudgetWidget::keep(double dBreakerAmps, double dDerating)
{
    if (m_strGroup.isEmpty() || m_strGroup == kDefaultGroup)
        return;
    GroupBudget budget;
    budget.dBreakerAmps = dBreakerAmps;
    budget.dDerating = dDerating;
    setGroupBudget(m_strGroup, budget);
    // The monthly report judges each month by the budgets that held then.
    if (m_pStore)
        m_pStore->setBudget(m_strGroup, dBreakerAmps, dDerating);
    showKept();
}
