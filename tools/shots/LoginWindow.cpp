#include "app/LoginDialog.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"

#include <QComboBox>
#include <QLineEdit>

bool shootLogin(CShot& shot)
{
    CLoginDialog dialog;
    dialog.setFixedSize(442, 342);
    dialog.move(200, 150);
    dialog.retranslate();
    dialog.show();
    bool bOk = shot.save(dialog, QStringLiteral("login"));

    dialog.findChild<QComboBox*>(QStringLiteral("ComboAccount"))->setEditText(QStringLiteral("pavok"));
    dialog.findChild<QLineEdit*>(QStringLiteral("EditPassword"))->setText(QStringLiteral("secret"));
    dialog.setLoginState(CLoginDialog::WrongCredentials);
    bOk = shot.save(dialog, QStringLiteral("login-wrong")) && bOk;

    dialog.setLoginState(CLoginDialog::Scanning);
    return shot.save(dialog, QStringLiteral("login-scanning")) && bOk;
}
