#include "ui/system/MetricsConfigWidget.h"

#include "metrics/MetricsExporter.h"
#include "settings/Settings.h"
#include "ui/system/TargetListWidget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

CMetricsConfigWidget::CMetricsConfigWidget(QWidget* parent)
    : QWidget(parent), m_pCheckEnable(new QCheckBox(this)), m_pLabelAddress(new QLabel(this)),
      m_pLineEditAddress(new QLineEdit(g_settings.metricsAddress, this)), m_pLabelPort(new QLabel(this)),
      m_pSpinPort(new QSpinBox(this)), m_pLabelWebConfig(new QLabel(this)),
      m_pLineEditWebConfig(new QLineEdit(g_settings.metricsWebConfigFile, this)),
      m_pBtnOK(new QPushButton(this)), m_pLabelStatus(new QLabel(this)),
      m_pTargetList(new CTargetListWidget(this)), m_pLayoutBase(new QGridLayout(this))
{
    m_pCheckEnable->setObjectName(QStringLiteral("CheckMetricsEnabled"));
    m_pLabelAddress->setObjectName(QStringLiteral("LabelMetricsAddress"));
    m_pLineEditAddress->setObjectName(QStringLiteral("LineEditMetricsAddress"));
    m_pLabelPort->setObjectName(QStringLiteral("LabelMetricsPort"));
    m_pSpinPort->setObjectName(QStringLiteral("SpinMetricsPort"));
    m_pLabelWebConfig->setObjectName(QStringLiteral("LabelMetricsWebConfig"));
    m_pLineEditWebConfig->setObjectName(QStringLiteral("LineEditMetricsWebConfig"));
    m_pBtnOK->setObjectName(QStringLiteral("BtnMetricsOK"));
    m_pLabelStatus->setObjectName(QStringLiteral("LabelMetricsStatus"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));

    m_pCheckEnable->setChecked(g_settings.metricsEnabled);
    m_pLineEditAddress->setMinimumWidth(200);
    m_pLineEditWebConfig->setMinimumWidth(320);
    m_pSpinPort->setRange(1, 65535);
    m_pSpinPort->setValue(g_settings.metricsPort);
    // Room for the longest status, the reason a port cannot be opened.
    m_pLabelStatus->setWordWrap(true);
    m_pLabelStatus->setMinimumWidth(420);

    const Qt::Alignment labelAlign = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment editAlign = Qt::AlignLeft | Qt::AlignVCenter;
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0, 1, 2);
    m_pLayoutBase->addWidget(m_pCheckEnable, 1, 1, editAlign);
    m_pLayoutBase->addWidget(m_pLabelAddress, 2, 0, labelAlign);
    m_pLayoutBase->addWidget(m_pLineEditAddress, 2, 1, editAlign);
    m_pLayoutBase->addWidget(m_pLabelPort, 3, 0, labelAlign);
    m_pLayoutBase->addWidget(m_pSpinPort, 3, 1, editAlign);
    m_pLayoutBase->addWidget(m_pLabelWebConfig, 4, 0, labelAlign);
    m_pLayoutBase->addWidget(m_pLineEditWebConfig, 4, 1, editAlign);
    m_pLayoutBase->addWidget(m_pBtnOK, 5, 0, labelAlign);
    m_pLayoutBase->addWidget(m_pLabelStatus, 6, 1, Qt::AlignLeft | Qt::AlignVCenter);
    // The PDUs polled beyond this network: beside the other network settings of the room.
    m_pLayoutBase->addWidget(m_pTargetList, 7, 1, Qt::AlignLeft | Qt::AlignTop);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 8, 0, 1, 2);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

void CMetricsConfigWidget::setExporter(CMetricsExporter* pExporter)
{
    if (m_pExporter)
        disconnect(m_pExporter.data(), nullptr, this, nullptr);
    m_pExporter = pExporter;
    if (m_pExporter)
        connect(m_pExporter, &CMetricsExporter::signalServingChanged, this,
                &CMetricsConfigWidget::showStatus);
    showStatus();
}

void CMetricsConfigWidget::retranslate()
{
    m_pCheckEnable->setText(tr("Serve metrics for Prometheus"));
    m_pLabelAddress->setText(tr("Listen address"));
    m_pLabelPort->setText(tr("Port"));
    m_pLabelWebConfig->setText(tr("TLS and password file"));
    m_pLineEditWebConfig->setPlaceholderText(tr("none: plain HTTP, no password"));
    m_pBtnOK->setText(tr("OK"));
    m_pTargetList->retranslate();
    showStatus();
}

void CMetricsConfigWidget::showStatus()
{
    const QString strEndpoint =
        QStringLiteral("%1:%2").arg(g_settings.metricsAddress).arg(g_settings.metricsPort);
    if (!g_settings.metricsEnabled)
        m_pLabelStatus->setText(tr("Metrics are off."));
    else if (m_pExporter && m_pExporter->isServing())
        m_pLabelStatus->setText(
            tr("Serving %1").arg(QStringLiteral("%1://%2/metrics").arg(m_pExporter->scheme(), strEndpoint)));
    else if (m_pExporter && !m_pExporter->errorString().isEmpty())
        m_pLabelStatus->setText(tr("Cannot serve on %1: %2. The console runs on without metrics.")
                                    .arg(strEndpoint, m_pExporter->errorString()));
    else // enabled, and the login has not started it yet
        m_pLabelStatus->clear();
}

void CMetricsConfigWidget::on_BtnMetricsOK_clicked()
{
    const QString strAddress = m_pLineEditAddress->text().trimmed();
    if (QHostAddress(strAddress).protocol() != QAbstractSocket::IPv4Protocol) {
        QMessageBox::warning(this, tr("warning"), tr("Please input a correct listen address."));
        return;
    }
    g_settings.metricsEnabled = m_pCheckEnable->isChecked();
    g_settings.metricsAddress = strAddress;
    g_settings.metricsPort = m_pSpinPort->value();
    g_settings.metricsWebConfigFile = m_pLineEditWebConfig->text().trimmed();
    saveSettings();
    if (m_pExporter)
        m_pExporter->apply(g_settings.metricsEnabled, g_settings.metricsAddress, g_settings.metricsPort,
                           g_settings.metricsWebConfigFile);
    showStatus();
}
