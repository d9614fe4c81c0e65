#pragma once

#include <QColor>
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
    // header or colours of their own call it with theirs.
    void paintFrame(int iHeaderHeight, const QColor& colorBand = QColor(50, 169, 253, 230),
                    const QColor& colorBody = QColor(243, 251, 255));

    CTitleBar* m_pTitleBar;
    QVBoxLayout* m_pBaseLayout;

private:
    void applyWindowState();

    bool m_bDragging = false;
    QPoint m_ptDragOffset;
};
