#pragma once

#include <QWidget>

class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSpinBox;

// Edits how alarms count, end and are announced; "OK" stores the values and they apply from the next tick.
class CAlarmConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CAlarmConfigWidget(QWidget* parent = nullptr);

    void retranslate();

private slots:
    void on_BtnOK_clicked();

private:
    QLabel* m_pLabelDebounce;
    QSpinBox* m_pSpinDebounce;
    QLabel* m_pLabelHysteresis;
    QSpinBox* m_pSpinHysteresis;
    QCheckBox* m_pCheckMailOnClear;
    QCheckBox* m_pCheckCombine;
    QLabel* m_pLabelCombineWindow;
    QSpinBox* m_pSpinCombineWindow;
    QCheckBox* m_pCheckTrayBalloon;
    QCheckBox* m_pCheckMailAfterRestart;
    QPushButton* m_pBtnOK;
    QGridLayout* m_pLayoutBase;
};
