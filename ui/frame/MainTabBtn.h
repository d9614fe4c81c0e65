#pragma once

#include <QFont>
#include <QToolButton>

// A large icon-over-text button of the main tab row; draws its own hover gradient and active bar.
class CMainTabBtn : public QToolButton
{
    Q_OBJECT

public:
    explicit CMainTabBtn(QWidget* parent = nullptr);

    bool isActive() const { return m_bActive; }

signals:
    void signalActive();

public slots:
    // Hides QWidget::setEnabled so that a disabled tab can never stay selected.
    void setEnabled(bool bEnabled);
    void slotDisactive();

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_font;
    bool m_bHover = false;
    bool m_bActive = false;
};
