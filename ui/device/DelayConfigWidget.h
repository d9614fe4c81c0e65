#pragma once

#include <QPointer>
#include <QWidget>

class CPdu;
class QGridLayout;
class QGroupBox;
class QLabel;
class QSpinBox;
class QVBoxLayout;

// The "Delay" sub page: per-outlet switch-on and switch-off delays, one byte each.
class CDelayConfigWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kOutletCount = 8;

    explicit CDelayConfigWidget(QWidget* parent);

    void setPdu(CPdu* pdu);
    void loadFromPdu();
    void retranslate();

signals:
    void signalCheckNeedDownload();

private slots:
    void on_SpinOutletOpenDelay_valueChanged(int iValue);
    void on_SpinOutletCloseDelay_valueChanged(int iValue);

private:
    QGroupBox* makeGroup(const char* pszGroupName, const char* pszLayoutName, const char* pszLabelName,
                         const char* pszSpinName, QLabel** ppLabels, QSpinBox** ppSpins);
    void storeShownValues();

    QPointer<CPdu> m_pPdu;
    QVBoxLayout* m_pLayoutBase = nullptr;
    QGroupBox* m_pGroupOpenDelay = nullptr;
    QGroupBox* m_pGroupCloseDelay = nullptr;
    QLabel* m_pLabelOpen[kOutletCount] = {};
    QLabel* m_pLabelClose[kOutletCount] = {};
    QSpinBox* m_pSpinOpen[kOutletCount] = {};
    QSpinBox* m_pSpinClose[kOutletCount] = {};
};
