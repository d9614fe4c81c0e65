#include "ui/power/ReportPdf.h"

#include "common/DeviceText.h"
#include "power/MonthlyReport.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

// One family for every page that draws Latin, Simplified and Traditional Chinese alike, so that names
// in any script come out in the same face.
QString reportFamily()
{
    const QFontDatabase db;
    for (const char* pszFamily : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC",
                                  "Noto Sans SC", "WenQuanYi Zen Hei", "Droid Sans Fallback"}) {
        if (db.hasFamily(QLatin1String(pszFamily)))
            return QLatin1String(pszFamily);
    }
    const QStringList listTraditional = db.families(QFontDatabase::TraditionalChinese);
    for (const QString& strFamily : db.families(QFontDatabase::SimplifiedChinese)) {
        if (listTraditional.contains(strFamily))
            return strFamily;
    }
    return QStringLiteral("Sans Serif");
}

// Share of the table's width per column: group, PDU, then the five figures.
const double s_adColumns[] = {0.19, 0.25, 0.12, 0.1, 0.1, 0.12, 0.12};

class CLayout
{
public:
    CLayout(QPainter& painter, const CMonthlyReport& report)
        : m_painter(painter), m_report(report), m_rectPage(painter.viewport())
    {
        m_fontBody = QFont(reportFamily());
        m_fontBody.setPointSizeF(9);
        m_fontBold = m_fontBody;
        m_fontBold.setBold(true);
        m_fontTitle = m_fontBold;
        m_fontTitle.setPointSizeF(15);
        m_dRow = QFontMetricsF(m_fontBody, painter.device()).height() * 1.6;
        m_strTitle = CMonthlyReport::tr("Monthly report %1").arg(report.month());
        if (!report.group().isEmpty())
            m_strTitle += QStringLiteral(" · ") + report.group();
    }

    void paint(QPdfWriter& writer)
    {
        const int iRows = m_report.rows().size();
        const double dTableTop = headerHeight(true);
        const double dFooter = m_dRow * 1.5;
        const int iFirst = qMax(1, int((m_rectPage.height() - dTableTop - dFooter) / m_dRow) - 2);
        const int iOther = qMax(1, int((m_rectPage.height() - headerHeight(false) - dFooter) / m_dRow) - 2);
        const int iPages = iRows <= iFirst ? 1 : 1 + (iRows - iFirst + iOther - 1) / iOther;
        int iRow = 0;
        for (int iPage = 1; iPage <= iPages; ++iPage) {
            if (iPage > 1)
                writer.newPage();
            double y = headerHeight(iPage == 1) - m_dRow * 2;
            paintHeader(iPage == 1);
            paintTitles(y);
            y += m_dRow * 2;
            const int iPageFirst = iRow;
            for (const int iEnd = qMin(iRows, iRow + (iPage == 1 ? iFirst : iOther)); iRow < iEnd; ++iRow) {
                // A page that goes on with a group's PDUs names the group in its first line.
                paintRow(m_report.rows().at(iRow), y, iRow == iPageFirst);
                y += m_dRow;
            }
            if (iRows == 0) {
                m_painter.setFont(m_fontBody);
                m_painter.drawText(QRectF(0, y, m_rectPage.width(), m_dRow), Qt::AlignVCenter,
                                   CMonthlyReport::tr("No readings in this month."));
            }
            m_painter.setFont(m_fontBody);
            m_painter.drawText(QRectF(0, m_rectPage.height() - m_dRow, m_rectPage.width(), m_dRow),
                               Qt::AlignRight | Qt::AlignVCenter,
                               CMonthlyReport::tr("Page %1 of %2").arg(iPage).arg(iPages));
        }
    }

private:
    double noteHeight() const
    {
        return QFontMetricsF(m_fontBody, m_painter.device())
            .boundingRect(QRectF(0, 0, m_rectPage.width(), 1e6), Qt::TextWordWrap, CMonthlyReport::unitNote())
            .height();
    }
    // Title (and on the first page the note) plus the two-line column titles.
    double headerHeight(bool bFirst) const
    {
        const double dTitle = QFontMetricsF(m_fontTitle, m_painter.device()).height() * 1.6;
        return dTitle + (bFirst ? noteHeight() + m_dRow * 0.6 : 0) + m_dRow * 2;
    }

