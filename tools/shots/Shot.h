#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <functional>

class QPixmap;
class QWidget;

// What every window's pictures share: the language and where they go.
class CShot
{
public:
    // strOut is a folder (every picture as <name>-<lang>.png) or one .png file, which takes the
    // picture named strPicture, or the first one when that is empty.
    CShot(const QString& strLang, const QString& strOut, const QString& strPicture);

    QString lang() const { return m_strLang; }
    // The settings' language number: 1 English, 2 Simplified, 3 Traditional Chinese.
    int language() const;

    // Lets the window settle, then saves it as picture strName ("login-wrong") where the output wants
    // it and prints the path. False when the file cannot be written.
    bool save(QWidget& widget, const QString& strName);
    bool save(const QPixmap& picture, const QString& strName);
    // False, with the pictures that were on offer, when one output file was asked for and none of the
    // window's pictures went into it.
    bool finish() const;

private:
    QString m_strLang;
    QString m_strOut;
    QString m_strPicture;
    bool m_bFile = false;
    bool m_bFileWritten = false;
    QStringList m_listNames;
};

// Runs the event loop until done() holds or iMs have passed; false on time-out.
bool waitFor(const std::function<bool()>& done, int iMs);
// Runs the event loop for iMs: paints and queued updates land.
void settle(int iMs);
// A left click in the widget's centre, pressed and released as an operator's.
void click(QWidget* pWidget);
// Prints "shots: <why>" on the error stream; returns false for the caller to pass on.
bool fail(const QString& strWhy);
