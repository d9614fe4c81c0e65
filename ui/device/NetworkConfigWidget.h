#pragma once

#include <QPointer>
#include <QWidget>

class CPdu;
class QGridLayout;
class QLabel;
class QLineEdit;
class QRegExpValidator;
class QSpinBox;

// The "Network" sub page: address, mask, gateway, MAC, port, name and location of the device.
// Every valid edit goes straight into the device's edit record; only the configuration page sends.
class CNetworkConfigWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CNetworkConfigWidget(QWidget* parent);

    void setPdu(CPdu* pdu);
    CPdu* pdu() const;
    void loadFromPdu();
    void retranslate();

signals:
    void signalCheckNeedDownload();

private slots:
    void on_LineEditIP_textChanged(const QString& text);
    void on_LineEditSubNetMask_textChanged(const QString& text);
    void on_LineEditGateway_textChanged(const QString& text);
    void on_LineEditMac_textChanged(const QString& text);
    void on_SpinUdpPort_valueChanged(int i);
    void on_LineEditName_textChanged(const QString& text);
    void on_LineEditPosition_textChanged(const QString& text);

private:
    QLabel* addRow(int iRow, const char* pszLabelName, QWidget* pEditor);
    // Writes what every editor shows into the edit record, as the change slots would.
    void storeShownValues();

    QPointer<CPdu> m_pPdu;
    QGridLayout* m_pLayoutBase = nullptr;
    QRegExpValidator* m_pAddressValidator = nullptr;
    QRegExpValidator* m_pMacValidator = nullptr;
    QRegExpValidator* m_pNameValidator = nullptr;
    QLabel* m_pLabelIP = nullptr;
    QLabel* m_pLabelSubNetMask = nullptr;
    QLabel* m_pLabelGateway = nullptr;
    QLabel* m_pLabelMac = nullptr;
    QLabel* m_pLabelUdpPort = nullptr;
    QLabel* m_pLabelName = nullptr;
    QLabel* m_pLabelPosition = nullptr;
    QLineEdit* m_pLineEditIP = nullptr;
    QLineEdit* m_pLineEditSubNetMask = nullptr;
    QLineEdit* m_pLineEditGateway = nullptr;
    QLineEdit* m_pLineEditMac = nullptr;
    QSpinBox* m_pSpinUdpPort = nullptr;
    QLineEdit* m_pLineEditName = nullptr;
    QLineEdit* m_pLineEditPosition = nullptr;
};
