#include "tools/shots/Shot.h"

#include "tools/common/TextFit.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPixmap>
#include <QThread>
#include <QWidget>

#include <cstdio>

CShot::CShot(const QString& strLang, const QString& strOut, const QString& strPicture)
    : m_strLang(strLang), m_strOut(QFileInfo(strOut).absoluteFilePath()), m_strPicture(strPicture),
      m_bFile(strOut.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
{
    if (!m_bFile)
        QDir().mkpath(m_strOut);
}

int CShot::language() const
{
    if (m_strLang == QLatin1String("zh_CN"))
        return 2;
    return m_strLang == QLatin1String("zh_TW") ? 3 : 1;
}

bool CShot::save(QWidget& widget, const QString& strName)
{
    settle(300);
    // A picture with a cut text shows what an operator cannot read: said beside its path.
    for (const QString& strCut : cutTexts(widget.window()))
        std::fprintf(stderr, "%s: cut text: %s\n", qPrintable(strName), qPrintable(strCut));
    return save(widget.grab(), strName);
}

bool CShot::save(const QPixmap& picture, const QString& strName)
{
    m_listNames << strName;
    QString strPath;
    if (!m_bFile)
        strPath = QDir(m_strOut).filePath(strName + QLatin1Char('-') + m_strLang + QStringLiteral(".png"));
    else if (!m_bFileWritten && (m_strPicture.isEmpty() || m_strPicture == strName))
        strPath = m_strOut;
    else
        return true;
    m_bFileWritten = true;
    const bool bSaved = picture.save(strPath);
    std::printf("%s%s\n", bSaved ? "" : "FAILED ", qPrintable(strPath));
    std::fflush(stdout);
    return bSaved;
}

bool CShot::finish() const
{
    if (!m_bFile || m_bFileWritten)
        return true;
    return fail(QStringLiteral("no picture %1; this window makes %2")
                    .arg(m_strPicture, m_listNames.join(QStringLiteral(", "))));
}

bool waitFor(const std::function<bool()>& done, int iMs)
{
    const QDeadlineTimer deadline(iMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

void settle(int iMs)
{
    waitFor([] { return false; }, iMs);
}

void click(QWidget* pWidget)
{
    const QPointF ptCentre(pWidget->rect().center());
    QMouseEvent press(QEvent::MouseButtonPress, ptCentre, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, ptCentre, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &press);
    QApplication::sendEvent(pWidget, &release);
}

bool fail(const QString& strWhy)
{
    std::fprintf(stderr, "shots: %s\n", qPrintable(strWhy));
    return false;
}
