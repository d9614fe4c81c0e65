// Every styled widget of the console in its states (title-bar buttons, tabs, check boxes, outlet
// switches, the login fields, buttons, tree, scroll bars, menu, icons) in one window with the
// application style sheet, to judge the artwork as a set (see docs/contact-sheet.md).
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SharedFonts.h"
#include "ui/frame/SubTab.h"
#include "ui/frame/TitleBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>

namespace {

bool g_bChinese = false;
bool g_bTraditional = false;

// The sheet is not part of the program, so its captions are chosen here rather than translated.
QString text(const char* pszEnglish, const char* pszSimplified, const char* pszTraditional)
{
    if (!g_bChinese)
        return QString::fromUtf8(pszEnglish);
    return QString::fromUtf8(g_bTraditional ? pszTraditional : pszSimplified);
}

QPushButton* header(const QString& strText, const QString& strIcon = QString())
{
    auto* pButton = new QPushButton(strText);
    pButton->setObjectName(QStringLiteral("BtnHeader"));
    pButton->setFixedHeight(30);
    if (!strIcon.isEmpty())
        pButton->setIcon(QIcon(strIcon));
    return pButton;
}

QList<QWidget*> g_listHovered;

// Shows a widget as hovered without a pointer (the style sheet reads this state); applied again just
// before the grab, since showing the window lets the display reset it.
void hover(QWidget* pWidget)
{
    g_listHovered << pWidget;
    pWidget->setAttribute(Qt::WA_UnderMouse);
}

// Push buttons take their hover look only from a real pointer, so the sheet gives them the hover
// picture directly.
void hoverPicture(QPushButton* pButton, const QString& strPicture, int iSlice = 0)
{
    pButton->setStyleSheet(
        QStringLiteral("QPushButton { border-width: %2px; border-image: url(%1) %2 %2 %2 %2 "
                       "stretch stretch; }")
            .arg(strPicture)
            .arg(iSlice));
}

QLabel* caption(const QString& strText)
{
    auto* pLabel = new QLabel(strText);
    pLabel->setStyleSheet(QStringLiteral("color: rgb(90, 90, 90);"));
    return pLabel;
}

// Title-bar buttons in each state on a strip of the title band.
class CTitleButtonStrip : public QWidget
{
public:
    CTitleButtonStrip()
    {
        auto* pGrid = new QGridLayout(this);
        pGrid->setContentsMargins(8, 4, 8, 4);
        pGrid->setHorizontalSpacing(6);
        pGrid->setVerticalSpacing(2);
        const QStringList listStates = {text("normal", "正常", "正常"), text("hover", "悬停", "懸停"),
                                        text("pressed", "按下", "按下")};
        for (int iRow = 0; iRow < 3; ++iRow) {
            auto* pLabel = new QLabel(listStates[iRow]);
            pLabel->setStyleSheet(QStringLiteral("color: white;"));
            pGrid->addWidget(pLabel, iRow, 0);
            int iColumn = 1;
            for (const char* pszName : {"BtnMenu", "BtnMin", "BtnMax", "BtnMax", "BtnClose"}) {
                auto* pButton = new QPushButton;
                pButton->setObjectName(QLatin1String(pszName));
                pButton->setFixedSize(30, 30);
                pButton->setProperty("windowMaximized", iColumn == 4);
                if (iRow == 1) {
                    const char* pszPicture = iColumn == 2   ? "Min"
                                             : iColumn == 3 ? "Max"
                                             : iColumn == 4 ? "Restore"
                                             : iColumn == 5 ? "Close"
                                                            : "Menu";
                    hoverPicture(pButton, QStringLiteral(":/TitleButton/TitleButton/%1_Hover.png")
                                              .arg(QLatin1String(pszPicture)));
                }
                if (iRow == 2)
                    pButton->setDown(true);
                pGrid->addWidget(pButton, iRow, iColumn++);
            }
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(50, 169, 253, 230));
        painter.drawRoundedRect(rect(), 4, 4);
    }
};

class CContactSheet : public CBaseDialog
{
public:
    CContactSheet()
    {
        titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
        titleBar()->setTitle(text("Rackmind - styled widgets", "Rackmind - 界面样式", "Rackmind - 介面樣式"));

        m_pMainTab = new CMainTab(this);
        const char* const pszIcons[] = {"DeviceOverview", "DeviceConfig", "GroupConfig", "SystemConfig"};
        const QStringList listTabs = {
            text("DeviceOverview", "设备总览", "設備總覽"), text("DeviceConfig", "设备配置", "設備配置"),
            text("GroupConfig", "分组配置", "分組配置"), text("SystemConfig", "系统设置", "系統設定")};
        for (int i = 0; i < 4; ++i) {
            m_pMainTab->buttons[i]->setIcon(
                QIcon(QStringLiteral(":/MainTab/MainTab/%1.png").arg(QLatin1String(pszIcons[i]))));
            m_pMainTab->buttons[i]->setText(listTabs[i]);
        }
        m_pMainTab->buttons[1]->setEnabled(false);
        m_pMainTab->setTabCount(4);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(m_pMainTab->buttons[2], &enter);
        baseLayout()->addLayout(m_pMainTab);

        auto* pBody = new QHBoxLayout;
        pBody->setContentsMargins(0, 0, 0, 0);
        pBody->setSpacing(14);
        pBody->addLayout(leftColumn());
        pBody->addLayout(middleColumn(), 1);
        pBody->addLayout(rightColumn());
        auto* pBodyWidget = new QWidget;
        pBodyWidget->setLayout(pBody);
        pBodyWidget->setContentsMargins(0, 0, 12, 12);
        baseLayout()->addWidget(pBodyWidget, 1);
        resize(1180, 820);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        paintFrame(titleBar()->titleHeight() + m_pMainTab->tabHeight());
    }

private:
    QVBoxLayout* leftColumn()
    {
        auto* pColumn = new QVBoxLayout;
        pColumn->setSpacing(8);
        auto* pSubTab = new CSubTab;
        const char* const pszIcons[] = {"Network", "Warning", "Timer", "Information"};
        const QStringList listTabs = {text("Network", "网络", "網路"), text("Threshold", "阈值", "閾值"),
                                      text("Delay", "延时", "延時"),
                                      text("OutletName", "插座名称", "插座名稱")};
        for (int i = 0; i < 4; ++i) {
            pSubTab->buttons[i]->setIcon(QIcon(
                QStringLiteral(":/OverviewWidget/OverviewWidget/%1.png").arg(QLatin1String(pszIcons[i]))));
            pSubTab->buttons[i]->setText(listTabs[i]);
        }
        pSubTab->buttons[3]->setEnabled(false);
        hover(pSubTab->buttons[2]);
        pSubTab->setTabCount(4);
        pSubTab->setStretch(pSubTab->count() - 1, 0);
        pColumn->addLayout(pSubTab);

        pColumn->addWidget(header(text("Title-bar buttons", "标题栏按钮", "標題列按鈕")));
        pColumn->addWidget(new CTitleButtonStrip);

        pColumn->addWidget(header(text("Menu", "菜单", "選單")));
        pColumn->addWidget(menuPicture());

        pColumn->addWidget(header(text("Icons", "图标", "圖示")));
        auto* pIcons = new QGridLayout;
        int i = 0;
        for (const char* pszPath :
             {":/OverviewWidget/OverviewWidget/Group.png",
              ":/OverviewWidget/OverviewWidget/DeviceControl.png",
              ":/OverviewWidget/OverviewWidget/Network.png", ":/OverviewWidget/OverviewWidget/Warning.png",
              ":/OverviewWidget/OverviewWidget/Timer.png", ":/OverviewWidget/OverviewWidget/Information.png",
              ":/Dialog/Dialog/OK.png", ":/Dialog/Dialog/Cancel.png",
              ":/OverviewWidget/OverviewWidget/RightTriangle.png",
              ":/Application/Application/ApplicationPng.png",
              ":/Application/Application/ApplicationIcon_Grayscale.png", ":/Dialog/Dialog/Login.png"}) {
            auto* pLabel = new QLabel;
            pLabel->setPixmap(QIcon(QLatin1String(pszPath)).pixmap(32, 32));
            pLabel->setFixedSize(36, 36);
            pLabel->setAlignment(Qt::AlignCenter);
            pIcons->addWidget(pLabel, i / 6, i % 6);
            ++i;
        }
        pColumn->addLayout(pIcons);
        pColumn->addStretch(1);
        return pColumn;
    }

