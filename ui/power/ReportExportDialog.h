#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;

// Writes the monthly report of the history store as CSV or PDF: month (last month unless chosen), one
// group or all, a file. A failure (an unwritable path, an unreadable store) stays shown in the dialog.
class CReportExportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CReportExportDialog(const QString& strStorePath, QWidget* parent = nullptr);

private:
    void slotBrowse();
    void slotExport();
    void slotFormatChanged();

    QString m_strStorePath;
    QComboBox* m_pComboMonth = nullptr;
    QComboBox* m_pComboGroup = nullptr;
    QButtonGroup* m_pFormat = nullptr;
    QLineEdit* m_pEditFile = nullptr;
    QLabel* m_pLabelError = nullptr;
};
