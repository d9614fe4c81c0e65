#include "ui/system/SmtpConfigWidget.h"

#include "mail/MailDelivery.h"
#include "settings/Settings.h"

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
    : QWidget(parent), m_pLabelAccount(makeLabel(this, QStringLiteral("LabelAccount"))),
      m_pLineEditAccount(makeLineEdit(this, QStringLiteral("LineEditAccount"), g_settings.smtpAccount)),
      m_pLabelPassword(makeLabel(this, QStringLiteral("LabelPassword"))),
      m_pLineEditPassword(makeLineEdit(this, QStringLiteral("LineEditPassword"), g_settings.smtpPassword)),
      m_pLabelHost(makeLabel(this, QStringLiteral("LabelHost"))),
      m_pLineEditHost(makeLineEdit(this, QStringLiteral("LineEditHost"), g_settings.smtpHost)),
      m_pCheckSSL(new QCheckBox(this)), m_pCheckStartTLS(new QCheckBox(this)),
      m_pLabelPort(makeLabel(this, QStringLiteral("LabelPort"))), m_pSpinPort(new QSpinBox(this)),
      m_pLabelReciever(makeLabel(this, QStringLiteral("LabelReciever"))),
      m_pLineEditReciever(makeLineEdit(this, QStringLiteral("LineEditReciever"), g_settings.smtpReceiver)),
      m_pLabelSender(makeLabel(this, QStringLiteral("LabelSender"))),
      m_pLineEditSender(makeLineEdit(this, QStringLiteral("LineEditSender"), g_settings.smtpSender)),
      m_pCheckUnencryptedPassword(new QCheckBox(this)), m_pBtnOK(new QPushButton(this)),
      m_pBtnTest(new QPushButton(this)), m_pLayoutBase(new QGridLayout(this))
{
    m_pCheckSSL->setObjectName(QStringLiteral("CheckSSL"));
    m_pCheckStartTLS->setObjectName(QStringLiteral("CheckStartTLS"));
    m_pCheckUnencryptedPassword->setObjectName(QStringLiteral("CheckUnencryptedPassword"));
    m_pSpinPort->setObjectName(QStringLiteral("SpinPort"));
    m_pBtnOK->setObjectName(QStringLiteral("BtnOK"));
    m_pBtnTest->setObjectName(QStringLiteral("BtnTest"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));

    m_pLineEditPassword->setEchoMode(QLineEdit::Password);
    m_pCheckSSL->setChecked(g_settings.smtpSsl);
    m_pCheckStartTLS->setChecked(g_settings.smtpStartTls && !g_settings.smtpSsl);
    m_pCheckUnencryptedPassword->setChecked(g_settings.smtpAllowUnencryptedPassword);
    // One way of encrypting at a time.
    connect(m_pCheckSSL, &QCheckBox::toggled, m_pCheckStartTLS, [this](bool bOn) {
        if (bOn)
            m_pCheckStartTLS->setChecked(false);
    });
    connect(m_pCheckStartTLS, &QCheckBox::toggled, m_pCheckSSL, [this](bool bOn) {
        if (bOn)
            m_pCheckSSL->setChecked(false);
    });
    m_pSpinPort->setRange(0, 65535);
    m_pSpinPort->setValue(g_settings.smtpPort);

    const Qt::Alignment labelAlign = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment editAlign = Qt::AlignLeft | Qt::AlignVCenter;
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0, 1, 3);
    // The two kinds of encryption one above the other, as the one choice they are.
    const QList<QPair<QLabel*, QWidget*>> rows{{m_pLabelAccount, m_pLineEditAccount},
                                               {m_pLabelPassword, m_pLineEditPassword},
                                               {m_pLabelHost, m_pLineEditHost},
                                               {nullptr, m_pCheckSSL},
                                               {nullptr, m_pCheckStartTLS},
                                               {m_pLabelPort, m_pSpinPort},
                                               {m_pLabelReciever, m_pLineEditReciever},
                                               {m_pLabelSender, m_pLineEditSender},
                                               {nullptr, m_pCheckUnencryptedPassword}};
    int iRow = 1;
    for (const auto& row : rows) {
        if (row.first)
            m_pLayoutBase->addWidget(row.first, iRow, 0, labelAlign);
        const bool bOneColumn = row.second == m_pCheckSSL || row.second == m_pCheckStartTLS;
        m_pLayoutBase->addWidget(row.second, iRow, 1, 1, bOneColumn ? 1 : 2, editAlign);
        ++iRow;
    }
    m_pLayoutBase->addWidget(m_pBtnOK, iRow, 0, labelAlign);
    m_pLayoutBase->addItem(new QSpacerItem(8, 1, QSizePolicy::Fixed, QSizePolicy::Fixed), iRow, 1);
    m_pLayoutBase->addWidget(m_pBtnTest, iRow, 2, editAlign);
    m_pLayoutBase->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), iRow + 1, 0,
                           1, 3);

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
    m_pCheckStartTLS->setText(tr("STARTTLS"));
    m_pLabelSender->setText(tr("Sender"));
    m_pLineEditSender->setPlaceholderText(tr("the account"));
    m_pCheckUnencryptedPassword->setText(tr("Allow the password without encryption"));
    m_pBtnOK->setText(tr("OK"));
    m_pBtnTest->setText(tr("Test"));
}

