#pragma once

#include <QWidget>

class CDeviceControlWidget;
class QLabel;
class QPushButton;
class QSplitter;
class QTreeWidgetItem;
class QVBoxLayout;

// The right-hand side of the overview: the device counts and the outlet switches of the current row.
class CMainStatusWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CMainStatusWidget(QWidget* parent = nullptr);

    // Sets every text and refreshes the counts.
    void retranslate();
    CDeviceControlWidget* deviceControl() const { return m_pDeviceControl; }

public slots:
    void slotCurrentPduChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

private:
    QPushButton* m_pBtnSummariseHeader = nullptr;
    QLabel* m_pLabelSummarise = nullptr;
    QPushButton* m_pBtnControlHeader = nullptr;
    CDeviceControlWidget* m_pDeviceControl = nullptr;
    QSplitter* m_pSplitterBase = nullptr;
};
