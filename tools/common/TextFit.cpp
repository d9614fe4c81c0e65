#include "tools/common/TextFit.h"

#include <QtWidgets>

namespace {

// The protected style options, read as the widgets' own painters make them.
struct TabBar : QTabBar
{
    using QTabBar::initStyleOption;
};
struct GroupBox : QGroupBox
{
    using QGroupBox::initStyleOption;
};

int textWidth(const QFont& font, const QString& strText)
{
    if (Qt::mightBeRichText(strText)) {
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setDocumentMargin(0);
        doc.setHtml(strText);
        return qCeil(doc.idealWidth());
    }
    int iWidth = 0;
    for (const QString& strLine : strText.split(QLatin1Char('\n')))
        iWidth =
            qMax(iWidth, QFontMetrics(font).horizontalAdvance(QString(strLine).remove(QLatin1Char('&'))));
    return iWidth;
}

} // namespace

QStringList cutTexts(QWidget* pWindow)
{
    QStringList list;
    const auto check = [&](QWidget* pWidget, const QString& strText, int iNeeds, int iHas) {
        if (!strText.isEmpty() && iNeeds > iHas)
            list << QStringLiteral("%1 %2 '%3' needs %4 has %5")
                        .arg(QLatin1String(pWidget->metaObject()->className()), pWidget->objectName(),
                             strText)
                        .arg(iNeeds)
                        .arg(iHas);
    };
    for (QWidget* pWidget : pWindow->findChildren<QWidget*>()) {
        if (!pWidget->isVisibleTo(pWindow))
            continue;
        QStyle* pStyle = pWidget->style();
        if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
            const int iHas =
                pLabel->contentsRect().width() - 2 * pLabel->margin() - qMax(0, pLabel->indent());
            // A wrapped label fits when it has the height its lines take.
            if (pLabel->wordWrap())
                check(pWidget, pLabel->text(), pLabel->heightForWidth(pLabel->width()), pLabel->height());
            else
                check(pWidget, pLabel->text(), textWidth(pLabel->font(), pLabel->text()), iHas);
        } else if (auto* pTool = qobject_cast<QToolButton*>(pWidget)) {
            if (pTool->toolButtonStyle() != Qt::ToolButtonIconOnly)
                check(pWidget, pTool->text(), pTool->sizeHint().width(), pTool->width());
        } else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
            QStyleOptionButton option;
            option.initFrom(pButton);
            option.text = pButton->text();
            option.icon = pButton->icon();
            option.iconSize = pButton->iconSize();
            const bool bCheck = qobject_cast<QCheckBox*>(pButton) || qobject_cast<QRadioButton*>(pButton);
            const QStyle::SubElement element = qobject_cast<QCheckBox*>(pButton) ? QStyle::SE_CheckBoxContents
                                               : qobject_cast<QRadioButton*>(pButton)
                                                   ? QStyle::SE_RadioButtonContents
                                                   : QStyle::SE_PushButtonContents;
            const int iIcon = !bCheck && !option.icon.isNull() ? option.iconSize.width() + 4 : 0;
            check(pWidget, option.text, textWidth(pButton->font(), option.text) + iIcon,
                  pStyle->subElementRect(element, &option, pButton).width());
        } else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
            QStyleOptionComboBox option;
            option.initFrom(pCombo);
            option.editable = pCombo->isEditable();
            // Whichever item is chosen shows in the field.
            for (int i = 0; i < pCombo->count(); ++i)
                check(
                    pWidget, pCombo->itemText(i), textWidth(pCombo->font(), pCombo->itemText(i)),
                    pStyle->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, pCombo)
                        .width());
        } else if (auto* pBar = qobject_cast<QTabBar*>(pWidget)) {
            for (int i = 0; i < pBar->count(); ++i) {
                QStyleOptionTab option;
                static_cast<TabBar*>(pBar)->initStyleOption(&option, i);
                check(pWidget, pBar->tabText(i), textWidth(pBar->font(), pBar->tabText(i)),
                      pStyle->subElementRect(QStyle::SE_TabBarTabText, &option, pBar).width());
            }
        } else if (auto* pBox = qobject_cast<QGroupBox*>(pWidget)) {
            QStyleOptionGroupBox option;
            static_cast<GroupBox*>(pBox)->initStyleOption(&option);
            const QRect rectLabel =
                pStyle->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, pBox);
            check(pWidget, pBox->title(), rectLabel.right() + 1, pBox->width());
        } else if (auto* pHeader = qobject_cast<QHeaderView*>(pWidget); pHeader && pHeader->model()) {
            // Measured as the style lays a section out, whatever size the section says it wants.
            for (int i = 0; i < pHeader->count(); ++i) {
                const auto data = [&](int iRole) {
                    return pHeader->model()->headerData(i, pHeader->orientation(), iRole);
                };
                QStyleOptionHeader option;
                option.initFrom(pHeader);
                option.section = i;
                option.text = data(Qt::DisplayRole).toString();
                option.icon = data(Qt::DecorationRole).value<QIcon>();
                option.fontMetrics = QFontMetrics(
                    data(Qt::FontRole).isValid() ? data(Qt::FontRole).value<QFont>() : pHeader->font());
                if (!pHeader->isSectionHidden(i))
                    check(
                        pWidget, option.text,
                        pStyle->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), pHeader).width(),
                        pHeader->sectionSize(i));
            }
        }
    }
    return list;
}

