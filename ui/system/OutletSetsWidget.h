#pragma once

#include <QMap>
#include <QTimer>
#include <QWidget>

class COutletSetControl;
struct OutletSetsData;
class CSequenceProgressWidget;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// The outlet sets and sequences of this machine on the "Outlets" page: created, edited and removed
// here; sets switched on, off or power cycled, and sequences run, through the room's outlet control.
class COutletSetsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit COutletSetsWidget(QWidget* parent = nullptr);
    void setControl(COutletSetControl* pControl);
    void retranslate();
    // Reads the sets file again and lists what it holds; a file that cannot be read is said.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_ButtonNewSet_clicked();
    void on_ButtonEditSet_clicked();
    void on_ButtonRemoveSet_clicked();
    void on_ButtonSetOn_clicked();
    void on_ButtonSetOff_clicked();
    void on_ButtonSetCycle_clicked();
    void on_ButtonSetCancel_clicked();
    void on_ButtonNewSequence_clicked();
    void on_ButtonEditSequence_clicked();
    void on_ButtonRemoveSequence_clicked();
    void on_ButtonRunSequence_clicked();

private:
    QString currentSet() const;
    QString currentSequence() const;
    template <typename T>
    bool store(QMap<QString, T> OutletSetsData::*pMap, const T& wanted, bool bNew, const QString& strExists,
               QString* pWhy);
    void editSet(const QString& strName);
    void editSequence(const QString& strName);
    void removeEntry(bool bSequence, const QString& strName);
    void runSet(int iOperation);
    void showSetStates();
    void updateButtons();

    COutletSetControl* m_pControl = nullptr;
    QLabel* m_pLabelSets = nullptr;
    QLabel* m_pLabelSequences = nullptr;
    QLabel* m_pLabelError = nullptr;
    QTreeWidget* m_pTreeSets = nullptr;
    QTreeWidget* m_pTreeSequences = nullptr;
    QPushButton* m_pButtonNewSet = nullptr;
    QPushButton* m_pButtonEditSet = nullptr;
    QPushButton* m_pButtonRemoveSet = nullptr;
    QPushButton* m_pButtonSetOn = nullptr;
    QPushButton* m_pButtonSetOff = nullptr;
    QPushButton* m_pButtonSetCycle = nullptr;
    QPushButton* m_pButtonSetCancel = nullptr;
    QSpinBox* m_pSpinDelay = nullptr;
    QPushButton* m_pButtonNewSequence = nullptr;
    QPushButton* m_pButtonEditSequence = nullptr;
    QPushButton* m_pButtonRemoveSequence = nullptr;
    QPushButton* m_pButtonRunSequence = nullptr;
    CSequenceProgressWidget* m_pProgress = nullptr;
    QTimer m_timerStates; // counts a running set's seconds down between its changes
};
