#include "ui/history/HistoryUi.h"

#include "common/HistoryEvent.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "mail/SmtpFailure.h"
#include "ui/frame/WindowPlacement.h"

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <algorithm>

qint64 HistoryUi::spanMsecs(int iSpan)
{
    constexpr qint64 kHour = 3600 * 1000;
    switch (iSpan) {
    case SpanHour:
        return kHour;
    case SpanDay:
        return 24 * kHour;
    case SpanWeek:
        return 7 * 24 * kHour;
    case SpanMonth:
        return 30 * 24 * kHour;
    case SpanYear:
        return 365 * 24 * kHour;
    default:
        return 0;
    }
}

void HistoryUi::fillSpans(QComboBox* pCombo, bool bCustom)
{
    const int iCurrent = pCombo->currentIndex();
    pCombo->clear();
    pCombo->addItems({tr("1 hour"), tr("24 hours"), tr("7 days"), tr("30 days"), tr("1 year"),
                      bCustom ? tr("Custom") : tr("All")});
    pCombo->setCurrentIndex(iCurrent < 0 ? SpanDay : iCurrent);
}

QString HistoryUi::kindName(int iKind)
{
    switch (iKind) {
    case HistoryEvent::Appeared:
        return tr("Appeared");
    case HistoryEvent::Offline:
        return tr("Offline");
    case HistoryEvent::BackOnline:
        return tr("Back online");
    case HistoryEvent::AlarmBegan:
        return tr("Alarm began");
    case HistoryEvent::AlarmEnded:
        return tr("Alarm ended");
    case HistoryEvent::AlarmAcknowledged:
        return tr("Alarm acknowledged");
    case HistoryEvent::OutletSwitched:
        return tr("Outlet switched");
    case HistoryEvent::OutletCycled:
        return tr("Outlet cycled");
    case HistoryEvent::Download:
        return tr("Settings downloaded");
    case HistoryEvent::MailSent:
        return tr("Mail sent");
    case HistoryEvent::MailFailed:
        return tr("Mail failed");
    case HistoryEvent::MonitoringStarted:
        return tr("Monitoring started");
    case HistoryEvent::MonitoringStopped:
        return tr("Monitoring stopped");
    case HistoryEvent::OutletRefused:
        return tr("Outlet switch refused");
    case HistoryEvent::OutletProtected:
        return tr("Outlet protected");
    case HistoryEvent::OutletUnprotected:
        return tr("Outlet unprotected");
    case HistoryEvent::CycleStarted:
        return tr("Power cycle started");
    case HistoryEvent::CycleCompleted:
        return tr("Power cycle completed");
    case HistoryEvent::CycleFailed:
        return tr("Power cycle failed");
    case HistoryEvent::CycleCancelled:
        return tr("Power cycle cancelled");
    case HistoryEvent::GroupWritten:
        return tr("Group write");
    case HistoryEvent::ClockChanged:
        return tr("Clock changed");
    case HistoryEvent::SamplesDropped:
        return tr("History samples dropped");
    case HistoryEvent::ImplausibleReading:
        return tr("Implausible reading");
    case HistoryEvent::GroupAlarmBegan:
        return tr("Group alarm began");
    case HistoryEvent::GroupAlarmEnded:
        return tr("Group alarm ended");
    case HistoryEvent::GroupAlarmAcknowledged:
        return tr("Group alarm acknowledged");
    default:
        return QString::number(iKind);
    }
}

QString HistoryUi::termName(const QString& strTerm)
{
    static const char* const kTerms[] = {
        QT_TR_NOOP("Voltage Warn"),
        QT_TR_NOOP("Voltage Overload"),
        QT_TR_NOOP("Current Warn"),
        QT_TR_NOOP("Current Overload"),
        QT_TR_NOOP("Temperature Warn"),
        QT_TR_NOOP("Humidity Warn"),
        QT_TR_NOOP("Group Load Over Budget"),
        QT_TR_NOOP("Group Load At Breaker Rating"),
        QT_TR_NOOP("Name"),
        QT_TR_NOOP("Position"),
        QT_TR_NOOP("IP"),
        QT_TR_NOOP("Subnet Mask"),
        QT_TR_NOOP("Gateway"),
        QT_TR_NOOP("Port"),
        QT_TR_NOOP("Temperature Low"),
        QT_TR_NOOP("Temperature High"),
        QT_TR_NOOP("on"),
        QT_TR_NOOP("off"),
        QT_TR_NOOP("set back"),
        QT_TR_NOOP("set forward"),
        QT_TR_NOOP("voltage"),
        QT_TR_NOOP("current"),
    };
    for (const char* pszTerm : kTerms)
        if (strTerm == QLatin1String(pszTerm))
            return tr(pszTerm);
    // Why a mail failed, with what the server said.
    return SmtpFailure::translate(strTerm);
}

