#pragma once

#include "device/PollTargets.h"

#include <QWidget>

class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The addresses and subnets polled by unicast, one a line, for PDUs that no broadcast reaches; kept in
// "target.prt" beside the port list and applied to the running room at once.
class CTargetListWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CTargetListWidget(QWidget* parent = nullptr);
    void retranslate();

private slots:
    void on_BtnTargetsOK_clicked();

private:
    void showStatus();
    void showList(const PollTargetList& list);

    QLabel* m_pLabelTargets;
    QPlainTextEdit* m_pEditTargets;
    QLabel* m_pLabelRate;
    QSpinBox* m_pSpinRate;
    QPushButton* m_pBtnOK;
    QLabel* m_pLabelStatus;
    QGridLayout* m_pLayoutBase;
    QString m_strRefused; // what the last OK refused, shown until the next
};
