#pragma once

#include <QFont>
#include <QPushButton>

// A text button of the vertical sub-tab column; its look follows the "tabActived" property and it
// draws a blue bar along its right edge while active.
class CSubTabBtn : public QPushButton
{
    Q_OBJECT

public:
    explicit CSubTabBtn(QWidget* parent = nullptr);

    bool isActive() const { return m_bActive; }

signals:
    void signalActive();

public slots:
    // Hides QWidget::setEnabled so that a disabled tab can never stay selected.
    void setEnabled(bool bEnabled);
    void slotDisactive();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setTabActived(bool bActived);

    QFont m_font;
    bool m_bActive = false;
};