    QLabel* menuPicture()
    {
        // A menu is a pop-up and would not appear in a grab of this window, so show its picture.
        auto* pMenu = new QMenu(this);
        pMenu->setObjectName(QStringLiteral("MenuMain"));
        QAction* pLanguage = pMenu->addAction(QIcon(QStringLiteral(":/MainTab/MainTab/SystemConfig.png")),
                                              text("ChangeLanguage", "切换语言", "切換語言"));
        pMenu->addAction(QIcon(QStringLiteral(":/Application/Application/ApplicationPng.png")),
                         text("ModifyAccount", "修改账户", "修改帳戶"));
        pMenu->addSeparator();
        QAction* pChecked = pMenu->addAction(text("Keep on top", "窗口置顶", "視窗置頂"));
        pChecked->setCheckable(true);
        pChecked->setChecked(true);
        pMenu->addAction(text("Disabled entry", "不可用的项", "不可用的項"))->setEnabled(false);
        pMenu->addMenu(text("More", "更多", "更多"))->addAction(QStringLiteral("-"));
        pMenu->setFixedWidth(200);
        pMenu->setActiveAction(pLanguage);
        pMenu->ensurePolished();
        pMenu->resize(pMenu->sizeHint().expandedTo(QSize(200, 0)));
        auto* pLabel = new QLabel;
        pLabel->setPixmap(pMenu->grab());
        return pLabel;
    }

