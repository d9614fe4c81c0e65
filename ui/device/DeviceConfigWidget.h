#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class CDelayConfigWidget;
class CNetworkConfigWidget;
class COutletControl;
class COutletNameConfigWidget;
class CPdu;
class CSubTab;
class CThresholdConfigWidget;
class QHBoxLayout;
class QPushButton;
class QStackedWidget;
class QTreeWidgetItem;
class QVBoxLayout;

// The "DeviceConfig" page: edits the configuration of the device whose overview row is current. The
// sub pages write every edit into the device's edit record; OK and Cancel show while it differs from
// what the device reported.
class CDeviceConfigWidget : public QWidget
{
    Q_OBJECT

public:
    // Reports an operator input error in a modal box (parent, title, text). Tests replace it so that
    // no box blocks them; an empty handler restores the message box.
    using WarningHandler = std::function<void(QWidget*, const QString&, const QString&)>;
    static void setWarningHandler(WarningHandler handler);

    explicit CDeviceConfigWidget(QWidget* parent);

    // The device being edited; null when none.
    CPdu* pdu() const;
    // The room's outlet control: the protection boxes and group writes go through it.
    void setOutletControl(COutletControl* pControl);
    void retranslate();

public slots:
    void slotCurrentPduChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void slotCheckNeedDownload();

private slots:
    void on_BtnOk_clicked();
    void on_BtnCancel_clicked();
    void slotEnableBtn();
    void slotDeviceAnswered(CPdu* pPdu);
    void on_BtnApplyGroup_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* makeButton(const char* pszName, const QString& strIcon);
    // The first failed check of the network entries, or an empty text when all pass.
    QString networkEntryError() const;
    void showButtons(bool bShow);
    void followRegistry();

    QPointer<CPdu> m_pPdu;
    QHBoxLayout* m_pBaseLayout = nullptr;
    CSubTab* m_pSubTab = nullptr;
    QStackedWidget* m_pMainStack = nullptr;
    CNetworkConfigWidget* m_pNetworkConfigWidget = nullptr;
    CThresholdConfigWidget* m_pThresholdConfigWidget = nullptr;
    CDelayConfigWidget* m_pDelayConfigWidget = nullptr;
    COutletNameConfigWidget* m_pOutletNameConfigWidget = nullptr;
    QPointer<COutletControl> m_pOutletControl;
    QPushButton* m_pBtnOk = nullptr;
    QPushButton* m_pBtnCancel = nullptr;
    QPushButton* m_pBtnApplyGroup = nullptr;
    QHBoxLayout* m_pLayoutBtn = nullptr;
    QVBoxLayout* m_pLayoutContent = nullptr;
};
