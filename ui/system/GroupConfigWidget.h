#pragma once

#include <QWidget>

class CSubTab;
class QHBoxLayout;
class QStackedWidget;
class CDivideGroupWidget;

// The group page of the main window: a sub tab bar with one tab over the group assignment page.
class CGroupConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CGroupConfigWidget(QWidget* parent = nullptr);

    void retranslate();
    CDivideGroupWidget* divideGroupWidget() const { return m_pDivideGroupWidget; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CSubTab* m_pSubTab;
    QHBoxLayout* m_pLayoutBase;
    QStackedWidget* m_pStackMain;
    CDivideGroupWidget* m_pDivideGroupWidget;
};
