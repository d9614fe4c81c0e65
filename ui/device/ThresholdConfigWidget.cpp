#include "ui/device/ThresholdConfigWidget.h"

#include "device/Pdu.h"
#include "device/Protocol.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {
constexpr int kEditorWidth = 150;
}

CThresholdConfigWidget::CThresholdConfigWidget(QWidget* parent) : CConfigSubPage(parent, kCmdThresholds)
{
    m_pDSpinCurrentWarn = makeDoubleSpin("DSpinCurrentWarn");
    m_pDSpinCurrentOverload = makeDoubleSpin("DSpinCurrentOverload");
    m_pSpinVoltageWarn = makeSpin("SpinVoltageWarn", 65535);
    m_pSpinVoltageOverload = makeSpin("SpinVoltageOverload", 65535);
    m_pSpinTemperatureLowLimit = makeSpin("SpinTemperatureLowLimit", 255);
    m_pSpinTemperatureHighLimit = makeSpin("SpinTemperatureHighLimit", 255);
    m_pSpinHumidityWarn = makeSpin("SpinHumidityWarn", 255);

    QGridLayout* pLayout = createFormLayout(8, 7);
    const char* const apszLabels[7] = {
        "LabelCurrentWarn",         "LabelCurrentOverload",      "LabelVoltageWarn", "LabelVoltageOverload",
        "LabelTemperatureLowLimit", "LabelTemperatureHighLimit", "LabelHumidityWarn"};
    QWidget* const apEditors[7] = {
        m_pDSpinCurrentWarn,        m_pDSpinCurrentOverload,     m_pSpinVoltageWarn, m_pSpinVoltageOverload,
        m_pSpinTemperatureLowLimit, m_pSpinTemperatureHighLimit, m_pSpinHumidityWarn};
    for (int i = 0; i < 7; ++i)
        m_pLabels[i] = addFormRow(pLayout, i + 1, QLatin1String(apszLabels[i]), apEditors[i]);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

QSpinBox* CThresholdConfigWidget::makeSpin(const char* pszName, int iMax)
{
    auto* pSpin = new QSpinBox(this);
    pSpin->setObjectName(QLatin1String(pszName));
    pSpin->setRange(0, iMax);
    pSpin->setFixedWidth(kEditorWidth);
    return pSpin;
}

QDoubleSpinBox* CThresholdConfigWidget::makeDoubleSpin(const char* pszName)
{
    auto* pSpin = new QDoubleSpinBox(this);
    pSpin->setObjectName(QLatin1String(pszName));
    pSpin->setDecimals(1);
    pSpin->setRange(0.0, 65535.9);
    pSpin->setFixedWidth(kEditorWidth);
    return pSpin;
}

void CThresholdConfigWidget::showValues(const PduInfo& info)
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
    // Voltage limits travel as 16 bits; a wider value is clamped and so shows as a pending change.
    m_pSpinVoltageWarn->setValue(int(qMin<quint32>(info.voltageWarn, 65535)));
    m_pSpinVoltageOverload->setValue(int(qMin<quint32>(info.voltageOverload, 65535)));
    m_pSpinTemperatureLowLimit->setValue(info.temperatureLowLimit);
    m_pSpinTemperatureHighLimit->setValue(info.temperatureHighLimit);
    m_pSpinHumidityWarn->setValue(info.humidityWarn);
}

void CThresholdConfigWidget::storeShownValues(PduInfo& set)
{
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
    m_pLabels[0]->setText(tr("CurrentWarnValue"));
    m_pLabels[1]->setText(tr("CurrentOverloadValue"));
    m_pLabels[2]->setText(tr("VoltageWarnValue"));
    m_pLabels[3]->setText(tr("VoltageOverloadValue"));
    m_pLabels[4]->setText(tr("TemperatureLowerLimit"));
    m_pLabels[5]->setText(tr("TemperatureUpperLimit"));
    m_pLabels[6]->setText(tr("HumidityWarnValue"));
}

template <typename T, typename V> void CThresholdConfigWidget::store(T PduInfo::*pField, V value)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.*pField = T(value);
    emit signalCheckNeedDownload();
}

void CThresholdConfigWidget::on_DSpinCurrentWarn_valueChanged(double d)
{
    store(&PduInfo::currentWarn, d);
}

void CThresholdConfigWidget::on_DSpinCurrentOverload_valueChanged(double d)
{
    store(&PduInfo::currentOverload, d);
}

void CThresholdConfigWidget::on_SpinVoltageWarn_valueChanged(int i)
{
    store(&PduInfo::voltageWarn, i);
}

void CThresholdConfigWidget::on_SpinVoltageOverload_valueChanged(int i)
{
    store(&PduInfo::voltageOverload, i);
}

void CThresholdConfigWidget::on_SpinTemperatureLowLimit_valueChanged(int i)
{
    store(&PduInfo::temperatureLowLimit, i);
}

void CThresholdConfigWidget::on_SpinTemperatureHighLimit_valueChanged(int i)
{
    store(&PduInfo::temperatureHighLimit, i);
}

void CThresholdConfigWidget::on_SpinHumidityWarn_valueChanged(int i)
{
    store(&PduInfo::humidityWarn, i);
}