    QVBoxLayout* middleColumn()
    {
        auto* pColumn = new QVBoxLayout;
        pColumn->setSpacing(8);
        pColumn->addWidget(header(text("Devices", "设备", "設備"),
                                  QStringLiteral(":/OverviewWidget/OverviewWidget/Group.png")));
        pColumn->addWidget(deviceTree(), 1);

        pColumn->addWidget(header(text("Check boxes", "复选框", "核取方塊")));
        auto* pGrid = new QGridLayout;
        pGrid->setHorizontalSpacing(16);
        const QStringList listStates = {text("normal", "正常", "正常"), text("hover", "悬停", "懸停"),
                                        text("pressed", "按下", "按下"), text("disabled", "禁用", "停用")};
        const QStringList listValues = {text("Checked", "已勾选", "已勾選"),
                                        text("Unchecked", "未勾选", "未勾選"),
                                        text("Partly", "部分", "部分")};
        for (int iState = 0; iState < 4; ++iState)
            pGrid->addWidget(caption(listStates[iState]), 0, iState);
        for (int iValue = 0; iValue < 3; ++iValue) {
            for (int iState = 0; iState < 4; ++iState) {
                auto* pBox = new QCheckBox(listValues[iValue]);
                pBox->setTristate(iValue == 2);
                pBox->setCheckState(iValue == 0   ? Qt::Checked
                                    : iValue == 1 ? Qt::Unchecked
                                                  : Qt::PartiallyChecked);
                if (iState == 1)
                    hover(pBox);
                if (iState == 2)
                    pBox->setDown(true);
                pBox->setEnabled(iState != 3);
                pGrid->addWidget(pBox, iValue + 1, iState);
            }
        }
        pColumn->addLayout(pGrid);

        pColumn->addWidget(header(text("Buttons", "按钮", "按鈕")));
        auto* pButtons = new QGridLayout;
        pButtons->setSpacing(10);
        for (int iState = 0; iState < 4; ++iState) {
            auto* pOk =
                new QPushButton(QIcon(QStringLiteral(":/Dialog/Dialog/OK.png")), text("OK", "确定", "確定"));
            auto* pCancel = new QPushButton(QIcon(QStringLiteral(":/Dialog/Dialog/Cancel.png")),
                                            text("Cancel", "取消", "取消"));
            pOk->setObjectName(QStringLiteral("BtnOk"));
            pCancel->setObjectName(QStringLiteral("BtnCancel"));
            for (QPushButton* pButton : {pOk, pCancel}) {
                pButton->setIconSize(QSize(24, 24));
                pButton->setFixedSize(100, 40);
                pButton->setFont(*g_fontNormal12);
                if (iState == 1)
                    hoverPicture(pButton, QStringLiteral(":/NormalButton/NormalButton/Btn_Hover.png"), 3);
                if (iState == 2)
                    pButton->setDown(true);
                pButton->setEnabled(iState != 3);
            }
            pButtons->addWidget(caption(listStates[iState]), 0, iState);
            pButtons->addWidget(pOk, 1, iState);
            pButtons->addWidget(pCancel, 2, iState);
        }
        pColumn->addLayout(pButtons);
        return pColumn;
    }

