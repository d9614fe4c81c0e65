#include "app/Catalogues.h"
#include "app/LoginDialog.h"
#include "app/MenuIconStyle.h"
#include "app/Settings.h"
#include "app/SharedFonts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

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
    // Never the operator's own store: the dialog reads the login options when it is built.
    QTemporaryDir dirStore;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dirStore.path());

    QApplication::setStyle(new CMenuIconStyle);
    createSharedFonts();
    QFile file(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
    if (file.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(file.readAll()));

    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const struct
    {
        int iLanguage;
        const char* pszSuffix;
    } languages[] = {{1, "en"}, {2, "zh_CN"}, {3, "zh_TW"}};

    bool bOk = true;
    for (const auto& language : languages) {
        installCatalogues(language.iLanguage);
        const QString strSuffix = QString::fromLatin1(language.pszSuffix);
        CLoginDialog dialog;
        dialog.setFixedSize(442, 342);
        dialog.move(200, 150);
        dialog.retranslate();
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return 1;
        bOk &= save(dialog, dir.filePath(QStringLiteral("login-%1.png").arg(strSuffix)));

        dialog.findChild<QComboBox*>(QStringLiteral("ComboAccount"))->setEditText(QStringLiteral("pavok"));
        dialog.findChild<QLineEdit*>(QStringLiteral("EditPassword"))->setText(QStringLiteral("secret"));
        dialog.setLoginState(CLoginDialog::WrongCredentials);
        bOk &= save(dialog, dir.filePath(QStringLiteral("login-wrong-%1.png").arg(strSuffix)));

        dialog.setLoginState(CLoginDialog::Scanning);
        bOk &= save(dialog, dir.filePath(QStringLiteral("login-scanning-%1.png").arg(strSuffix)));
    }
    deleteCatalogues();
    deleteSharedFonts();
    return bOk ? 0 : 1;
}
