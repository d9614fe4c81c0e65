#include "ui/frame/TitleBar.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QVariant>
#include <cmath>

CTitleBar::CTitleBar(QWidget* parent)
    : QHBoxLayout(parent), m_pLabelIcon(new QLabel), m_pLabelCaption(new QLabel),
      m_pBtnMenu(createButton("BtnMenu")), m_pBtnMin(createButton("BtnMin")),
      m_pBtnMax(createButton("BtnMax")), m_pBtnClose(createButton("BtnClose")),
      m_fontTitle(QStringLiteral("Microsoft YaHei"), 10, 50)
{
    m_pLabelIcon->setObjectName(QStringLiteral("LabelIcon"));
    m_pLabelIcon->setScaledContents(true);

    m_pLabelCaption->setObjectName(QStringLiteral("LabelCaption"));
    // Titles carry device names, which may hold anything: never taken for markup.
    m_pLabelCaption->setTextFormat(Qt::PlainText);
    m_pLabelCaption->setFont(m_fontTitle);
    m_pLabelCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = m_pLabelCaption->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_pLabelCaption->setPalette(palette);

    m_pBtnMax->setProperty("windowMaximized", false);

    setTitleHeight(30);

    addSpacing(6);
    addWidget(m_pLabelIcon, 0, Qt::AlignCenter);
    addSpacing(6);
    addWidget(m_pLabelCaption, 0, Qt::AlignTop);
    addStretch();
    for (QPushButton* pButton : {m_pBtnMenu, m_pBtnMin, m_pBtnMax, m_pBtnClose})
        addWidget(pButton, 0, Qt::AlignTop);
    setSpacing(0);
    setContentsMargins(0, 0, 0, 0);

    connect(m_pBtnMenu, &QPushButton::clicked, this, &CTitleBar::signalBtnMenuClicked);
    connect(m_pBtnMin, &QPushButton::clicked, this, &CTitleBar::signalBtnMinClicked);
    connect(m_pBtnMax, &QPushButton::clicked, this, &CTitleBar::signalBtnMaxClicked);
    connect(m_pBtnClose, &QPushButton::clicked, this, &CTitleBar::signalBtnCloseClicked);
}

QPushButton* CTitleBar::createButton(const char* szObjectName)
{
    auto* pButton = new QPushButton;
    pButton->setObjectName(QLatin1String(szObjectName));
    // Enter in a dialog must not close or minimise it through a title button.
    pButton->setAutoDefault(false);
    return pButton;
}

void CTitleBar::setTitle(const QString& strTitle)
{
    m_strTitle = strTitle;
    m_pLabelCaption->setText(strTitle);
}

void CTitleBar::setIcon(const QString& strPath)
{
    m_pLabelIcon->setPixmap(QPixmap(strPath));
}

void CTitleBar::setTitleHeight(int iHeight)
{
    m_iHeight = iHeight;
    const int iIconSize = static_cast<int>(std::lround(iHeight * 0.7));
    m_pLabelIcon->setFixedSize(iIconSize, iIconSize);
    m_pLabelCaption->setMinimumHeight(iHeight);
    m_pLabelCaption->setMaximumHeight(iHeight);
    for (QPushButton* pButton : {m_pBtnMenu, m_pBtnMin, m_pBtnMax, m_pBtnClose})
        pButton->setFixedSize(iHeight, iHeight);
}

void CTitleBar::setMenuButtonVisible(bool bVisible)
{
    m_pBtnMenu->setVisible(bVisible);
}

void CTitleBar::setMinButtonVisible(bool bVisible)
{
    m_pBtnMin->setVisible(bVisible);
}

void CTitleBar::setMaxButtonVisible(bool bVisible)
{
    m_pBtnMax->setVisible(bVisible);
}

void CTitleBar::setMaximizedState(bool bMaximized)
{
    m_pBtnMax->setProperty("windowMaximized", bMaximized);
    // Property selectors in the style sheet are only re-evaluated on polish.
    m_pBtnMax->style()->unpolish(m_pBtnMax);
    m_pBtnMax->style()->polish(m_pBtnMax);
    m_pBtnMax->update();
}

void CTitleBar::retranslate()
{
    m_pLabelCaption->setText(m_strTitle);
}
