#pragma once

#include <QPointer>
#include <QWidget>

class CPdu;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QSpinBox;

// The "Threshold" sub page: the device's current, voltage, temperature and humidity limits.
class CThresholdConfigWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CThresholdConfigWidget(QWidget* parent);

    void setPdu(CPdu* pdu);
    void loadFromPdu();
    void retranslate();

signals:
    void signalCheckNeedDownload();

private slots:
    void on_DSpinCurrentWarn_valueChanged(double d);
    void on_DSpinCurrentOverload_valueChanged(double d);
    void on_SpinVoltageWarn_valueChanged(int i);
    void on_SpinVoltageOverload_valueChanged(int i);
    void on_SpinTemperatureLowLimit_valueChanged(int i);
    void on_SpinTemperatureHighLimit_valueChanged(int i);
    void on_SpinHumidityWarn_valueChanged(int i);

private:
    QLabel* addRow(int iRow, const char* pszLabelName, QWidget* pEditor);
    QSpinBox* makeSpin(const char* pszName, int iMax);
    QDoubleSpinBox* makeDoubleSpin(const char* pszName);
    void storeShownValues();

    QPointer<CPdu> m_pPdu;
    QGridLayout* m_pLayoutBase = nullptr;
    QLabel* m_pLabelCurrentWarn = nullptr;
    QLabel* m_pLabelCurrentOverload = nullptr;
    QLabel* m_pLabelVoltageWarn = nullptr;
    QLabel* m_pLabelVoltageOverload = nullptr;
    QLabel* m_pLabelTemperatureLowLimit = nullptr;
    QLabel* m_pLabelTemperatureHighLimit = nullptr;
    QLabel* m_pLabelHumidityWarn = nullptr;
    QDoubleSpinBox* m_pDSpinCurrentWarn = nullptr;
    QDoubleSpinBox* m_pDSpinCurrentOverload = nullptr;
    QSpinBox* m_pSpinVoltageWarn = nullptr;
    QSpinBox* m_pSpinVoltageOverload = nullptr;
    QSpinBox* m_pSpinTemperatureLowLimit = nullptr;
    QSpinBox* m_pSpinTemperatureHighLimit = nullptr;
    QSpinBox* m_pSpinHumidityWarn = nullptr;
};
