#pragma once

#include <QWidget>

class QCheckBox;

// The "Outlets" sub page of the system settings: whether switching an outlet off asks first.
class COutletSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit COutletSettingsWidget(QWidget* parent = nullptr);
    void retranslate();

private slots:
    void on_CheckAskBeforeOff_toggled(bool bChecked);

private:
    QCheckBox* m_pCheckAskBeforeOff = nullptr;
};
