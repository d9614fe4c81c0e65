#include "ui/power/ReportExportDialog.h"

#include "common/Clock.h"
#include "history/HistoryReader.h"
#include "power/MonthlyReport.h"
#include "ui/power/ReportPdf.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
enum Format
{
    FormatCsv,
    FormatPdf
};
// Months offered, this one included (it reports what is there so far).
constexpr int kMonths = 25;
} // namespace

CReportExportDialog::CReportExportDialog(const QString& strStorePath, QWidget* parent)
    : QDialog(parent), m_strStorePath(strStorePath)
{
    setObjectName(QStringLiteral("ReportExportDialog"));
    setWindowTitle(tr("Export monthly report"));
    setMinimumWidth(480);

    m_pComboMonth = new QComboBox;
    m_pComboMonth->setObjectName(QStringLiteral("ComboMonth"));
    const QDate today = Clock::now().toLocalTime().date();
    for (int i = 0; i < kMonths; ++i)
        m_pComboMonth->addItem(
            QDate(today.year(), today.month(), 1).addMonths(-i).toString(QStringLiteral("yyyy-MM")));
    m_pComboMonth->setCurrentIndex(1);

    m_pComboGroup = new QComboBox;
    m_pComboGroup->setObjectName(QStringLiteral("ComboGroup"));
    m_pComboGroup->addItem(tr("All groups"), QString());
    CHistoryReader reader(m_strStorePath);
    for (const QString& strGroup : CMonthlyReport::knownGroups(reader))
        m_pComboGroup->addItem(strGroup, strGroup);

    auto* pRadioCsv = new QRadioButton(tr("CSV"));
    pRadioCsv->setObjectName(QStringLiteral("RadioCsv"));
    auto* pRadioPdf = new QRadioButton(tr("PDF"));
    pRadioPdf->setObjectName(QStringLiteral("RadioPdf"));
    m_pFormat = new QButtonGroup(this);
    m_pFormat->addButton(pRadioCsv, FormatCsv);
    m_pFormat->addButton(pRadioPdf, FormatPdf);
    pRadioPdf->setChecked(true);
    auto* pFormats = new QHBoxLayout;
    pFormats->addWidget(pRadioCsv);
    pFormats->addWidget(pRadioPdf);
    pFormats->addStretch();

    m_pEditFile = new QLineEdit;
    m_pEditFile->setObjectName(QStringLiteral("EditFile"));
    auto* pBrowse = new QPushButton(tr("Choose..."));
    pBrowse->setObjectName(QStringLiteral("ButtonBrowse"));
    auto* pFile = new QHBoxLayout;
    pFile->addWidget(m_pEditFile, 1);
    pFile->addWidget(pBrowse);

    m_pLabelError = new QLabel;
    m_pLabelError->setObjectName(QStringLiteral("LabelError"));
    m_pLabelError->setWordWrap(true);
    m_pLabelError->setStyleSheet(QStringLiteral("color: #c62828;"));
    m_pLabelError->hide();

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* pExport = pButtons->addButton(tr("Export"), QDialogButtonBox::AcceptRole);
    pExport->setObjectName(QStringLiteral("ButtonExport"));

    auto* pForm = new QFormLayout(this);
    pForm->addRow(tr("Month"), m_pComboMonth);
    pForm->addRow(tr("Group"), m_pComboGroup);
    pForm->addRow(tr("Format"), pFormats);
    pForm->addRow(tr("File"), pFile);
    pForm->addRow(m_pLabelError);
    pForm->addRow(new QLabel(tr("Figures are apparent power and energy (VA, kVAh).")));
    pForm->addRow(pButtons);

    connect(pBrowse, &QPushButton::clicked, this, &CReportExportDialog::slotBrowse);
    connect(pExport, &QPushButton::clicked, this, &CReportExportDialog::slotExport);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pFormat, &QButtonGroup::idClicked, this, &CReportExportDialog::slotFormatChanged);
    connect(m_pComboMonth, &QComboBox::currentTextChanged, this, &CReportExportDialog::slotFormatChanged);
    slotFormatChanged();
}

// The proposed file follows month and format until the operator names one elsewhere.
void CReportExportDialog::slotFormatChanged()
{
    const QString strSuffix =
        m_pFormat->checkedId() == FormatPdf ? QStringLiteral(".pdf") : QStringLiteral(".csv");
    const QFileInfo info(m_pEditFile->text());
    const QString strDir = m_pEditFile->text().isEmpty() ? QDir::homePath() : info.absolutePath();
    if (!m_pEditFile->text().isEmpty() && !info.fileName().startsWith(QLatin1String("rackmind-report-")))
        return;
    m_pEditFile->setText(
        QDir(strDir).filePath(QStringLiteral("rackmind-report-") + m_pComboMonth->currentText() + strSuffix));
}

void CReportExportDialog::slotBrowse()
{
    const bool bPdf = m_pFormat->checkedId() == FormatPdf;
    const QString strPath =
        QFileDialog::getSaveFileName(this, windowTitle(), m_pEditFile->text(),
                                     bPdf ? tr("PDF documents (*.pdf)") : tr("CSV files (*.csv)"));
    if (!strPath.isEmpty())
        m_pEditFile->setText(strPath);
}

void CReportExportDialog::slotExport()
{
    const QString strPath = m_pEditFile->text().trimmed();
    QString strError;
    CMonthlyReport report;
    if (strPath.isEmpty()) {
        strError = tr("Choose a file to write.");
    } else {
        CHistoryReader reader(m_strStorePath);
        if (report.build(reader, m_pComboMonth->currentText(), m_pComboGroup->currentData().toString()) !=
            CMonthlyReport::Done)
            strError = report.error();
        else if (m_pFormat->checkedId() == FormatPdf ? !ReportPdf::write(report, strPath, &strError)
                                                     : !report.writeCsv(strPath, &strError))
            strError = tr("The file could not be written: %1").arg(strError);
    }
    m_pLabelError->setText(strError);
    m_pLabelError->setVisible(!strError.isEmpty());
    if (strError.isEmpty())
        accept();
}
