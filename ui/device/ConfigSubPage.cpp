#include "ui/device/ConfigSubPage.h"

#include "device/Pdu.h"
#include "ui/device/ConfigFields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpacerItem>

CConfigSubPage::CConfigSubPage(QWidget* parent, quint8 cmdSection) : QWidget(parent), m_cmdSection(cmdSection)
{
}

void CConfigSubPage::setPdu(CPdu* pdu)
{
    m_pPdu = pdu;
    loadFromPdu();
}

CPdu* CConfigSubPage::pdu() const
{
    return m_pPdu;
}

void CConfigSubPage::loadFromPdu()
{
    if (!m_pPdu)
        return;
    showValues(m_pPdu->stInfo);
    storeShownValues(m_pPdu->stSetInfo);
    m_baLoaded = payloadFor(m_cmdSection, m_pPdu->stInfo);
    m_baStored = payloadFor(m_cmdSection, m_pPdu->stSetInfo);
    emit signalCheckNeedDownload();
}

void CConfigSubPage::followDevice()
{
    if (!m_pPdu)
        return;
    const QByteArray baDevice = payloadFor(m_cmdSection, m_pPdu->stInfo);
    const QByteArray baSet = payloadFor(m_cmdSection, m_pPdu->stSetInfo);
    if (baSet == baDevice) {
        // The unit holds what the page shows (an edit it has applied): nothing of the page's is pending.
        m_baLoaded = baDevice;
        m_baStored = baSet;
    } else if (baDevice != m_baLoaded && baSet == m_baStored) {
        loadFromPdu();
    }
}

QGridLayout* CConfigSubPage::createFormLayout(int iMargin, int iRows)
{
    auto* pLayout = new QGridLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutBase"));
    pLayout->setContentsMargins(iMargin, iMargin, iMargin, iMargin);
    pLayout->setSpacing(4);
    pLayout->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 0, 0, 1, 2);
    // Row iRows + 1 is left for the line that says why a text was refused.
    pLayout->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), iRows + 2, 0, 1,
                     2);
    m_pFormLayout = pLayout;
    m_iFormRows = iRows;
    return pLayout;
}

void CConfigSubPage::setTextField(QLineEdit* pEdit, int iBytes)
{
    pEdit->setValidator(new CFieldWidthValidator(iBytes, pEdit));
    // Never fewer bytes than characters: the byte count is the bound.
    pEdit->setMaxLength(iBytes);
    if (!m_pLabelTextHint) {
        m_pLabelTextHint = new QLabel(this);
        m_pLabelTextHint->setObjectName(QStringLiteral("LabelTextHint"));
        m_pLabelTextHint->setTextFormat(Qt::PlainText);
        m_pLabelTextHint->setWordWrap(true);
        m_pLabelTextHint->hide();
        m_pFormLayout->addWidget(m_pLabelTextHint, m_iFormRows + 1, 0, 1, -1);
    }
    connect(pEdit, &QLineEdit::inputRejected, this, [this, iBytes] {
        m_pLabelTextHint->setText(tr("The text is too long: the unit keeps at most %1 bytes here, and each "
                                     "character outside ASCII takes 2 to 4 of them.")
                                      .arg(iBytes));
        m_pLabelTextHint->show();
    });
    connect(pEdit, &QLineEdit::textEdited, m_pLabelTextHint, &QWidget::hide);
}

QLabel* CConfigSubPage::addFormRow(QGridLayout* pLayout, int iRow, const QString& strLabelName,
                                   QWidget* pEditor)
{
    auto* pLabel = new QLabel(this);
    pLabel->setObjectName(strLabelName);
    pLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pLayout->addWidget(pLabel, iRow, 0);
    pLayout->addWidget(pEditor, iRow, 1, Qt::AlignLeft | Qt::AlignVCenter);
    return pLabel;
}
