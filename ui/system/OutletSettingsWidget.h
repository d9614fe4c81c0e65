#pragma once

#include <QWidget>

class COutletControl;
class COutletSetsWidget;
class QCheckBox;

// The "Outlets" sub page of the system settings: whether switching an outlet off asks first, and the
// machine's outlet sets and sequences.
class COutletSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit COutletSettingsWidget(QWidget* parent = nullptr);
    void setOutletControl(COutletControl* pControl);
    void retranslate();

private slots:
    void on_CheckAskBeforeOff_toggled(bool bChecked);

private:
    QCheckBox* m_pCheckAskBeforeOff = nullptr;
    COutletSetsWidget* m_pSetsWidget = nullptr;
};
