#pragma once

#include "device/OutletSets.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QTreeWidget;

// Creates or edits one outlet set: its name and the outlets picked from the room's PDUs. An outlet of a
// PDU that is not in the room stays listed under its MAC, so that it can be taken out.
class COutletSetDialog : public QDialog
{
    Q_OBJECT
public:
    // Stores the set; false with the reason keeps the dialog open and shows it.
    using SaveHandler = std::function<bool(const OutletSet&, QString*)>;
    // An empty name makes a new set; an existing set keeps its name (sequences refer to it).
    COutletSetDialog(QWidget* parent, const OutletSet& set, SaveHandler fnSave);
    OutletSet set() const;
    // What a set's or a sequence's name may hold, as the operator is told.
    static QString nameRule();

    void accept() override;

private:
    void fill(const OutletSet& set);

    QLineEdit* m_pEditName = nullptr;
    QTreeWidget* m_pTree = nullptr;
    SaveHandler m_fnSave;
};
