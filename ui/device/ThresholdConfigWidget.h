#pragma once

#include "ui/device/ConfigSubPage.h"

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The "Threshold" sub page: the device's current, voltage, temperature and humidity limits.
class CThresholdConfigWidget : public CConfigSubPage
{
    Q_OBJECT

public:
    explicit CThresholdConfigWidget(QWidget* parent);

    void retranslate() override;

private slots:
    void on_DSpinCurrentWarn_valueChanged(double d);
    void on_DSpinCurrentOverload_valueChanged(double d);
    void on_SpinVoltageWarn_valueChanged(int i);
    void on_SpinVoltageOverload_valueChanged(int i);
    void on_SpinTemperatureLowLimit_valueChanged(int i);
    void on_SpinTemperatureHighLimit_valueChanged(int i);
    void on_SpinHumidityWarn_valueChanged(int i);

private:
    void showValues(const PduInfo& info) override;
    void storeShownValues(PduInfo& set) override;
    QSpinBox* makeSpin(const char* pszName, int iMax);
    QDoubleSpinBox* makeDoubleSpin(const char* pszName);
    // Stores through the given member of the edit record and announces it; nothing without a device.
    template <typename T, typename V> void store(T PduInfo::*pField, V value);

    QDoubleSpinBox* m_pDSpinCurrentWarn = nullptr;
    QDoubleSpinBox* m_pDSpinCurrentOverload = nullptr;
    QSpinBox* m_pSpinVoltageWarn = nullptr;
    QSpinBox* m_pSpinVoltageOverload = nullptr;
    QSpinBox* m_pSpinTemperatureLowLimit = nullptr;
    QSpinBox* m_pSpinTemperatureHighLimit = nullptr;
    QSpinBox* m_pSpinHumidityWarn = nullptr;
    QLabel* m_pLabels[7] = {};
};
