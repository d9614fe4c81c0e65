#pragma once

class QString;

// True when strAccount / strPassword match the stored login account exactly (letter case counts).
// When the stored account and password are both empty (a store edited outside the program) only the
// built-in default account pavok / pavok is accepted, so the console cannot lock its operator out.
bool acceptsLoginCredentials(const QString& strAccount, const QString& strPassword);
