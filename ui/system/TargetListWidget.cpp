#include "ui/system/TargetListWidget.h"

#include "device/PollTargets.h"
#include "device/Rackmind.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {
// The running registry's list, else the file's as the next login reads it.
PollTargetList currentTargets()
{
    if (g_pRackmind)
        return g_pRackmind->targets;
    PollTargetList list;
    QString strWhy;
    PollTargets::readFile(QString::fromLatin1(PollTargets::kFileName), &list, &strWhy);
    return list;
}
} // namespace

CTargetListWidget::CTargetListWidget(QWidget* parent)
    : QWidget(parent), m_pLabelTargets(new QLabel(this)), m_pEditTargets(new QPlainTextEdit(this)),
      m_pLabelRate(new QLabel(this)), m_pSpinRate(new QSpinBox(this)), m_pBtnOK(new QPushButton(this)),
      m_pLabelStatus(new QLabel(this)), m_pLayoutBase(new QGridLayout(this))
{
    m_pLabelTargets->setObjectName(QStringLiteral("LabelTargets"));
    m_pEditTargets->setObjectName(QStringLiteral("EditTargets"));
    m_pLabelRate->setObjectName(QStringLiteral("LabelSweepRate"));
    m_pSpinRate->setObjectName(QStringLiteral("SpinSweepRate"));
    m_pBtnOK->setObjectName(QStringLiteral("BtnTargetsOK"));
    m_pLabelStatus->setObjectName(QStringLiteral("LabelTargetsStatus"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutTargets"));

    m_pEditTargets->setPlaceholderText(QStringLiteral("10.20.1.5\n10.20.2.0/24"));
    m_pEditTargets->setFixedHeight(m_pEditTargets->fontMetrics().lineSpacing() * 5 + 12);
    m_pEditTargets->setMinimumWidth(320);
    m_pSpinRate->setRange(1, PollTargets::kMaxSweepRate);
    showList(currentTargets());
    m_pLabelStatus->setWordWrap(true);
    m_pLabelStatus->setMinimumWidth(420);

    // Under the edit column of the page it sits on: a title above the list, the pace and OK below.
    const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    m_pLayoutBase->setContentsMargins(0, 12, 0, 0);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addWidget(m_pLabelTargets, 0, 0, 1, 3, align);
    m_pLayoutBase->addWidget(m_pEditTargets, 1, 0, 1, 3, align);
    m_pLayoutBase->addWidget(m_pLabelRate, 2, 0, align);
    m_pLayoutBase->addWidget(m_pSpinRate, 2, 1, align);
    m_pLayoutBase->addWidget(m_pBtnOK, 2, 2, align);
    m_pLayoutBase->addWidget(m_pLabelStatus, 3, 0, 1, 3, align);
    m_pLayoutBase->setColumnStretch(2, 1);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

void CTargetListWidget::retranslate()
{
    m_pLabelTargets->setText(tr("PDUs behind routers, an address or subnet a line:"));
    m_pLabelRate->setText(tr("Subnet sweep"));
    m_pSpinRate->setSuffix(tr(" datagrams/s"));
    m_pBtnOK->setText(tr("OK"));
    showStatus();
}

void CTargetListWidget::showStatus()
{
    // A few entries say enough; a long list would make the page as wide as its text.
    constexpr int kShown = 6;
    const PollTargetList list = currentTargets();
    QStringList listShown;
    for (const PollTarget& target : list.listTarget.mid(0, kShown))
        listShown << target.text();
    if (list.listTarget.size() > kShown)
        listShown << QStringLiteral("...");
    const QString strPolled =
        list.isEmpty() ? tr("Polling by broadcast only.")
                       : tr("Also polling by unicast: %1.").arg(listShown.join(QStringLiteral(", ")));
    m_pLabelStatus->setText(m_strRefused.isEmpty() ? strPolled
                                                   : m_strRefused + QLatin1Char('\n') + strPolled);
}

void CTargetListWidget::showList(const PollTargetList& list)
{
    QStringList listText;
    for (const PollTarget& target : list.listTarget)
        listText << target.text();
    m_pEditTargets->setPlainText(listText.join(QLatin1Char('\n')));
    m_pSpinRate->setValue(list.iSweepRate);
}

void CTargetListWidget::on_BtnTargetsOK_clicked()
{
    PollTargetList list;
    list.iSweepRate = m_pSpinRate->value();
    QStringList listLine;
    for (const QString& strLine : m_pEditTargets->toPlainText().split(QLatin1Char('\n')))
        if (!strLine.trimmed().isEmpty())
            listLine << strLine;
    // Nothing is applied while an entry is refused: a typo must not drop the PDUs of the other lines.
    m_strRefused.clear();
    if (!PollTargets::parseList(listLine, &list.listTarget, &m_strRefused)) {
        showStatus();
        return;
    }
    const bool bWritten = g_pRackmind
                              ? g_pRackmind->setTargets(list)
                              : PollTargets::writeFile(QString::fromLatin1(PollTargets::kFileName), list);
    if (!bWritten)
        m_strRefused = tr("Cannot write %1.").arg(QString::fromLatin1(PollTargets::kFileName));
    else
        showList(list); // as it is polled: host bits cleared, each entry once
    showStatus();
}
