#pragma once

#include "device/PduInfo.h"

#include <QPointer>
#include <QWidget>

class CPdu;
class QGridLayout;
class QLabel;
class QLineEdit;

// What the four sub pages of the configuration page share: the device they edit, loading it into
// their editors and announcing every stored edit.
class CConfigSubPage : public QWidget
{
    Q_OBJECT

public:
    // cmdSection: the command whose payload holds the page's fields.
    CConfigSubPage(QWidget* parent, quint8 cmdSection);

    // Adopts the device (null for none) and fills the editors from what it reports.
    void setPdu(CPdu* pdu);
    CPdu* pdu() const;
    // Fills the editors from the device's reported record; nothing without a device. Afterwards every
    // field of the page in the edit record holds what the editors show, changed on screen or not:
    // a value kept from an earlier edit or from the record's defaults would otherwise be sent unseen.
    void loadFromPdu();
    // After a reply: a device whose fields of this page changed since loading or since it took the
    // page's edit (another console, the front panel, DHCP) is loaded again, unless the page holds edits
    // of its own; the edit record would otherwise send the old values back.
    void followDevice();
    virtual void retranslate() = 0;

signals:
    void signalCheckNeedDownload();

protected:
    // Shows the reported values without running the change slots.
    virtual void showValues(const PduInfo& info) = 0;
    // Writes what the editors show into the edit record, as the change slots would.
    virtual void storeShownValues(PduInfo& set) = 0;

    // A grid with an expanding spacer above row 1 and below row iRows.
    QGridLayout* createFormLayout(int iMargin, int iRows);
    // A right-aligned caption in column 0 and the editor, aligned left, in column 1.
    QLabel* addFormRow(QGridLayout* pLayout, int iRow, const QString& strLabelName, QWidget* pEditor);
    // Makes pEdit an editor of a device text of iBytes bytes (see CFieldWidthValidator); what does not
    // fit is refused and the line under the form says why.
    void setTextField(QLineEdit* pEdit, int iBytes);

    QPointer<CPdu> m_pPdu;

private:
    const quint8 m_cmdSection;
    QGridLayout* m_pFormLayout = nullptr;
    int m_iFormRows = 0;
    QLabel* m_pLabelTextHint = nullptr;
    // The page's section as the device reported it and as the edit record held it when last loaded.
    QByteArray m_baLoaded;
    QByteArray m_baStored;
};
