#pragma once

#include <QWidget>

class CSubTab;

// Paints the background shared by the pages that carry a vertical sub tab bar: the strip under the
// bar in light grey, the rest white.
void paintSideTabBackground(QWidget* pWidget, CSubTab* pSubTab);
