#pragma once

#include "device/OutletSets.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;
class QTableWidget;

// Creates or edits one sequence: its name and its steps, each a set or a single outlet of the room
// switched on or off, with the wait before the next step.
class CSequenceDialog : public QDialog
{
    Q_OBJECT
public:
    // Stores the sequence; false with the reason keeps the dialog open and shows it.
    using SaveHandler = std::function<bool(const OutletSequence&, QString*)>;
    CSequenceDialog(QWidget* parent, const OutletSequence& sequence, const OutletSetsData& data,
                    SaveHandler fnSave);
    OutletSequence sequence() const;
    void accept() override;

private slots:
    void on_ButtonAddStep_clicked();
    void on_ButtonRemoveStep_clicked();
    void on_ButtonStepUp_clicked();
    void on_ButtonStepDown_clicked();

private:
    void addStep(const SequenceStep& step, int iRow);
    SequenceStep step(int iRow) const;
    void moveStep(int iBy);

    QLineEdit* m_pEditName = nullptr;
    QTableWidget* m_pTable = nullptr;
    // What a step can switch: "set:NAME" or an outlet's "MAC/outlet", with its label.
    QList<QPair<QString, QString>> m_listTargets;
    SaveHandler m_fnSave;
};
