#pragma once

#include "common/HistoryEvent.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "ui/frame/BaseDialog.h"

#include <QPointer>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

// The event log, newest first, filtered by device, kind, span and text; it follows what is recorded
// while it is open.
class CEventsWindow : public CBaseDialog
{
    Q_OBJECT
public:
    // pStore: the log shown; none shows that history is unavailable.
    explicit CEventsWindow(CHistoryStore* pStore, QWidget* parent = nullptr);

    void retranslate() override;
    void reload();
    bool exportCsv(const QString& strPath, QString* pError) const;
    const QVector<HistoryEvent>& events() const { return m_vecEvents; }

public slots:
    void on_BtnExport_clicked();

protected:
    void changeEvent(QEvent* event) override;

private:
    void fillDevices();
    void updateNotice();
    QStringList rowOf(const HistoryEvent& e) const;

    QPointer<CHistoryStore> m_pStore;
    QComboBox* m_pComboPdu;
    QComboBox* m_pComboKind;
    QComboBox* m_pComboSpan;
    QLineEdit* m_pEditSearch;
    QPushButton* m_pBtnExport;
    QLabel* m_pLabelNotice;
    QTableWidget* m_pTable;
    QTimer* m_pTimerReload;
    QVector<HistoryEvent> m_vecEvents;
    // The filter the table was read with; the export reads everything it finds.
    CHistoryReader::EventFilter m_filterShown;
};
