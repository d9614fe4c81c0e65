#pragma once

#include <QtTest>

// A table of one bool column: the case run without the condition, then with it.
inline void addFalseTrueRows(const char* pszColumn, const char* pszFalse, const char* pszTrue)
{
    QTest::addColumn<bool>(pszColumn);
    QTest::newRow(pszFalse) << false;
    QTest::newRow(pszTrue) << true;
}