    QTreeWidget* deviceTree()
    {
        auto* pTree = new QTreeWidget;
        pTree->setObjectName(QStringLiteral("treeWidgetMain"));
        pTree->setStyleSheet(QStringLiteral("QTreeWidget::item{height:30px;}"));
        pTree->setFont(*g_fontNormal10);
        pTree->setFocusPolicy(Qt::NoFocus);
        pTree->setColumnCount(6);
        auto* pHeader = new QTreeWidgetItem;
        const QStringList listHeaders = {text("Group", "分组", "分組"),
                                         text("Online", "在线", "在線"),
                                         text("Name", "名称", "名稱"),
                                         text("IPAddress", "IP地址", "IP位址"),
                                         text("Voltage(V)", "电压(V)", "電壓(V)"),
                                         text("Current(A)", "电流(A)", "電流(A)")};
        for (int i = 0; i < listHeaders.size(); ++i) {
            pHeader->setText(i, listHeaders[i]);
            pHeader->setBackground(i, QColor(243, 251, 255));
            pHeader->setTextAlignment(i, Qt::AlignCenter);
            pHeader->setSizeHint(i, QSize(1, 30));
        }
        pHeader->setIcon(0, QIcon(QStringLiteral(":/OverviewWidget/OverviewWidget/Group.png")));
        pTree->setHeaderItem(pHeader);
        for (int i = 0; i < listHeaders.size(); ++i)
            pTree->setColumnWidth(i, i == 2 ? 150 : 100);

        auto* pDefault = new QTreeWidgetItem(pTree, {text("Default", "默认", "預設")});
        pDefault->setTextAlignment(0, Qt::AlignCenter);
        pDefault->setFlags(pDefault->flags() & ~Qt::ItemIsSelectable);
        const char* const pszNames[] = {"Rack A1", "Rack A2", "Rack B1", "Rack B2",
                                        "Rack C1", "Rack C2", "Rack D1", "Rack D2"};
        QTreeWidgetItem* pCurrent = nullptr;
        for (int i = 0; i < 8; ++i) {
            const bool bOnline = i != 3;
            auto* pRow = new QTreeWidgetItem(pDefault);
            pRow->setIcon(1, QIcon(bOnline ? QStringLiteral(":/Dialog/Dialog/OK.png")
                                           : QStringLiteral(":/Dialog/Dialog/Cancel.png")));
            pRow->setText(1, bOnline ? text("Online", "在线", "在線") : text("Offline", "离线", "離線"));
            pRow->setText(2, QString::fromLatin1(pszNames[i]));
            pRow->setText(3, QStringLiteral("10.201.0.%1").arg(11 + i));
            pRow->setText(4, QString::number(228 + i % 4));
            pRow->setText(5, QString::number(1.25 * (i + 1), 'f', 2));
            for (int c = 0; c < 6; ++c)
                pRow->setTextAlignment(c, Qt::AlignCenter);
            if (i == 1)
                pCurrent = pRow;
        }
        pDefault->setExpanded(true);
        pTree->setCurrentItem(pCurrent);
        auto* pMarker = new QLabel;
        pMarker->setObjectName(QStringLiteral("LabelCurrentPdu"));
        pMarker->setPixmap(QPixmap(QStringLiteral(":/OverviewWidget/OverviewWidget/RightTriangle.png")));
        pMarker->setScaledContents(true);
        pMarker->setFixedSize(33, 30);
        pTree->setItemWidget(pCurrent, 0, pMarker);
        pTree->setMinimumHeight(250);
        pTree->setMaximumHeight(280);
        return pTree;
    }

    QVBoxLayout* rightColumn()
    {
        auto* pColumn = new QVBoxLayout;
        pColumn->setSpacing(8);
        pColumn->addWidget(header(text("Summarise", "概况", "概況"),
                                  QStringLiteral(":/Application/Application/ApplicationPng.png")));
        auto* pSummary = new QLabel(
            text("Total:8\nOnline:7\nAbnormal:1", "总数:8\n在线:7\n异常:1", "總數:8\n在線:7\n異常:1"));
        pSummary->setAlignment(Qt::AlignCenter);
        pSummary->setFont(*g_fontNormal12);
        pColumn->addWidget(pSummary);

        pColumn->addWidget(header(text("DeviceControl", "设备控制", "設備控制"),
                                  QStringLiteral(":/OverviewWidget/OverviewWidget/DeviceControl.png")));
        auto* pSwitches = new QGridLayout;
        pSwitches->setSpacing(10);
        pSwitches->setContentsMargins(20, 10, 20, 10);
        for (int n = 1; n <= 8; ++n) {
            auto* pSwitch = new QCheckBox(text("Outlet", "插座", "插座") + QString::number(n));
            pSwitch->setObjectName(QStringLiteral("CheckOutlet%1").arg(n));
            pSwitch->setLayoutDirection(Qt::RightToLeft);
            pSwitch->setChecked(0x5B & (1 << (n - 1)));
            pSwitches->addWidget(pSwitch, (n - 1) % 4, (n - 1) / 4, Qt::AlignCenter);
        }
        pColumn->addLayout(pSwitches);

        pColumn->addWidget(header(text("Login", "登录", "登入")));
        pColumn->addLayout(loginFields());
        pColumn->addStretch(1);
        return pColumn;
    }

