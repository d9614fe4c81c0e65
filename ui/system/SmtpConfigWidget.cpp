#include "ui/system/SmtpConfigWidget.h"

#include "settings/Settings.h"
#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"
#include "mail/MimeText.h"
#include "mail/SmtpClient.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

namespace {

QLabel* makeLabel(QWidget* parent, const QString& strName)
{
    auto* pLabel = new QLabel(parent);
    pLabel->setObjectName(strName);
    return pLabel;
}

QLineEdit* makeLineEdit(QWidget* parent, const QString& strName, const QString& strText)
{
    auto* pEdit = new QLineEdit(strText, parent);
    pEdit->setObjectName(strName);
    pEdit->setMinimumWidth(200);
    return pEdit;
}

} // namespace

CSmtpConfigWidget::CSmtpConfigWidget(QWidget* parent)
    : QWidget(parent)
    , m_pLabelAccount(makeLabel(this, QStringLiteral("LabelAccount")))
    , m_pLineEditAccount(makeLineEdit(this, QStringLiteral("LineEditAccount"), g_settings.smtpAccount))
    , m_pLabelPassword(makeLabel(this, QStringLiteral("LabelPassword")))
    , m_pLineEditPassword(makeLineEdit(this, QStringLiteral("LineEditPassword"), g_settings.smtpPassword))
    , m_pLabelHost(makeLabel(this, QStringLiteral("LabelHost")))
    , m_pLineEditHost(makeLineEdit(this, QStringLiteral("LineEditHost"), g_settings.smtpHost))
    , m_pCheckSSL(new QCheckBox(this))
    , m_pLabelPort(makeLabel(this, QStringLiteral("LabelPort")))
    , m_pSpinPort(new QSpinBox(this))
    , m_pLabelReciever(makeLabel(this, QStringLiteral("LabelReciever")))
    , m_pLineEditReciever(makeLineEdit(this, QStringLiteral("LineEditReciever"), g_settings.smtpReceiver))
    , m_pBtnOK(new QPushButton(this))
    , m_pBtnTest(new QPushButton(this))
    , m_pLayoutBase(new QGridLayout(this))
{
    m_pCheckSSL->setObjectName(QStringLiteral("CheckSSL"));
    m_pSpinPort->setObjectName(QStringLiteral("SpinPort"));
    m_pBtnOK->setObjectName(QStringLiteral("BtnOK"));
    m_pBtnTest->setObjectName(QStringLiteral("BtnTest"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));

    m_pLineEditPassword->setEchoMode(QLineEdit::Password);
    m_pCheckSSL->setChecked(g_settings.smtpSsl);
    m_pSpinPort->setRange(0, 65535);
    m_pSpinPort->setValue(g_settings.smtpPort);

    const Qt::Alignment labelAlign = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment editAlign = Qt::AlignLeft | Qt::AlignVCenter;
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0, 1, 3);
    const QList<QPair<QLabel*, QWidget*>> rows{{m_pLabelAccount, m_pLineEditAccount},
                                               {m_pLabelPassword, m_pLineEditPassword},
                                               {m_pLabelHost, m_pLineEditHost},
                                               {nullptr, m_pCheckSSL},
                                               {m_pLabelPort, m_pSpinPort},
                                               {m_pLabelReciever, m_pLineEditReciever}};
    int iRow = 1;
    for (const auto& row : rows) {
        if (row.first)
            m_pLayoutBase->addWidget(row.first, iRow, 0, labelAlign);
        m_pLayoutBase->addWidget(row.second, iRow, 1, 1, row.first ? 2 : 1, editAlign);
        ++iRow;
    }
    m_pLayoutBase->addWidget(m_pBtnOK, iRow, 0, labelAlign);
    m_pLayoutBase->addItem(new QSpacerItem(8, 1, QSizePolicy::Fixed, QSizePolicy::Fixed), iRow, 1);
    m_pLayoutBase->addWidget(m_pBtnTest, iRow, 2, editAlign);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), iRow + 1, 0, 1, 3);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

void CSmtpConfigWidget::retranslate()
{
    m_pLabelAccount->setText(tr("Account"));
    m_pLabelPassword->setText(tr("Password"));
    m_pLabelHost->setText(tr("Host"));
    m_pLabelPort->setText(tr("Port"));
    m_pLabelReciever->setText(tr("Receiver"));
    m_pCheckSSL->setText(tr("SSL"));
    m_pBtnOK->setText(tr("OK"));
    m_pBtnTest->setText(tr("Test"));
}

void CSmtpConfigWidget::on_BtnOK_clicked()
{
    g_settings.smtpAccount = m_pLineEditAccount->text();
    g_settings.smtpPassword = m_pLineEditPassword->text();
    g_settings.smtpHost = m_pLineEditHost->text();
    g_settings.smtpSsl = m_pCheckSSL->isChecked();
    g_settings.smtpPort = m_pSpinPort->value();
    g_settings.smtpReceiver = m_pLineEditReciever->text();
    saveSettings();
}

void CSmtpConfigWidget::on_BtnTest_clicked()
{
    const QString strAccount = m_pLineEditAccount->text();
    SmtpClient client(m_pLineEditHost->text(), m_pSpinPort->value(),
                      m_pCheckSSL->isChecked() ? SmtpClient::SslConnection : SmtpClient::TcpConnection);
    client.setUser(strAccount);
    client.setPassword(m_pLineEditPassword->text());

    MimeMessage message(true);
    message.setSender(new EmailAddress(strAccount, QString()));
    message.addRecipient(new EmailAddress(m_pLineEditReciever->text(), QString()), MimeMessage::To);
    message.setSubject(QStringLiteral("smtp test"));
    MimeText text{QString()};
    text.setText(QStringLiteral("test"));
    message.addPart(&text);

    if (!client.connectToHost()) {
        QMessageBox::critical(this, tr("critical"), tr("Connect to host fail."));
        return;
    }
    if (!client.login()) {
        QMessageBox::critical(this, tr("critical"), tr("Login fail."));
        return;
    }
    if (!client.sendMail(message)) {
        QMessageBox::critical(this, tr("critical"), tr("Send email fail."));
        return;
    }
    QMessageBox::information(this, tr("information"), tr("Send email ok."));
    client.quit();
}
