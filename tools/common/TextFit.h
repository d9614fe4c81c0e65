#pragma once

#include <QList>
#include <QStringList>

class QWidget;

// Texts cut by the widgets that show them, drawn with the fonts a desk really has: for the tests and the
// picture tool.

// Every shown label, button, check box, tab, group box title, combo box item and header section of
// pWindow whose text is wider than the room its widget gives it, as "class name 'text' needs N has M".
QStringList cutTexts(QWidget* pWindow);
// The same on each page of each of its stacks in turn, except the pages listed.
QStringList cutTextsOnEveryPage(QWidget* pWindow, const QList<QWidget*>& listSkippedPages = {});

// Makes fontconfig see only the fonts the console's packages bring a desk (DejaVu's core faces and
// WenQuanYi Micro Hei), through a configuration written into strFolder. Before the application object.
bool useDeskFontsOnly(const QString& strFolder);
// The font families offered beyond the desk's.
QStringList strangerFamilies();

// A test's main() run with the desk's fonts (the test includes QtTest and QApplication).
#define DESK_FONTS_TEST_MAIN(TestObject)                                                                     \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        QTemporaryDir dir;                                                                                   \
        if (!useDeskFontsOnly(dir.path()))                                                                   \
            return 1;                                                                                        \
        QApplication app(argc, argv);                                                                        \
        TestObject test;                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