bool CSmtpConfigWidget::checkSender()
{
    // Empty means the account. Anything else must be a mail address: servers refuse other senders, and a
    // line break would end the command it goes into.
    const QString strSender = m_pLineEditSender->text();
    const int iAt = strSender.indexOf(QLatin1Char('@'));
    bool bUsable = strSender.isEmpty() || (iAt > 0 && iAt < strSender.size() - 1);
    for (const QChar c : strSender)
        bUsable = bUsable && !c.isSpace() && c.category() != QChar::Other_Control && c != QLatin1Char('<') &&
                  c != QLatin1Char('>');
    if (!bUsable)
        showResult(true, tr("critical"), tr("Sender address invalid."),
                   tr("A sender address holds an \"@\" and no spaces or line breaks; leave it empty to send "
                      "from the account."));
    return bUsable;
}

void CSmtpConfigWidget::showResult(bool bCritical, const QString& strTitle, const QString& strText,
                                   const QString& strDetail)
{
    QMessageBox box(bCritical ? QMessageBox::Critical : QMessageBox::Information, strTitle, strText,
                    QMessageBox::Ok, this);
    box.setInformativeText(strDetail);
    // The detail holds what a mail server said: shown as text, never as markup with links to follow.
    for (QLabel* pLabel : box.findChildren<QLabel*>())
        pLabel->setTextFormat(Qt::PlainText);
    box.exec();
}

void CSmtpConfigWidget::on_BtnOK_clicked()
{
    if (!checkSender())
        return;
    g_settings.smtpAccount = m_pLineEditAccount->text();
    g_settings.smtpPassword = m_pLineEditPassword->text();
    g_settings.smtpHost = m_pLineEditHost->text();
    g_settings.smtpSsl = m_pCheckSSL->isChecked();
    g_settings.smtpPort = m_pSpinPort->value();
    g_settings.smtpReceiver = m_pLineEditReciever->text();
    g_settings.smtpStartTls = m_pCheckStartTLS->isChecked();
    g_settings.smtpSender = m_pLineEditSender->text();
    g_settings.smtpAllowUnencryptedPassword = m_pCheckUnencryptedPassword->isChecked();
    saveSettings();
}

void CSmtpConfigWidget::on_BtnTest_clicked()
{
    if (!checkSender())
        return;
    MailJob job;
    job.host = m_pLineEditHost->text();
    job.port = m_pSpinPort->value();
    job.ssl = m_pCheckSSL->isChecked();
    job.startTls = m_pCheckStartTLS->isChecked();
    job.allowUnencryptedPassword = m_pCheckUnencryptedPassword->isChecked();
    job.account = m_pLineEditAccount->text();
    job.password = m_pLineEditPassword->text();
    job.sender = m_pLineEditSender->text();
    job.receiver = m_pLineEditReciever->text();
    job.subject = QStringLiteral("smtp test");
    job.body = QStringLiteral("test");

    SmtpFailure failure;
    if (deliverMail(job, nullptr, &failure)) {
        showResult(false, tr("information"), tr("Send email ok."), QString());
        return;
    }
    const QString strStep = failure.step == SmtpFailure::Connect ? tr("Connect to host fail.")
                            : failure.step == SmtpFailure::Login ? tr("Login fail.")
                                                                 : tr("Send email fail.");
    showResult(true, tr("critical"), strStep, failure.translatedText());
}
