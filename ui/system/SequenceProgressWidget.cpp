#include "ui/system/SequenceProgressWidget.h"

#include "device/OutletSetControl.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

CSequenceProgressWidget::CSequenceProgressWidget(QWidget* parent) : QWidget(parent)
{
    m_pLabelTitle = new QLabel(this);
    m_pLabelTitle->setObjectName(QStringLiteral("LabelSequenceTitle"));
    m_pLabelNext = new QLabel(this);
    m_pLabelNext->setObjectName(QStringLiteral("LabelSequenceNext"));
    for (QLabel* pLabel : {m_pLabelTitle, m_pLabelNext}) {
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setWordWrap(true);
    }
    m_pTreeSteps = new QTreeWidget(this);
    m_pTreeSteps->setObjectName(QStringLiteral("TreeSequenceSteps"));
    m_pTreeSteps->setRootIsDecorated(false);
    m_pTreeSteps->setColumnCount(2);
    m_pTreeSteps->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pTreeSteps->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pTreeSteps->header()->setStretchLastSection(false);
    m_pButtonPause = new QPushButton(this);
    m_pButtonPause->setObjectName(QStringLiteral("ButtonPause"));
    m_pButtonResume = new QPushButton(this);
    m_pButtonResume->setObjectName(QStringLiteral("ButtonResume"));
    m_pButtonCancel = new QPushButton(this);
    m_pButtonCancel->setObjectName(QStringLiteral("ButtonCancelSequence"));
    auto* pLayout = new QGridLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutProgress"));
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pLabelTitle, 0, 0, 1, 4);
    pLayout->addWidget(m_pTreeSteps, 1, 0, 1, 4);
    pLayout->addWidget(m_pLabelNext, 2, 0, 1, 4);
    pLayout->addWidget(m_pButtonPause, 3, 0);
    pLayout->addWidget(m_pButtonResume, 3, 1);
    pLayout->addWidget(m_pButtonCancel, 3, 2);
    pLayout->setColumnStretch(3, 1);
    // The seconds to the next step count down between the control's own changes.
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &CSequenceProgressWidget::showState);
    QMetaObject::connectSlotsByName(this);
    retranslate();
}

void CSequenceProgressWidget::setControl(COutletSetControl* pControl)
{
    m_pControl = pControl;
    if (pControl)
        connect(pControl, &COutletSetControl::signalSequenceChanged, this,
                &CSequenceProgressWidget::showState);
    showState();
}

void CSequenceProgressWidget::retranslate()
{
    m_pTreeSteps->setHeaderLabels({tr("Step"), tr("State")});
    m_pButtonPause->setText(tr("Pause"));
    m_pButtonResume->setText(tr("Resume"));
    m_pButtonCancel->setText(tr("Cancel sequence"));
    showState();
}

QString CSequenceProgressWidget::stepLine(int iIndex, const QString& strStep, int iWaitSecs)
{
    return iWaitSecs > 0 ? tr("%1. %2, then %3 s").arg(iIndex + 1).arg(strStep).arg(iWaitSecs)
                         : tr("%1. %2").arg(iIndex + 1).arg(strStep);
}

void CSequenceProgressWidget::showState()
{
    const SequenceView view = m_pControl ? m_pControl->sequence() : SequenceView();
    const bool bRunning = view.isRunning();
    bRunning ? m_timer.start() : m_timer.stop();
    setVisible(view.state != SequenceView::Idle);
    m_pButtonPause->setEnabled(bRunning && view.state != SequenceView::Paused);
    m_pButtonResume->setEnabled(view.state == SequenceView::Paused);
    m_pButtonCancel->setEnabled(bRunning);
    const int iStep = view.iStep + 1, iSteps = view.listSteps.size();
    switch (view.state) {
    case SequenceView::Completed:
        m_pLabelTitle->setText(tr("Sequence %1 completed: %2 steps.").arg(view.strName).arg(iSteps));
        break;
    case SequenceView::Failed:
        m_pLabelTitle->setText(
            tr("Sequence %1 stopped: step %2 of %3 failed.").arg(view.strName).arg(iStep).arg(iSteps));
        break;
    case SequenceView::Cancelled:
        m_pLabelTitle->setText(
            tr("Sequence %1 cancelled at step %2 of %3.").arg(view.strName).arg(iStep).arg(iSteps));
        break;
    case SequenceView::Interrupted:
        m_pLabelTitle->setText(tr("Sequence %1 was interrupted at step %2 of %3 and did not go on.")
                                   .arg(view.strName)
                                   .arg(iStep)
                                   .arg(iSteps));
        break;
    default:
        m_pLabelTitle->setText(tr("Sequence %1: step %2 of %3").arg(view.strName).arg(iStep).arg(iSteps));
        break;
    }
    const bool bLast = iStep >= iSteps;
    const QString strNext = bLast ? QString() : view.listSteps.value(iStep);
    if (view.state == SequenceView::Waiting)
        m_pLabelNext->setText(bLast ? tr("Last step: the sequence ends in %1 s.").arg(view.iSecondsLeft)
                                    : tr("Next: %1 in %2 s.").arg(strNext).arg(view.iSecondsLeft));
    else if (view.state == SequenceView::Paused)
        m_pLabelNext->setText(tr("Paused: %1 s left before the next step.").arg(view.iSecondsLeft));
    else if (view.state == SequenceView::Switching)
        m_pLabelNext->setText(bLast ? tr("Last step: waiting for the PDUs to show it.")
                                    : tr("Waiting for the PDUs to show it; next: %1.").arg(strNext));
    else
        m_pLabelNext->setText(view.strReason);
    m_pLabelNext->setVisible(!m_pLabelNext->text().isEmpty());

    if (m_pTreeSteps->topLevelItemCount() != iSteps) {
        m_pTreeSteps->clear();
        for (int i = 0; i < iSteps; ++i)
            new QTreeWidgetItem(m_pTreeSteps, {stepLine(i, view.listSteps.at(i), view.listWaits.value(i))});
    }
    for (int i = 0; i < iSteps; ++i) {
        QString strState;
        if (i < view.iStep || (i == view.iStep && view.state == SequenceView::Completed))
            strState = tr("done");
        else if (i == view.iStep) {
            switch (view.state) {
            case SequenceView::Switching:
                strState = tr("switching");
                break;
            case SequenceView::Waiting:
            case SequenceView::Paused:
                strState = tr("done, waiting");
                break;
            case SequenceView::Failed:
                strState = tr("failed");
                break;
            case SequenceView::Cancelled:
                strState = tr("cancelled");
                break;
            case SequenceView::Interrupted:
                strState = tr("interrupted");
                break;
            default:
                break;
            }
        }
        QTreeWidgetItem* pItem = m_pTreeSteps->topLevelItem(i);
        pItem->setText(0, stepLine(i, view.listSteps.at(i), view.listWaits.value(i)));
        pItem->setText(1, strState);
        QFont font = pItem->font(0);
        font.setBold(i == view.iStep);
        pItem->setFont(0, font);
        pItem->setFont(1, font);
    }
}

void CSequenceProgressWidget::on_ButtonPause_clicked()
{
    if (m_pControl)
        m_pControl->pauseSequence();
}

void CSequenceProgressWidget::on_ButtonResume_clicked()
{
    if (m_pControl)
        m_pControl->resumeSequence();
}

void CSequenceProgressWidget::on_ButtonCancelSequence_clicked()
{
    if (m_pControl)
        m_pControl->cancelSequence();
}
