#include "settings/Credentials.h"

#include "settings/Settings.h"

#include <QString>

bool acceptsLoginCredentials(const QString& strAccount, const QString& strPassword)
{
    if (g_settings.loginAccount.isEmpty() && g_settings.loginPassword.isEmpty()) {
        const QString strDefault = QStringLiteral("pavok");
        return strAccount == strDefault && strPassword == strDefault;
    }
    return strAccount == g_settings.loginAccount && strPassword == g_settings.loginPassword;
}
