#pragma once

#include "ui/frame/MainTabBtn.h"

#include <QHBoxLayout>
#include <QSize>
#include <array>

// The row of large tab buttons under the main dialog's title bar. Holds a fixed set of pre-made
// buttons of which the first tabCount() are shown; exactly one is active at a time.
class CMainTab : public QHBoxLayout
{
    Q_OBJECT

public:
    static constexpr int kButtonCount = 10;

    explicit CMainTab(QWidget* parent = nullptr);

    void setTabCount(int n);
    int tabCount() const { return m_iTabCount; }
    int tabHeight() const { return m_iBtnHeight; }
    // Widens the buttons whose text would not fit them; call after setting the texts.
    void fitButtonsToTexts();

    // Owners set the texts and icons of the shown buttons.
    std::array<CMainTabBtn*, kButtonCount> buttons;

signals:
    void signalTabSelChanged(int iIndex);

public slots:
    void slotTabBtnSelected();

private:
    int m_iBtnWidth = 100;
    int m_iBtnHeight = 110;
    QSize m_sizeIcon{64, 64};
    int m_iTabCount = kButtonCount;
};
