#include "app/MenuIconStyle.h"
#include "app/SharedFonts.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SubTab.h"
#include "ui/frame/TitleBar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>
#include <cstdio>

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

bool save(QWidget& widget, const QString& strPath)
{
    QTest::qWait(300);
    const bool bOk = widget.grab().save(strPath);
    std::printf("%s %s\n", bOk ? "saved" : "FAILED", qPrintable(strPath));
    return bOk;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new CMenuIconStyle);
    createSharedFonts();
    QFile file(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
    if (file.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(file.readAll()));
    else
        std::printf("no application style sheet in the bundle\n");

    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    CSampleDialog dialog;
    dialog.setGeometry(100, 60, 900, 600);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    // Select the second sub tab and hover the second main tab, as an operator would see them.
    QTest::mouseClick(dialog.findChildren<CSubTabBtn*>().at(1), Qt::LeftButton);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(dialog.findChildren<CMainTabBtn*>().at(1), &enter);
    bool bOk = save(dialog, dir.filePath(QStringLiteral("frame-normal.png")));

    // Without a window manager nobody resizes a maximised window: do what the manager would, first,
    // because a resize after the state change would end the maximised state.
    dialog.setGeometry(dialog.screen()->availableGeometry());
    dialog.showMaximized();
    bOk = save(dialog, dir.filePath(QStringLiteral("frame-maximised.png"))) && bOk;
    if (argc > 2)
        QTest::qWait(QString::fromLocal8Bit(argv[2]).toInt());
    return bOk ? 0 : 1;
}
