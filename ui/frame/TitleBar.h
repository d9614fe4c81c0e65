#pragma once

#include <QFont>
#include <QHBoxLayout>
#include <QString>

class QLabel;
class QPushButton;

// The title row of a frameless dialog. It is a layout, not a widget: its labels and buttons become
// children of the dialog it is installed on. The buttons' pictures come from the style sheet.
class CTitleBar : public QHBoxLayout
{
    Q_OBJECT

public:
    explicit CTitleBar(QWidget* parent = nullptr);

    void setTitle(const QString& strTitle);
    QString title() const { return m_strTitle; }
    void setIcon(const QString& strPath);

    void setTitleHeight(int iHeight);
    int titleHeight() const { return m_iHeight; }

    void setMenuButtonVisible(bool bVisible);
    void setMinButtonVisible(bool bVisible);
    void setMaxButtonVisible(bool bVisible);

    // Switches the maximise button between its maximise and restore pictures.
    void setMaximizedState(bool bMaximized);

    QLabel* captionLabel() const { return m_pLabelCaption; }
    QPushButton* menuButton() const { return m_pBtnMenu; }
    QPushButton* minButton() const { return m_pBtnMin; }
    QPushButton* maxButton() const { return m_pBtnMax; }
    QPushButton* closeButton() const { return m_pBtnClose; }

    virtual void retranslate();

signals:
    void signalBtnMenuClicked();
    void signalBtnMinClicked();
    void signalBtnMaxClicked();
    void signalBtnCloseClicked();

private:
    QPushButton* createButton(const char* szObjectName);

    QLabel* m_pLabelIcon;
    QLabel* m_pLabelCaption;
    QPushButton* m_pBtnMenu;
    QPushButton* m_pBtnMin;
    QPushButton* m_pBtnMax;
    QPushButton* m_pBtnClose;
    int m_iHeight = 0;
    QFont m_fontTitle;
    QString m_strTitle;
};
