#include "ui/system/AlarmConfigWidget.h"

#include "settings/AlarmSettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {
template <typename T> T* named(T* pObject, const char* pszName)
{
    pObject->setObjectName(QLatin1String(pszName));
    return pObject;
}

QSpinBox* makeSpin(QWidget* parent, const char* pszName, int iMin, int iMax, int iValue)
{
    auto* pSpin = named(new QSpinBox(parent), pszName);
    pSpin->setRange(iMin, iMax);
    pSpin->setValue(iValue);
    pSpin->setMinimumWidth(120);
    return pSpin;
}

QCheckBox* makeCheck(QWidget* parent, const char* pszName, bool bChecked)
{
    auto* pCheck = named(new QCheckBox(parent), pszName);
    pCheck->setChecked(bChecked);
    return pCheck;
}
} // namespace

CAlarmConfigWidget::CAlarmConfigWidget(QWidget* parent)
    : QWidget(parent), m_pLabelDebounce(named(new QLabel(this), "LabelDebounce")),
      m_pSpinDebounce(makeSpin(this, "SpinDebounce", 1, 60, g_alarmSettings.debouncePolls)),
      m_pLabelHysteresis(named(new QLabel(this), "LabelHysteresis")),
      m_pSpinHysteresis(makeSpin(this, "SpinHysteresis", 0, 50, g_alarmSettings.hysteresisPercent)),
      m_pCheckMailOnClear(makeCheck(this, "CheckMailOnClear", g_alarmSettings.mailOnClear)),
      m_pCheckCombine(makeCheck(this, "CheckCombine", g_alarmSettings.combineMails)),
      m_pLabelCombineWindow(named(new QLabel(this), "LabelCombineWindow")),
      m_pSpinCombineWindow(makeSpin(this, "SpinCombineWindow", 1, 3600, g_alarmSettings.combineWindowSecs)),
      m_pCheckTrayBalloon(makeCheck(this, "CheckTrayBalloon", g_alarmSettings.trayBalloon)),
      m_pCheckMailAfterRestart(
          makeCheck(this, "CheckMailAfterRestart", g_alarmSettings.mailStandingAfterRestart)),
      m_pBtnOK(named(new QPushButton(this), "BtnOK")),
      m_pLayoutBase(named(new QGridLayout(this), "LayoutBase"))
{
    const Qt::Alignment labelAlign = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment editAlign = Qt::AlignLeft | Qt::AlignVCenter;
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(8);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0, 1, 2);
    const QList<QPair<QLabel*, QWidget*>> rows{{m_pLabelDebounce, m_pSpinDebounce},
                                               {m_pLabelHysteresis, m_pSpinHysteresis},
                                               {nullptr, m_pCheckMailOnClear},
                                               {nullptr, m_pCheckCombine},
                                               {m_pLabelCombineWindow, m_pSpinCombineWindow},
                                               {nullptr, m_pCheckTrayBalloon},
                                               {nullptr, m_pCheckMailAfterRestart}};
    int iRow = 1;
    for (const auto& row : rows) {
        if (row.first)
            m_pLayoutBase->addWidget(row.first, iRow, 0, labelAlign);
        m_pLayoutBase->addWidget(row.second, iRow, 1, editAlign);
        ++iRow;
    }
    m_pLayoutBase->addWidget(m_pBtnOK, iRow, 1, editAlign);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), iRow + 1, 0,
                           1, 2);

    // The window matters only while alarms are combined.
    m_pSpinCombineWindow->setEnabled(m_pCheckCombine->isChecked());
    connect(m_pCheckCombine, &QCheckBox::toggled, m_pSpinCombineWindow, &QWidget::setEnabled);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

void CAlarmConfigWidget::retranslate()
{
    m_pLabelDebounce->setText(tr("Polls before an alarm counts"));
    m_pLabelHysteresis->setText(tr("Clear margin (% of the limit)"));
    m_pCheckMailOnClear->setText(tr("Mail when an alarm clears"));
    m_pCheckCombine->setText(tr("Combine alarms into one mail"));
    m_pLabelCombineWindow->setText(tr("Combining window (seconds)"));
    m_pCheckTrayBalloon->setText(tr("Show a notification for a new alarm"));
    m_pCheckMailAfterRestart->setText(tr("Mail standing alarms again after a restart"));
    m_pBtnOK->setText(tr("OK"));
}

void CAlarmConfigWidget::on_BtnOK_clicked()
{
    g_alarmSettings.debouncePolls = m_pSpinDebounce->value();
    g_alarmSettings.hysteresisPercent = m_pSpinHysteresis->value();
    g_alarmSettings.mailOnClear = m_pCheckMailOnClear->isChecked();
    g_alarmSettings.combineMails = m_pCheckCombine->isChecked();
    g_alarmSettings.combineWindowSecs = m_pSpinCombineWindow->value();
    g_alarmSettings.trayBalloon = m_pCheckTrayBalloon->isChecked();
    g_alarmSettings.mailStandingAfterRestart = m_pCheckMailAfterRestart->isChecked();
    saveAlarmSettings();
}
