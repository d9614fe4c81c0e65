#pragma once

#include "ui/device/ConfigSubPage.h"

class QLabel;
class QLineEdit;
class QRegExpValidator;
class QSpinBox;
class QValidator;

// The "Network" sub page: address, mask, gateway, MAC, port, name and location of the device.
// Every valid edit goes straight into the device's edit record; only the configuration page sends.
class CNetworkConfigWidget : public CConfigSubPage
{
    Q_OBJECT

public:
    explicit CNetworkConfigWidget(QWidget* parent);

    void retranslate() override;

private slots:
    void on_LineEditIP_textChanged(const QString& text);
    void on_LineEditSubNetMask_textChanged(const QString& text);
    void on_LineEditGateway_textChanged(const QString& text);
    void on_LineEditMac_textChanged(const QString& text);
    void on_SpinUdpPort_valueChanged(int i);
    void on_LineEditName_textChanged(const QString& text);
    void on_LineEditPosition_textChanged(const QString& text);

private:
    void showValues(const PduInfo& info) override;
    void storeShownValues(PduInfo& set) override;
    QLineEdit* makeLineEdit(const char* pszName, int iMaxLength, QValidator* pValidator);

    QRegExpValidator* m_pAddressValidator = nullptr;
    QRegExpValidator* m_pMacValidator = nullptr;
    QLineEdit* m_pLineEditIP = nullptr;
    QLineEdit* m_pLineEditSubNetMask = nullptr;
    QLineEdit* m_pLineEditGateway = nullptr;
    QLineEdit* m_pLineEditMac = nullptr;
    QSpinBox* m_pSpinUdpPort = nullptr;
    QLineEdit* m_pLineEditName = nullptr;
    QLineEdit* m_pLineEditPosition = nullptr;
    QLabel* m_pLabels[7] = {};
};
