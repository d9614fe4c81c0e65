#include "ui/frame/ModifyAccountDialog.h"

#include "settings/Credentials.h"
#include "settings/Settings.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

CModifyAccountDialog::CModifyAccountDialog(QWidget* parent, Qt::WindowFlags f)
    : CBaseDialog(parent, f), m_pLabelOriAccount(createLabel("LabelOriAccount")),
      m_pLineEditOriAccount(createField("LineEditOriAccount", false)),
      m_pLableOriPassword(createLabel("LableOriPassword")),
      m_pLineEditOriPassword(createField("LineEditOriPassword", true)),
      m_pLabelCurAccount(createLabel("LabelCurAccount")),
      m_pLineEditCurAccount(createField("LineEditCurAccount", false)),
      m_pLabelCurPassword(createLabel("LabelCurPassword")),
      m_pLineEditCurPassword(createField("LineEditCurPassword", true)),
      m_pLabelCurPasswordAck(createLabel("LabelCurPasswordAck")),
      m_pLineEditCurPasswordAck(createField("LineEditCurPasswordAck", true)), m_pBtnOK(new QPushButton),
      m_pLayoutBase(new QGridLayout)
{
    m_pBtnOK->setObjectName(QStringLiteral("BtnOK"));

    // 1x1 spacers that grow both ways keep the form centred in the dialog.
    auto spacer = [] { return new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding); };
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(spacer(), 0, 0, 1, 4);
    m_pLayoutBase->addItem(spacer(), 1, 0, 8, 1);
    const QList<QPair<QLabel*, QLineEdit*>> rows = {{m_pLabelOriAccount, m_pLineEditOriAccount},
                                                    {m_pLableOriPassword, m_pLineEditOriPassword},
                                                    {m_pLabelCurAccount, m_pLineEditCurAccount},
                                                    {m_pLabelCurPassword, m_pLineEditCurPassword},
                                                    {m_pLabelCurPasswordAck, m_pLineEditCurPasswordAck}};
    for (int i = 0; i < rows.size(); ++i) {
        m_pLayoutBase->addWidget(rows.at(i).first, i + 1, 1);
        m_pLayoutBase->addWidget(rows.at(i).second, i + 1, 2);
    }
    m_pLayoutBase->addWidget(m_pBtnOK, 6, 2, Qt::AlignRight | Qt::AlignVCenter);
    m_pLayoutBase->addItem(spacer(), 1, 3, 8, 1);
    m_pLayoutBase->addItem(spacer(), 7, 0, 1, 4);
    m_pBaseLayout->addLayout(m_pLayoutBase);

    QMetaObject::connectSlotsByName(this);
    retranslate();
}

QLabel* CModifyAccountDialog::createLabel(const char* pszObjectName)
{
    auto* pLabel = new QLabel;
    pLabel->setObjectName(QLatin1String(pszObjectName));
    pLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return pLabel;
}

QLineEdit* CModifyAccountDialog::createField(const char* pszObjectName, bool bPassword)
{
    auto* pEdit = new QLineEdit;
    pEdit->setObjectName(QLatin1String(pszObjectName));
    pEdit->setEchoMode(bPassword ? QLineEdit::Password : QLineEdit::Normal);
    return pEdit;
}

void CModifyAccountDialog::retranslate()
{
    CBaseDialog::retranslate();
    m_pLabelOriAccount->setText(tr("OriAccount"));
    m_pLableOriPassword->setText(tr("OriPassword"));
    m_pLabelCurAccount->setText(tr("CurAccount"));
    m_pLabelCurPassword->setText(tr("CurPassword"));
    m_pLabelCurPasswordAck->setText(tr("CurPasswordAck"));
    m_pBtnOK->setText(tr("OK"));
}

QString CModifyAccountDialog::firstProblem() const
{
    const QString strOriAccount = m_pLineEditOriAccount->text();
    const QString strOriPassword = m_pLineEditOriPassword->text();
    const QString strCurPassword = m_pLineEditCurPassword->text();
    const QString strCurPasswordAck = m_pLineEditCurPasswordAck->text();
    // Every emptiness check comes before the credentials are looked at.
    if (strOriAccount.isEmpty())
        return tr("Please input original account.");
    if (strOriPassword.isEmpty())
        return tr("Please input original password.");
    if (m_pLineEditCurAccount->text().isEmpty())
        return tr("Please input new account.");
    if (strCurPassword.isEmpty())
        return tr("Please input new password.");
    if (strCurPasswordAck.isEmpty())
        return tr("Please input new password acknowledge.");
    if (strCurPassword != strCurPasswordAck)
        return tr("Password ack is not equal to password.");
    if (!acceptsLoginCredentials(strOriAccount, strOriPassword))
        return tr("Original account or password is incorrect.");
    return QString();
}

void CModifyAccountDialog::on_BtnOK_clicked()
{
    const QString strProblem = firstProblem();
    if (!strProblem.isEmpty()) {
        QMessageBox::warning(this, tr("warning"), strProblem, QMessageBox::Ok);
        return;
    }
    // The new account must be typed at the next start: nothing logs in by itself or fills the fields.
    g_settings.autoLogin = false;
    g_settings.rememberPassword = false;
    g_settings.loginAccount = m_pLineEditCurAccount->text();
    g_settings.loginPassword = m_pLineEditCurPassword->text();
    saveSettings();
    QMessageBox::information(this, tr("info"), tr("Modify success."), QMessageBox::Ok);
    accept();
}
