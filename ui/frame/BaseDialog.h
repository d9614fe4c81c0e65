#pragma once

#include <QDialog>
#include <QPoint>

class CTitleBar;
class QVBoxLayout;

// A frameless dialog that draws its own frame (shadow, blue title band, pale body), moves by dragging
// anywhere on its surface and carries a CTitleBar as the first item of its base layout.
class CBaseDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CBaseDialog(QWidget* parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    CTitleBar* titleBar() const { return m_pTitleBar; }
    QVBoxLayout* baseLayout() const { return m_pBaseLayout; }

    virtual void retranslate();

public slots:
    void slotBtnMaxClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

    // True only for the plain maximised state; a window minimised from maximised keeps its frame.
    bool isPlainMaximized() const;
    // Draws the shadow, the title band of iHeaderHeight pixels and the body; dialogs with a taller
    // header call it with their own height.
    void paintFrame(int iHeaderHeight);

    CTitleBar* m_pTitleBar;
    QVBoxLayout* m_pBaseLayout;

private:
    void applyWindowState();

    bool m_bDragging = false;
    QPoint m_ptDragOffset;
};
