#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SubTab.h"
#include "ui/frame/TitleBar.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

// A page like the configuration pages: the sub-tab column on light grey, the pages on white.
class CSamplePage : public QWidget
{
public:
    CSamplePage()
    {
        auto* pLayout = new QHBoxLayout(this);
        pLayout->setContentsMargins(0, 0, 0, 0);
        pLayout->setSpacing(0);
        m_pSubTab = new CSubTab;
        m_pSubTab->setObjectName(QStringLiteral("SubTab"));
        const char* const texts[] = {"Network", "Threshold", "Delay", "OutletName"};
        for (int i = 0; i < 4; ++i) {
            m_pSubTab->buttons[i]->setText(QString::fromLatin1(texts[i]));
            m_pSubTab->buttons[i]->setIcon(
                QIcon(QStringLiteral(":/OverviewWidget/OverviewWidget/Network.png")));
        }
        m_pSubTab->setTabCount(4);
        pLayout->addLayout(m_pSubTab);
        auto* pStack = new QStackedWidget;
        for (const char* szText : texts) {
            auto* pLabel = new QLabel(QStringLiteral("Page: ") + QString::fromLatin1(szText));
            pLabel->setAlignment(Qt::AlignCenter);
            pStack->addWidget(pLabel);
        }
        pLayout->addWidget(pStack, 1);
        connect(m_pSubTab, &CSubTab::signalTabSelChanged, pStack, &QStackedWidget::setCurrentIndex);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(0, 0, m_pSubTab->tabWidth(), height(), QColor(240, 240, 240));
        painter.fillRect(m_pSubTab->tabWidth(), 0, width() - m_pSubTab->tabWidth(), height(), Qt::white);
    }

private:
    CSubTab* m_pSubTab;
};

// A dialog like the main dialog: the main tab row shares the blue header with the title bar.
class CSampleDialog : public CBaseDialog
{
public:
    CSampleDialog()
    {
        titleBar()->setTitle(QStringLiteral("Rackmind"));
        titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
        m_pMainTab = new CMainTab;
        m_pMainTab->setObjectName(QStringLiteral("MainTab"));
        const char* const texts[] = {"DeviceOverview", "DeviceConfig", "GroupConfig", "SystemConfig"};
        for (int i = 0; i < 4; ++i) {
            m_pMainTab->buttons[i]->setText(QString::fromLatin1(texts[i]));
            m_pMainTab->buttons[i]->setIcon(QIcon(QStringLiteral(":/MainTab/MainTab/") +
                                                  QString::fromLatin1(texts[i]) + QStringLiteral(".png")));
        }
        m_pMainTab->buttons[2]->setEnabled(false);
        baseLayout()->addLayout(m_pMainTab);
        baseLayout()->addWidget(new CSamplePage, 1);
    }

    void showEvent(QShowEvent* event) override
    {
        CBaseDialog::showEvent(event);
        m_pMainTab->setTabCount(4);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        paintFrame(titleBar()->titleHeight() + m_pMainTab->tabHeight());
    }

private:
    CMainTab* m_pMainTab;
};

} // namespace

bool shootFrame(CShot& shot)
{
    CSampleDialog dialog;
    dialog.setGeometry(100, 60, 900, 600);
    dialog.show();
    // The second sub tab selected and the second main tab hovered, as an operator would see them.
    click(dialog.findChildren<CSubTabBtn*>().at(1));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(dialog.findChildren<CMainTabBtn*>().at(1), &enter);
    bool bOk = shot.save(dialog, QStringLiteral("frame-normal"));

    // Without a window manager nobody resizes a maximised window: do what the manager would, first,
    // because a resize after the state change would end the maximised state.
    dialog.setGeometry(dialog.screen()->availableGeometry());
    dialog.showMaximized();
    return shot.save(dialog, QStringLiteral("frame-maximised")) && bOk;
}
