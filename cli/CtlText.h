#pragma once

#include <QCoreApplication>

// The translation context of every text rackmind-ctl shows a person: RackmindCtl::tr("..."). What scripts
// read (JSON, the fields of `list`) stays as it is in every language.
struct RackmindCtl
{
    Q_DECLARE_TR_FUNCTIONS(RackmindCtl)
};

// Installs the catalogue of the user's locale (Simplified or Traditional Chinese), if any.
void installCtlCatalogues();