    QGridLayout* loginFields()
    {
        auto* pGrid = new QGridLayout;
        pGrid->setHorizontalSpacing(10);
        pGrid->setVerticalSpacing(0);
        auto* pHead = new QLabel;
        pHead->setPixmap(QPixmap(QStringLiteral(":/Dialog/Dialog/Login.png")));
        pHead->setScaledContents(true);
        pHead->setFixedSize(78, 78);
        pGrid->addWidget(pHead, 0, 0, 3, 1, Qt::AlignTop | Qt::AlignRight);

        auto* pAccount = new QComboBox;
        pAccount->setObjectName(QStringLiteral("ComboAccount"));
        pAccount->setEditable(true);
        pAccount->setFixedSize(200, 30);
        pAccount->setFont(*g_fontNormal10);
        pAccount->lineEdit()->setPlaceholderText(text("Account", "账户", "帳戶"));
        auto* pPassword = new QLineEdit;
        pPassword->setObjectName(QStringLiteral("EditPassword"));
        pPassword->setEchoMode(QLineEdit::Password);
        pPassword->setFixedSize(200, 30);
        pPassword->setFont(*g_fontNormal10);
        pPassword->setText(QStringLiteral("pavok"));
        hover(pPassword);
        pGrid->addWidget(pAccount, 0, 1, Qt::AlignBottom);
        pGrid->addWidget(pPassword, 1, 1, Qt::AlignTop);

        auto* pChecks = new QHBoxLayout;
        pChecks->setContentsMargins(0, 4, 0, 0);
        auto* pKeep = new QCheckBox(text("KeepPassword", "记住密码", "記住密碼"));
        auto* pAuto = new QCheckBox(text("AutoLogin", "自动登录", "自動登入"));
        pKeep->setChecked(true);
        for (QCheckBox* pBox : {pKeep, pAuto}) {
            QPalette palette = pBox->palette();
            palette.setColor(QPalette::WindowText, QColor(90, 90, 90));
            pBox->setPalette(palette);
        }
        pChecks->addWidget(pKeep, 0, Qt::AlignLeft | Qt::AlignTop);
        pChecks->addWidget(pAuto, 0, Qt::AlignRight | Qt::AlignTop);
        pGrid->addLayout(pChecks, 2, 1);

        auto* pLogin = new QPushButton(text("Login", "登录", "登入"));
        pLogin->setObjectName(QStringLiteral("BtnLogin"));
        pLogin->setFixedSize(200, 30);
        pLogin->setFont(*g_fontNormal11);
        QPalette palette = pLogin->palette();
        palette.setColor(QPalette::ButtonText, Qt::white);
        pLogin->setPalette(palette);
        pGrid->addItem(new QSpacerItem(1, 12), 3, 1);
        pGrid->addWidget(pLogin, 4, 1);

        auto* pMessage = new QLabel(text("Scanning pdu in local network...", "正在扫描局域网中的PDU...",
                                         "正在掃描區域網路中的PDU..."));
        pMessage->setAlignment(Qt::AlignCenter);
        pMessage->setFixedHeight(30);
        pGrid->addWidget(pMessage, 5, 0, 1, 2);
        auto* pMovie = new QMovie(QStringLiteral(":/Movie/Movie/Loading.gif"), QByteArray(), this);
        auto* pLoading = new QLabel;
        pLoading->setScaledContents(true);
        pLoading->setMovie(pMovie);
        pLoading->setFixedHeight(4);
        // Hold the strip on a frame with the comet in view.
        for (int i = 0; i < 16; ++i)
            pMovie->jumpToNextFrame();
        pGrid->addWidget(pLoading, 6, 0, 1, 2);
        return pGrid;
    }

    CMainTab* m_pMainTab;
};

} // namespace

bool shootContactSheet(CShot& shot)
{
    g_bChinese = shot.lang().startsWith(QLatin1String("zh"));
    g_bTraditional = shot.lang() == QLatin1String("zh_TW");
    CContactSheet sheet;
    sheet.show();
    settle(800);
    for (QWidget* pWidget : qAsConst(g_listHovered)) {
        pWidget->setAttribute(Qt::WA_UnderMouse);
        pWidget->update();
    }
    // Put the translucent window on a neutral ground so that its shadow shows.
    const QPixmap window = sheet.grab();
    QPixmap picture(window.size() + QSize(24, 24));
    picture.fill(QColor(214, 221, 229));
    QPainter painter(&picture);
    painter.drawPixmap(12, 12, window);
    painter.end();
    return shot.save(picture, QStringLiteral("contact-sheet"));
}
