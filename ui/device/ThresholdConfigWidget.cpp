#include "ui/device/ThresholdConfigWidget.h"

#include "device/Pdu.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QSpinBox>

namespace {
constexpr int kEditorWidth = 150;
}

CThresholdConfigWidget::CThresholdConfigWidget(QWidget* parent)
    : QWidget(parent)
{
    m_pDSpinCurrentWarn = makeDoubleSpin("DSpinCurrentWarn");
    m_pDSpinCurrentOverload = makeDoubleSpin("DSpinCurrentOverload");
    m_pSpinVoltageWarn = makeSpin("SpinVoltageWarn", 65535);
    m_pSpinVoltageOverload = makeSpin("SpinVoltageOverload", 65535);
    m_pSpinTemperatureLowLimit = makeSpin("SpinTemperatureLowLimit", 255);
    m_pSpinTemperatureHighLimit = makeSpin("SpinTemperatureHighLimit", 255);
    m_pSpinHumidityWarn = makeSpin("SpinHumidityWarn", 255);

    m_pLayoutBase = new QGridLayout(this);
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pLayoutBase->setContentsMargins(8, 8, 8, 8);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 0, 0, 1, 2);
    m_pLabelCurrentWarn = addRow(1, "LabelCurrentWarn", m_pDSpinCurrentWarn);
    m_pLabelCurrentOverload = addRow(2, "LabelCurrentOverload", m_pDSpinCurrentOverload);
    m_pLabelVoltageWarn = addRow(3, "LabelVoltageWarn", m_pSpinVoltageWarn);
    m_pLabelVoltageOverload = addRow(4, "LabelVoltageOverload", m_pSpinVoltageOverload);
    m_pLabelTemperatureLowLimit = addRow(5, "LabelTemperatureLowLimit", m_pSpinTemperatureLowLimit);
    m_pLabelTemperatureHighLimit = addRow(6, "LabelTemperatureHighLimit", m_pSpinTemperatureHighLimit);
    m_pLabelHumidityWarn = addRow(7, "LabelHumidityWarn", m_pSpinHumidityWarn);
    m_pLayoutBase->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 8, 0, 1, 2);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

QSpinBox* CThresholdConfigWidget::makeSpin(const char* pszName, int iMax)
{
    auto* pSpin = new QSpinBox(this);
    pSpin->setObjectName(QLatin1String(pszName));
    pSpin->setRange(0, iMax);
    return pSpin;
}

QDoubleSpinBox* CThresholdConfigWidget::makeDoubleSpin(const char* pszName)
{
    auto* pSpin = new QDoubleSpinBox(this);
    pSpin->setObjectName(QLatin1String(pszName));
    pSpin->setDecimals(1);
    pSpin->setRange(0.0, 65535.9);
    return pSpin;
}

QLabel* CThresholdConfigWidget::addRow(int iRow, const char* pszLabelName, QWidget* pEditor)
{
    auto* pLabel = new QLabel(this);
    pLabel->setObjectName(QLatin1String(pszLabelName));
    pLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pEditor->setFixedWidth(kEditorWidth);
    m_pLayoutBase->addWidget(pLabel, iRow, 0);
    m_pLayoutBase->addWidget(pEditor, iRow, 1, Qt::AlignLeft | Qt::AlignVCenter);
    return pLabel;
}

void CThresholdConfigWidget::setPdu(CPdu* pdu)
{
    m_pPdu = pdu;
    loadFromPdu();
}

void CThresholdConfigWidget::loadFromPdu()
{
    if (!m_pPdu)
        return;
    const PduInfo& info = m_pPdu->stInfo;
    {
        const QSignalBlocker block1(m_pDSpinCurrentWarn);
        const QSignalBlocker block2(m_pDSpinCurrentOverload);
        const QSignalBlocker block3(m_pSpinVoltageWarn);
        const QSignalBlocker block4(m_pSpinVoltageOverload);
        const QSignalBlocker block5(m_pSpinTemperatureLowLimit);
        const QSignalBlocker block6(m_pSpinTemperatureHighLimit);
        const QSignalBlocker block7(m_pSpinHumidityWarn);
        m_pDSpinCurrentWarn->setValue(info.currentWarn);
        m_pDSpinCurrentOverload->setValue(info.currentOverload);
        // Wider than a spin box can hold only through a corrupt record; clamped, and then shown as a
        // pending change.
        m_pSpinVoltageWarn->setValue(int(qMin<quint32>(info.voltageWarn, 65535)));
        m_pSpinVoltageOverload->setValue(int(qMin<quint32>(info.voltageOverload, 65535)));
        m_pSpinTemperatureLowLimit->setValue(info.temperatureLowLimit);
        m_pSpinTemperatureHighLimit->setValue(info.temperatureHighLimit);
        m_pSpinHumidityWarn->setValue(info.humidityWarn);
    }
    // A limit kept from the record's defaults or an earlier edit would be sent without being shown.
    storeShownValues();
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::storeShownValues()
{
    PduInfo& set = m_pPdu->stSetInfo;
    set.currentWarn = m_pDSpinCurrentWarn->value();
    set.currentOverload = m_pDSpinCurrentOverload->value();
    set.voltageWarn = quint32(m_pSpinVoltageWarn->value());
    set.voltageOverload = quint32(m_pSpinVoltageOverload->value());
    set.temperatureLowLimit = quint8(m_pSpinTemperatureLowLimit->value());
    set.temperatureHighLimit = quint8(m_pSpinTemperatureHighLimit->value());
    set.humidityWarn = quint8(m_pSpinHumidityWarn->value());
}

void CThresholdConfigWidget::retranslate()
{
    m_pLabelCurrentWarn->setText(tr("CurrentWarnValue"));
    m_pLabelCurrentOverload->setText(tr("CurrentOverloadValue"));
    m_pLabelVoltageWarn->setText(tr("VoltageWarnValue"));
    m_pLabelVoltageOverload->setText(tr("VoltageOverloadValue"));
    m_pLabelTemperatureLowLimit->setText(tr("TemperatureLowerLimit"));
    m_pLabelTemperatureHighLimit->setText(tr("TemperatureUpperLimit"));
    m_pLabelHumidityWarn->setText(tr("HumidityWarnValue"));
}

void CThresholdConfigWidget::on_DSpinCurrentWarn_valueChanged(double d)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.currentWarn = d;
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_DSpinCurrentOverload_valueChanged(double d)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.currentOverload = d;
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_SpinVoltageWarn_valueChanged(int i)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.voltageWarn = quint32(i);
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_SpinVoltageOverload_valueChanged(int i)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.voltageOverload = quint32(i);
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_SpinTemperatureLowLimit_valueChanged(int i)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.temperatureLowLimit = quint8(i);
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_SpinTemperatureHighLimit_valueChanged(int i)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.temperatureHighLimit = quint8(i);
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_SpinHumidityWarn_valueChanged(int i)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.humidityWarn = quint8(i);
    emit signalCheckNeedDownload();
}
