#pragma once

#include "device/AlarmNotifier.h"

#include <QList>
#include <QStringList>

#include <utility>

// Keeps the alarm tracker's notices for a test to read: the alarm logic without a mail server.
struct RecordingNotifier : CAlarmNotifier
{
    QList<AlarmNotice> listNotices;
    void notify(const AlarmNotice& notice) override { listNotices << notice; }
    // The notices since the last call, each as "Subject: <subject>\n<text>".
    QStringList take()
    {
        QStringList list;
        for (const AlarmNotice& notice : std::exchange(listNotices, {}))
            list << QStringLiteral("Subject: ") + notice.strSubject + QLatin1Char('\n') + notice.strText;
        return list;
    }
};
