#pragma once

#include <QPointer>
#include <QWidget>

class CPdu;
class QGridLayout;
class QLabel;
class QLineEdit;
class QRegExpValidator;

// The "OutletName" sub page: the eight outlet names, 10-byte fields of which at most 9 are typed.
class COutletNameConfigWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kOutletCount = 8;
    static constexpr int kNameWidth = 10;

    explicit COutletNameConfigWidget(QWidget* parent);

    void setPdu(CPdu* pdu);
    void loadFromPdu();
    void retranslate();

signals:
    void signalCheckNeedDownload();

private slots:
    void on_LineEditOutletName_textChanged(const QString& text);

private:
    void storeName(int iIndex, const QString& strText);

    QPointer<CPdu> m_pPdu;
    QGridLayout* m_pLayoutBase = nullptr;
    QRegExpValidator* m_pValidator = nullptr;
    QLabel* m_pLabels[kOutletCount] = {};
    QLineEdit* m_pEdits[kOutletCount] = {};
};
