#include "ui/device/MainStatusWidget.h"

#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/SharedFonts.h"

#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

namespace {
QPushButton* makeHeader(QWidget* parent, const QString& strIcon)
{
    QPushButton* pBtn = new QPushButton(parent);
    pBtn->setObjectName(QStringLiteral("BtnHeader"));
    pBtn->setFixedHeight(30);
    pBtn->setIcon(QIcon(strIcon));
    return pBtn;
}

// A section: a caption button above its body, without gaps.
QWidget* makeSection(QWidget* parent, const QString& strName, const QString& strLayout)
{
    QWidget* pSection = new QWidget(parent);
    pSection->setObjectName(strName);
    QVBoxLayout* pLayout = new QVBoxLayout;
    pLayout->setObjectName(strLayout);
    pLayout->setSpacing(0);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pSection->setLayout(pLayout);
    return pSection;
}
} // namespace

CMainStatusWidget::CMainStatusWidget(QWidget* parent) : QWidget(parent)
{
    QWidget* pSummarise =
        makeSection(this, QStringLiteral("WidgetSummarise"), QStringLiteral("LayoutSummarise"));
    m_pBtnSummariseHeader =
        makeHeader(pSummarise, QStringLiteral(":/Application/Application/ApplicationPng.png"));
    m_pLabelSummarise = new QLabel(pSummarise);
    m_pLabelSummarise->setObjectName(QStringLiteral("LabelSummarise"));
    m_pLabelSummarise->setAlignment(Qt::AlignCenter);
    if (g_fontNormal12)
        m_pLabelSummarise->setFont(*g_fontNormal12);
    pSummarise->layout()->addWidget(m_pBtnSummariseHeader);
    pSummarise->layout()->addWidget(m_pLabelSummarise);

    QWidget* pControl =
        makeSection(this, QStringLiteral("WidgetDeviceControl"), QStringLiteral("LayoutDeviceControl"));
    m_pBtnControlHeader =
        makeHeader(pControl, QStringLiteral(":/OverviewWidget/OverviewWidget/DeviceControl.png"));
    m_pDeviceControl = new CDeviceControlWidget(pControl);
    m_pDeviceControl->setObjectName(QStringLiteral("DeviceControl"));
    pControl->layout()->addWidget(m_pBtnControlHeader);
    pControl->layout()->addWidget(m_pDeviceControl);

    m_pSplitterBase = new QSplitter(Qt::Vertical, this);
    m_pSplitterBase->setObjectName(QStringLiteral("SplitterBase"));
    m_pSplitterBase->setHandleWidth(1);
    m_pSplitterBase->addWidget(pSummarise);
    m_pSplitterBase->addWidget(pControl);
    m_pSplitterBase->setStretchFactor(0, 100);
    m_pSplitterBase->setStretchFactor(1, 1);

    QVBoxLayout* pLayoutBase = new QVBoxLayout;
    pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    pLayoutBase->setSpacing(0);
    pLayoutBase->setContentsMargins(0, 0, 0, 0);
    pLayoutBase->addWidget(m_pSplitterBase);
    setLayout(pLayoutBase);
}

void CMainStatusWidget::slotCurrentPduChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    Q_UNUSED(previous)
    m_pDeviceControl->setPdu(itemPdu(current));
}

void CMainStatusWidget::retranslate()
{
    // Without a registry (before login) there is nothing to count yet.
    const int iTotal = g_pRackmind ? g_pRackmind->listPdu.size() : 0;
    const int iOnline = g_pRackmind ? g_pRackmind->onlineCount() : 0;
    const int iAbnormal = g_pRackmind ? g_pRackmind->abnormalCount() : 0;

    m_pBtnSummariseHeader->setText(tr("Summarise"));
    m_pLabelSummarise->setText(QString(tr("Total") + QStringLiteral(":%1\n") + tr("Online") +
                                       QStringLiteral(":%2\n") + tr("Abnormal") + QStringLiteral(":%3"))
                                   .arg(iTotal)
                                   .arg(iOnline)
                                   .arg(iAbnormal));
    m_pBtnControlHeader->setText(tr("DeviceControl"));
    m_pDeviceControl->retranslate();
}