QStringList cutTextsOnEveryPage(QWidget* pWindow, const QList<QWidget*>& listSkippedPages)
{
    QStringList list = cutTexts(pWindow);
    for (QStackedWidget* pStack : pWindow->findChildren<QStackedWidget*>()) {
        const int iCurrent = pStack->currentIndex();
        for (int i = 0; i < pStack->count() && pStack->isVisibleTo(pWindow); ++i) {
            if (listSkippedPages.contains(pStack->widget(i)))
                continue;
            pStack->setCurrentIndex(i);
            QCoreApplication::processEvents();
            list << cutTexts(pWindow);
        }
        pStack->setCurrentIndex(iCurrent);
    }
    list.removeDuplicates();
    return list;
}

bool useDeskFontsOnly(const QString& strFolder)
{
    // Links to the files of fonts-dejavu-core and fonts-wqy-microhei, the only folder fontconfig is told.
    const QString strFonts = QDir(strFolder).filePath(QStringLiteral("fonts"));
    QDir().mkpath(strFonts);
    for (const char* pszFile :
         {"dejavu/DejaVuSans.ttf", "dejavu/DejaVuSans-Bold.ttf", "dejavu/DejaVuSansMono.ttf",
          "dejavu/DejaVuSansMono-Bold.ttf", "dejavu/DejaVuSerif.ttf", "dejavu/DejaVuSerif-Bold.ttf",
          "wqy/wqy-microhei.ttc"}) {
        const QFileInfo info(QStringLiteral("/usr/share/fonts/truetype/") + QLatin1String(pszFile));
        if (!QFile::link(info.filePath(), QDir(strFonts).filePath(info.fileName())))
            return false;
    }
    QFile conf(QDir(strFolder).filePath(QStringLiteral("fonts.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return false;
    conf.write(
        QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>"
                       "<include ignore_missing=\"yes\">/etc/fonts/conf.d</include><dir>%1</dir>"
                       "<cachedir>%2</cachedir></fontconfig>\n")
            .arg(strFonts, QDir(strFolder).filePath(QStringLiteral("cache")))
            .toUtf8());
    conf.close();
    return qputenv("FONTCONFIG_FILE", conf.fileName().toLocal8Bit());
}

QStringList strangerFamilies()
{
    // The generic names the toolkit adds stand for the desk's families.
    const QStringList listGeneric{QStringLiteral("Monospace"), QStringLiteral("Sans Serif"),
                                  QStringLiteral("Serif")};
    QStringList list;
    for (const QString& strFamily : QFontDatabase().families())
        if (!listGeneric.contains(strFamily) && !strFamily.startsWith(QLatin1String("DejaVu")) &&
            !strFamily.startsWith(QLatin1String("WenQuanYi")))
            list << strFamily;
    return list;
}
