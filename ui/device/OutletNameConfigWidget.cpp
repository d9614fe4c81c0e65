#include "ui/device/OutletNameConfigWidget.h"

#include "device/Pdu.h"
#include "ui/device/ConfigFields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QSpacerItem>

#include <algorithm>
#include <iterator>

namespace {

// The names of all eight outlets lie back to back, kNameWidth bytes each.
char* outletNameField(PduInfo& info, int iIndex)
{
    return reinterpret_cast<char*>(&info.outletName) + iIndex * COutletNameConfigWidget::kNameWidth;
}

const char* outletNameField(const PduInfo& info, int iIndex)
{
    return reinterpret_cast<const char*>(&info.outletName) + iIndex * COutletNameConfigWidget::kNameWidth;
}

} // namespace

COutletNameConfigWidget::COutletNameConfigWidget(QWidget* parent)
    : QWidget(parent)
{
    static_assert(sizeof(PduInfo::outletName) == kOutletCount * kNameWidth, "eight 10-byte names");
    m_pValidator = new QRegExpValidator(
        QRegExp(QStringLiteral("[a-zA-Z0-9]+$"), Qt::CaseSensitive, QRegExp::RegExp), this);

    m_pLayoutBase = new QGridLayout(this);
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 0, 0, 1, 2);
    for (int i = 0; i < kOutletCount; ++i) {
        m_pLabels[i] = new QLabel(this);
        m_pLabels[i]->setObjectName(QStringLiteral("LabelOutletName"));
        m_pLabels[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_pEdits[i] = new QLineEdit(this);
        m_pEdits[i]->setObjectName(QStringLiteral("LineEditOutletName"));
        m_pEdits[i]->setMinimumWidth(100);
        // Nine characters always leave the field's closing zero byte.
        m_pEdits[i]->setMaxLength(kNameWidth - 1);
        m_pEdits[i]->setValidator(m_pValidator);
        m_pLayoutBase->addWidget(m_pLabels[i], i + 1, 0, Qt::AlignRight);
        m_pLayoutBase->addWidget(m_pEdits[i], i + 1, 1, Qt::AlignLeft);
        // All eight editors share one object name, so each is wired to the slot by hand.
        connect(m_pEdits[i], &QLineEdit::textChanged, this,
                &COutletNameConfigWidget::on_LineEditOutletName_textChanged);
    }
    m_pLayoutBase->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 9, 0, 1, 2);
    retranslate();
}

void COutletNameConfigWidget::setPdu(CPdu* pdu)
{
    m_pPdu = pdu;
    loadFromPdu();
}

void COutletNameConfigWidget::loadFromPdu()
{
    if (!m_pPdu)
        return;
    const PduInfo& info = m_pPdu->stInfo;
    for (int i = 0; i < kOutletCount; ++i) {
        const QSignalBlocker block(m_pEdits[i]);
        m_pEdits[i]->setText(fieldString(outletNameField(info, i), kNameWidth));
    }
    // Each name must hold what is shown; a 10-character name shows 9 and so stays a visible change.
    for (int i = 0; i < kOutletCount; ++i)
        storeName(i, m_pEdits[i]->text());
    emit signalCheckNeedDownload();
}

void COutletNameConfigWidget::storeName(int iIndex, const QString& strText)
{
    storeLatin1Text(strText, outletNameField(m_pPdu->stSetInfo, iIndex), kNameWidth);
}

void COutletNameConfigWidget::retranslate()
{
    for (int i = 0; i < kOutletCount; ++i)
        m_pLabels[i]->setText(tr("Outlet%1").arg(i + 1));
}

void COutletNameConfigWidget::on_LineEditOutletName_textChanged(const QString& text)
{
    if (!m_pPdu)
        return;
    const auto pFound = std::find(std::cbegin(m_pEdits), std::cend(m_pEdits), sender());
    if (pFound == std::cend(m_pEdits))
        return;
    storeName(int(pFound - std::cbegin(m_pEdits)), text);
    emit signalCheckNeedDownload();
}
