#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class COutletSetControl;
class QLabel;
class QPushButton;
class QTreeWidget;

// A running sequence as the operator follows it: every step with its state, which one runs, what comes
// next and when; pause, resume and cancel. A sequence that failed or was interrupted stays shown with
// where it stopped until the next one starts.
class CSequenceProgressWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CSequenceProgressWidget(QWidget* parent = nullptr);
    void setControl(COutletSetControl* pControl);
    void retranslate();
    // "2. db-07 on, then 10 s" as the step lists show it (iIndex is 0-based).
    static QString stepLine(int iIndex, const QString& strStep, int iWaitSecs);

private slots:
    void on_ButtonPause_clicked();
    void on_ButtonResume_clicked();
    void on_ButtonCancelSequence_clicked();

private:
    void showState();

    QPointer<COutletSetControl> m_pControl;
    QLabel* m_pLabelTitle = nullptr;
    QLabel* m_pLabelNext = nullptr;
    QTreeWidget* m_pTreeSteps = nullptr;
    QPushButton* m_pButtonPause = nullptr;
    QPushButton* m_pButtonResume = nullptr;
    QPushButton* m_pButtonCancel = nullptr;
    QTimer m_timer;
};