    void paintHeader(bool bFirst)
    {
        const double dTitle = QFontMetricsF(m_fontTitle, m_painter.device()).height() * 1.6;
        m_painter.setFont(m_fontTitle);
        m_painter.drawText(QRectF(0, 0, m_rectPage.width(), dTitle),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_strTitle);
        if (!bFirst)
            return;
        m_painter.setFont(m_fontBody);
        m_painter.drawText(QRectF(0, dTitle, m_rectPage.width(), noteHeight()), Qt::TextWordWrap,
                           CMonthlyReport::unitNote());
    }

    void paintTitles(double y)
    {
        m_painter.fillRect(QRectF(0, y, m_rectPage.width(), m_dRow * 2), QColor(0xdd, 0xe3, 0xea));
        m_painter.setFont(m_fontBold);
        paintCells(CMonthlyReport::titles(), QRectF(0, y, 0, m_dRow * 2), Qt::TextWordWrap);
    }

    void paintRow(const MonthlyReportRow& row, double y, bool bNameGroup)
    {
        if (row.bGroup)
            m_painter.fillRect(QRectF(0, y, m_rectPage.width(), m_dRow), QColor(0xf0, 0xf3, 0xf6));
        m_painter.setFont(row.bGroup ? m_fontBold : m_fontBody);
        QStringList listCells = CMonthlyReport::cells(row);
        if (!row.bGroup && !bNameGroup)
            listCells[0].clear();
        // The group and the unit's name: a line break or a direction override drawn as it is would hide
        // what the unit holds.
        for (int i : {0, 1})
            listCells[i] = pdfText(listCells.at(i));
        paintCells(listCells, QRectF(0, y, 0, m_dRow), Qt::TextSingleLine);
        m_painter.setPen(QColor(0xc8, 0xcc, 0xd0));
        m_painter.drawLine(QPointF(0, y + m_dRow), QPointF(m_rectPage.width(), y + m_dRow));
        m_painter.setPen(Qt::black);
    }

    void paintCells(const QStringList& listCells, QRectF rect, int iFlags)
    {
        const double dPad = m_dRow * 0.25;
        for (int i = 0; i < listCells.size(); ++i) {
            rect.setWidth(m_rectPage.width() * s_adColumns[i]);
            const QRectF rectText = rect.adjusted(dPad, 0, -dPad, 0);
            const int iAlign = (i < 2 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            const QString strText = iFlags == Qt::TextSingleLine
                                        ? QFontMetricsF(m_painter.font(), m_painter.device())
                                              .elidedText(listCells.at(i), Qt::ElideRight, rectText.width())
                                        : listCells.at(i);
            m_painter.drawText(rectText, iAlign | iFlags, strText);
            rect.moveLeft(rect.right());
        }
    }

    QPainter& m_painter;
    const CMonthlyReport& m_report;
    const QRect m_rectPage;
    QFont m_fontBody;
    QFont m_fontBold;
    QFont m_fontTitle;
    double m_dRow = 0;
    QString m_strTitle;
};

} // namespace

namespace ReportPdf {

bool write(const CMonthlyReport& report, QIODevice* pDevice, QString* pstrError)
{
    QPdfWriter writer(pDevice);
    writer.setTitle(CMonthlyReport::tr("Monthly report %1").arg(report.month()));
    writer.setCreator(QStringLiteral("Rackmind"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        *pstrError = CMonthlyReport::tr("cannot draw the document");
        return false;
    }
    CLayout(painter, report).paint(writer);
    painter.end();
    return true;
}

bool write(const CMonthlyReport& report, const QString& strPath, QString* pstrError)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *pstrError = file.errorString();
        return false;
    }
    if (!write(report, &file, pstrError)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *pstrError = file.errorString();
        return false;
    }
    return true;
}

} // namespace ReportPdf
