#pragma once

#include <QWidget>

class CAlarmConfigWidget;
class CSubTab;
class CSmtpConfigWidget;
class CSnmpConfigWidget;
class CMetricsConfigWidget;
class COutletControl;
class COutletSettingsWidget;
class QHBoxLayout;
class QStackedWidget;

// The system settings page of the main window: "SMTP", "SNMP", "Metrics", "Alarms" and "Outlets" sub pages
// behind a sub tab bar.
class CSystemConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CSystemConfigWidget(QWidget* parent = nullptr);

    void retranslate();
    void setOutletControl(COutletControl* pControl);
    CMetricsConfigWidget* metricsConfigWidget() const { return m_pMetricsConfigWidget; }
    CSnmpConfigWidget* snmpConfigWidget() const { return m_pSnmpConfigWidget; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CSubTab* m_pSubTab;
    QHBoxLayout* m_pLayoutBase;
    QStackedWidget* m_pStackMain;
    CSmtpConfigWidget* m_pSmtpConfigWidget;
    CSnmpConfigWidget* m_pSnmpConfigWidget;
    CMetricsConfigWidget* m_pMetricsConfigWidget;
    CAlarmConfigWidget* m_pAlarmConfigWidget;
    COutletSettingsWidget* m_pOutletSettingsWidget;
};
