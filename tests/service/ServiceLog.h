#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

// Reads the process's standard error into strLog until it holds strText or iMsec have passed.
inline bool waitForLog(QProcess& process, QString& strLog, const QString& strText, int iMsec = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!strLog.contains(strText) && timer.elapsed() < iMsec) {
        process.waitForReadyRead(200);
        strLog += QString::fromLocal8Bit(process.readAllStandardError());
    }
    return strLog.contains(strText);
}
