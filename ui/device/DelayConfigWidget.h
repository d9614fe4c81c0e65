#pragma once

#include "ui/device/ConfigSubPage.h"

class QGroupBox;
class QLabel;
class QSpinBox;

// The "Delay" sub page: per-outlet switch-on and switch-off delays, one byte each.
class CDelayConfigWidget : public CConfigSubPage
{
    Q_OBJECT

public:
    static constexpr int kOutletCount = 8;

    explicit CDelayConfigWidget(QWidget* parent);

    void retranslate() override;

private slots:
    void on_SpinOutletOpenDelay_valueChanged(int iValue);
    void on_SpinOutletCloseDelay_valueChanged(int iValue);

private:
    void showValues(const PduInfo& info) override;
    void storeShownValues(PduInfo& set) override;
    QGroupBox* makeGroup(const char* pszGroupName, const char* pszLayoutName, const char* pszLabelName,
                         const char* pszSpinName, QLabel** ppLabels, QSpinBox** ppSpins);
    // Stores the value of whichever of the eight boxes sent it; nothing for any other sender.
    void storeFromSender(QSpinBox* const* ppSpins, quint8* pDelays, int iValue);

    QGroupBox* m_pGroupOpenDelay = nullptr;
    QGroupBox* m_pGroupCloseDelay = nullptr;
    QLabel* m_pLabelOpen[kOutletCount] = {};
    QLabel* m_pLabelClose[kOutletCount] = {};
    QSpinBox* m_pSpinOpen[kOutletCount] = {};
    QSpinBox* m_pSpinClose[kOutletCount] = {};
};
