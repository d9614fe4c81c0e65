#include "ui/frame/LanguageSelectDialog.h"

#include "settings/Catalogues.h"
#include "settings/Settings.h"
#include "ui/frame/TitleBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

CLanguageSelectDialog::CLanguageSelectDialog(QWidget* parent, Qt::WindowFlags f)
    : CBaseDialog(parent, f), m_pLabelLanguage(new QLabel), m_pComboLanguage(new QComboBox),
      m_pLayoutCenter(new QHBoxLayout), m_pBtnOk(new QPushButton), m_pLayoutBottom(new QHBoxLayout)
{
    m_pTitleBar->setMenuButtonVisible(false);
    m_pTitleBar->setMinButtonVisible(false);
    m_pTitleBar->setMaxButtonVisible(false);

    m_pLabelLanguage->setObjectName(QStringLiteral("LabelLanguage"));
    m_pLabelLanguage->setText(QStringLiteral("Language"));
    m_pLabelLanguage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_pComboLanguage->setObjectName(QStringLiteral("ComboLanguage"));
    m_pComboLanguage->addItems(
        {QStringLiteral("English"), QStringLiteral("简体中文"), QStringLiteral("繁體中文")});

    m_pLayoutCenter->setObjectName(QStringLiteral("LayoutCenter"));
    m_pLayoutCenter->setContentsMargins(2, 2, 2, 2);
    m_pLayoutCenter->setSpacing(4);
    m_pLayoutCenter->addWidget(m_pLabelLanguage, 0, Qt::AlignRight | Qt::AlignVCenter);
    m_pLayoutCenter->addWidget(m_pComboLanguage, 0, Qt::AlignLeft | Qt::AlignVCenter);

    m_pBtnOk->setObjectName(QStringLiteral("BtnOk"));
    m_pBtnOk->setText(QStringLiteral("OK"));
    m_pBtnOk->setFixedSize(80, 26);

    m_pLayoutBottom->setObjectName(QStringLiteral("LayoutBottom"));
    m_pLayoutBottom->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBottom->setSpacing(4);
    m_pLayoutBottom->addStretch();
    m_pLayoutBottom->addWidget(m_pBtnOk);
    m_pLayoutBottom->addStretch();

    m_pBaseLayout->addStretch(3);
    m_pBaseLayout->addLayout(m_pLayoutCenter);
    m_pBaseLayout->addStretch(4);
    m_pBaseLayout->addLayout(m_pLayoutBottom);
    m_pBaseLayout->addStretch(1);

    // A code the list does not know (a store edited by hand) leaves "English" selected rather than
    // an empty choice that OK would store as "not chosen".
    if (g_settings.language >= 1 && g_settings.language <= m_pComboLanguage->count())
        m_pComboLanguage->setCurrentIndex(g_settings.language - 1);

    QMetaObject::connectSlotsByName(this);
}

void CLanguageSelectDialog::on_BtnOk_clicked()
{
    g_settings.language = m_pComboLanguage->currentIndex() + 1;
    saveSettings();
    accept();
}

bool runLanguageSelection()
{
    auto pDialog = std::make_unique<CLanguageSelectDialog>();
    pDialog->setObjectName(QStringLiteral("LanguageSelectDialog"));
    pDialog->setFixedSize(350, 200);
    const bool bAccepted = pDialog->exec() == QDialog::Accepted;
    pDialog.reset();
    if (!bAccepted)
        return false;
    installCatalogues(g_settings.language);
    return true;
}
