#pragma once

#include <QDialog>
#include <QObject>

#include <functional>

class COutletControl;
class CPdu;
class QComboBox;
class QMenu;
class QSpinBox;
class QTreeWidget;

// What the operator does to outlets from the overview and the switch panel: switching, power cycles
// and protection, with the question before an outlet goes off and the reasons for a refusal.
class COutletActions : public QObject
{
    Q_OBJECT
public:
    // Shows a box (bQuestion: Yes/No, returns the answer; else one OK button). Tests replace it so that
    // no box blocks them; an empty handler restores the message boxes.
    using PromptHandler =
        std::function<bool(QWidget*, bool bQuestion, const QString& strTitle, const QString& strText)>;
    static void setPromptHandler(PromptHandler handler);
    static bool prompt(QWidget* pParent, bool bQuestion, const QString& strTitle, const QString& strText);

    // "Outlet3 (web01)": the switch caption and the outlet's name as the device reports it, on one line.
    static QString outletLabel(const CPdu* pPdu, int iOutlet);
    // Every operation goes through pControl, the room's outlet control; without one nothing is done.
    // True when the frame went out; otherwise the operator was told why, or said no.
    static bool switchOutlet(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet, bool bOn);
    static bool cycleOutlet(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet, int iDelay);
    // The items for one outlet: power cycle (or cancel the running one), protect or unprotect.
    static void fillOutletMenu(QMenu* pMenu, QWidget* pParent, COutletControl* pControl, CPdu* pPdu,
                               int iOutlet);
    // The context menu of an overview row: power cycle with the outlet chosen, protection per outlet.
    static void fillRowMenu(QMenu* pMenu, QTreeWidget* pTree, COutletControl* pControl, CPdu* pPdu);

private:
    static bool mayGoOff(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet, bool bCycle);
    // True for COutletControl::Accepted; otherwise tells the operator why.
    static bool explainRefusal(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet,
                               int iRefusal);
    static void toggleProtected(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet);
};

// Chooses the outlet and the delay of a power cycle.
class COutletCycleDialog : public QDialog
{
    Q_OBJECT
public:
    // iOutlet 0 leaves the choice of outlet to the operator.
    COutletCycleDialog(QWidget* parent, CPdu* pPdu, int iOutlet);
    int outlet() const;
    int delay() const;

private:
    QComboBox* m_pComboOutlet = nullptr;
    QSpinBox* m_pSpinDelay = nullptr;
};