QString HistoryUi::unavailableNotice(const CHistoryStore* pStore)
{
    if (!pStore)
        return tr("History is unavailable: no history store is running.");
    if (pStore->isAvailable())
        return QString();
    return tr("History is unavailable: %1. The console goes on without it and records again once the file "
              "can be written.")
        .arg(pStore->unavailableReason());
}

bool HistoryUi::writeCsv(const QString& strPath, const QList<QStringList>& listRows, QString* pError)
{
    return writeCsv(
        strPath,
        [&listRows](const RowSink& fnAdd) {
            for (const QStringList& row : listRows)
                fnAdd(row);
            return true;
        },
        pError);
}

bool HistoryUi::writeCsv(const QString& strPath, const std::function<bool(const RowSink&)>& fnRows,
                         QString* pError)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *pError = file.errorString();
        return false;
    }
    file.write("\xEF\xBB\xBF");
    // Row by row: an export of every event of two years is not held in memory twice.
    const bool bRead =
        fnRows([&file](const QStringList& row) { file.write(HistoryCsv::line(row).toUtf8()); });
    if (!bRead) {
        file.cancelWriting();
        *pError = tr("the history could not be read");
        return false;
    }
    if (!file.commit()) {
        *pError = file.errorString();
        return false;
    }
    return true;
}

void HistoryUi::prepareWindow(QDialog* pWindow, const char* pszObjectName, int iWidth, int iHeight)
{
    pWindow->setObjectName(QLatin1String(pszObjectName));
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setSizeGripEnabled(true);
    WindowPlacement::placeSecondary(pWindow, QSize(iWidth, iHeight));
}

QLabel* HistoryUi::createNotice()
{
    auto* pNotice = new QLabel;
    pNotice->setObjectName(QStringLiteral("LabelNotice"));
    pNotice->setWordWrap(true);
    pNotice->setStyleSheet(QStringLiteral("color: #c62828;"));
    return pNotice;
}

void HistoryUi::updateNotice(QLabel* pNotice, const CHistoryStore* pStore)
{
    const QString strNotice = unavailableNotice(pStore);
    pNotice->setText(strNotice);
    pNotice->setVisible(!strNotice.isEmpty());
}

void HistoryUi::exportWithDialog(QWidget* pParent,
                                 const std::function<bool(const QString&, QString*)>& fnWrite)
{
    const QString strPath =
        QFileDialog::getSaveFileName(pParent, tr("Export CSV"), QString(), tr("CSV files (*.csv)"));
    if (strPath.isEmpty())
        return;
    QString strError;
    if (!fnWrite(strPath, &strError))
        QMessageBox::warning(pParent, tr("Export CSV"),
                             tr("The file could not be written: %1").arg(strError));
}

qint64 HistoryUi::gapMsecs(const QVector<HistoryAggregate>& vecPoints)
{
    // The usual spacing is the median step: polls, minutes, hours or thinned runs of them alike.
    QVector<qint64> vecSteps;
    vecSteps.reserve(vecPoints.size());
    for (int i = 1; i < vecPoints.size(); ++i)
        if (vecPoints.at(i).iMsecs > vecPoints.at(i - 1).iMsecs)
            vecSteps << vecPoints.at(i).iMsecs - vecPoints.at(i - 1).iMsecs;
    if (vecSteps.isEmpty())
        return 3000;
    std::nth_element(vecSteps.begin(), vecSteps.begin() + vecSteps.size() / 2, vecSteps.end());
    return qMax<qint64>(3000, 3 * vecSteps.at(vecSteps.size() / 2));
}
