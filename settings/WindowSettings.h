#pragma once

#include <QRect>
#include <QVector>

// What the console remembers of its windows between runs, per user, beside the main record: the main
// window's place and state and the overview's columns. Every part is checked as it is read; a part
// that does not make sense for the columns the program has is left empty, as on a first start.
struct WindowSettings
{
    QRect rectMain; // the main window's normal geometry; null: never saved
    bool bMainMaximized = false;
    QVector<int> vecColumnWidths; // per column; empty: sized to content
    QVector<int> vecColumnOrder;  // the column at each place from the left; empty: as built
    QVector<int> vecHiddenColumns;
    int iSortColumn = -1; // -1: rows in the order they came
    bool bSortDescending = false;
};

// The remembered layout for an overview of iColumnCount columns.
WindowSettings loadWindowSettings(int iColumnCount);
void saveWindowSettings(const WindowSettings& settings);
