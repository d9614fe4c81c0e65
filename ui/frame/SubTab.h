#pragma once

#include "ui/frame/SubTabBtn.h"

#include <QSize>
#include <QVBoxLayout>
#include <array>

// The column of text tab buttons at the left of the configuration, group and settings pages. Holds a
// fixed set of pre-made buttons of which the first tabCount() are shown; exactly one is active at a time.
class CSubTab : public QVBoxLayout
{
    Q_OBJECT

public:
    static constexpr int kButtonCount = 20;

    explicit CSubTab(QWidget* parent = nullptr);

    void setTabCount(int n);
    int tabCount() const { return m_iTabCount; }
    int tabWidth() const { return m_iBtnWidth; }

    // Owners set the texts and icons of the shown buttons.
    std::array<CSubTabBtn*, kButtonCount> buttons;

signals:
    void signalTabSelChanged(int iIndex);

public slots:
    void slotTabBtnSelected();

private:
    int m_iBtnWidth = 200;
    int m_iBtnHeight = 40;
    QSize m_sizeIcon{20, 20};
    int m_iTabCount = 10;
};
