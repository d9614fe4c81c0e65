#pragma once

#include <QCoreApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QSize>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstddef>

// Shared set-up of the two tab bars, which differ only in their button class, count and sizes.
namespace TabBarUtil {

template <class Bar, class Btn, std::size_t N>
void createButtons(Bar* pBar, std::array<Btn*, N>& buttons, const QString& strObjectName)
{
    for (Btn*& pButton : buttons) {
        pButton = new Btn;
        pButton->setObjectName(strObjectName);
        pBar->addWidget(pButton);
    }

    // Button 0 starts active; nothing is connected yet, so nobody hears of it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(buttons[0], &press);
    // No release follows the synthetic press; without this the button would look pressed until clicked.
    buttons[0]->setDown(false);
}

template <class Bar, class Btn, std::size_t N>
void connectButtons(Bar* pBar, const std::array<Btn*, N>& buttons, int iWidth, int iHeight,
                    const QSize& sizeIcon)
{
    pBar->addStretch();
    for (Btn* pButton : buttons) {
        for (Btn* pOther : buttons) {
            if (pOther != pButton)
                QObject::connect(pButton, &Btn::signalActive, pOther, &Btn::slotDisactive);
        }
        QObject::connect(pButton, &Btn::signalActive, pBar, &Bar::slotTabBtnSelected);
    }
    for (Btn* pButton : buttons) {
        pButton->setFixedWidth(iWidth);
        pButton->setFixedHeight(iHeight);
        pButton->setIconSize(sizeIcon);
    }
}

template <class Btn, std::size_t N> int indexOf(const std::array<Btn*, N>& buttons, QObject* pSender)
{
    const auto it = std::find(buttons.begin(), buttons.end(), pSender);
    return it == buttons.end() ? -1 : static_cast<int>(it - buttons.begin());
}

template <class Btn, std::size_t N>
void showFirst(const QLayout* pLayout, const std::array<Btn*, N>& buttons, int iCount)
{
    // Before the bar is installed on a widget the buttons have no parent, and showing one would open
    // it as a window of its own; record the choice so that it applies once they are parented.
    const bool bInstalled = pLayout->parentWidget() != nullptr;
    for (std::size_t i = 0; i < N; ++i) {
        const bool bShown = static_cast<int>(i) < iCount;
        Btn* pButton = buttons[i];
        if (bInstalled || !bShown)
            pButton->setVisible(bShown);
        else
            pButton->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
    }
}

} // namespace TabBarUtil
