#pragma once

#include "ui/device/ConfigSubPage.h"

#include <QPointer>

class COutletControl;
class QCheckBox;
class QLabel;
class QLineEdit;

// The "OutletName" sub page: the eight outlet names, 10-byte fields of which at most 9 are typed.
class COutletNameConfigWidget : public CConfigSubPage
{
    Q_OBJECT

public:
    static constexpr int kOutletCount = 8;
    static constexpr int kNameWidth = 10;

    explicit COutletNameConfigWidget(QWidget* parent);

    void retranslate() override;
    // Where the protection boxes read and write; without one they stay disabled.
    void setOutletControl(COutletControl* pControl);

private slots:
    void on_LineEditOutletName_textChanged(const QString& text);

private:
    void showValues(const PduInfo& info) override;
    void storeShownValues(PduInfo& set) override;
    // Protection is not part of the device's record: it applies at once, without OK.
    void showProtection();

    QLabel* m_pLabels[kOutletCount] = {};
    QLineEdit* m_pEdits[kOutletCount] = {};
    QCheckBox* m_pChecksProtected[kOutletCount] = {};
    QPointer<COutletControl> m_pOutletControl;
};
