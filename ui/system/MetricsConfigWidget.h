#pragma once

#include <QPointer>
#include <QWidget>

class CMetricsExporter;
class CTargetListWidget;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Switches the Prometheus endpoint on and off and sets where it listens; shows whether it serves.
class CMetricsConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CMetricsConfigWidget(QWidget* parent = nullptr);
    // The console's endpoint, which OK applies to and whose state is shown; none: settings only.
    void setExporter(CMetricsExporter* pExporter);

    void retranslate();

private slots:
    void on_BtnMetricsOK_clicked();

private:
    void showStatus();

    QPointer<CMetricsExporter> m_pExporter;
    QCheckBox* m_pCheckEnable;
    QLabel* m_pLabelAddress;
    QLineEdit* m_pLineEditAddress;
    QLabel* m_pLabelPort;
    QSpinBox* m_pSpinPort;
    QLabel* m_pLabelWebConfig;
    QLineEdit* m_pLineEditWebConfig;
    QPushButton* m_pBtnOK;
    QLabel* m_pLabelStatus;
    CTargetListWidget* m_pTargetList;
    QGridLayout* m_pLayoutBase;
};
