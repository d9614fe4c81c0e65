#include "cli/CtlText.h"

#include "settings/Catalogues.h"

#include <QLocale>

void installCtlCatalogues()
{
    // A command line follows the user's locale (LANG, LC_MESSAGES), not the console's own choice.
    const QLocale locale = QLocale::system();
    if (locale.language() != QLocale::Chinese)
        return;
    const bool bTraditional = locale.script() == QLocale::TraditionalChineseScript ||
                              locale.country() == QLocale::Taiwan || locale.country() == QLocale::HongKong ||
                              locale.country() == QLocale::Macau;
    installCatalogues(bTraditional ? 3 : 2);
}
