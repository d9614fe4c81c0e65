#pragma once

#include <QString>
#include <QtGlobal>

// One entry of the event log. Which fields a kind fills:
//   Appeared, Offline, BackOnline   subject: the device's address
//   AlarmBegan, AlarmEnded          subject: the condition; newValue: the reading; limit: its limit
//   AlarmAcknowledged               subject: the condition; detail: who or how
//   OutletSwitched                  subject: the outlet's number; newValue: "on" or "off"
//   OutletCycled                    subject: the outlet's number; detail: one step of a cycle
//   OutletRefused                   subject: the outlet's number; newValue: what was asked; detail: why
//   OutletProtected, OutletUnprotected, CycleStarted, CycleCompleted, CycleFailed, CycleCancelled
//                                   subject: the outlet's number; detail: how
//   GroupWritten                    subject: the field; oldValue, newValue; detail: the device's answer
//   Download                        subject: the field; oldValue, newValue
//   MailSent, MailFailed            subject: the mail's subject; detail: receiver, or why it failed
//   MonitoringStarted, MonitoringStopped
//                                   a program began or ended polling the room; detail: which program
//   ClockChanged                    subject: "set back" or "set forward"; oldValue: the time the clock
//                                   would have shown, newValue: the time it showed; detail: the step
//   SamplesDropped                  subject: how many polls went unrecorded since the last such entry
//                                   (the writer's queue was full; at most one entry a minute)
//   ImplausibleReading              subject: "voltage" or "current"; newValue: the reading; limit: what
//                                   it cannot be; the samples count no energy until readings are
//                                   plausible again (one entry per such episode)
//   GroupAlarmBegan, GroupAlarmEnded, GroupAlarmAcknowledged
//                                   pdu: the group; subject: the condition; newValue: the group's
//                                   load; limit: its budget or breaker rating; detail as for a device's
// The stored kind numbers never change meaning; new kinds take new numbers.
struct HistoryEvent
{
    enum Kind
    {
        Appeared = 1,
        Offline = 2,
        BackOnline = 3,
        AlarmBegan = 4,
        AlarmEnded = 5,
        AlarmAcknowledged = 6,
        OutletSwitched = 7,
        OutletCycled = 8,
        Download = 9,
        MailSent = 10,
        MailFailed = 11,
        MonitoringStarted = 12,
        MonitoringStopped = 13,
        OutletRefused = 14,
        OutletProtected = 15,
        OutletUnprotected = 16,
        CycleStarted = 17,
        CycleCompleted = 18,
        CycleFailed = 19,
        CycleCancelled = 20,
        GroupWritten = 21,
        ClockChanged = 22,
        SamplesDropped = 23,
        ImplausibleReading = 24,
        GroupAlarmBegan = 25,
        GroupAlarmEnded = 26,
        GroupAlarmAcknowledged = 27,
    };
    static constexpr int kFirstKind = Appeared;
    static constexpr int kLastKind = GroupAlarmAcknowledged;

    qint64 iMsecs = 0; // since the epoch; the store stamps it when left 0
    int iKind = 0;
    QString strMac; // empty for events of the console itself
    QString strPdu; // the device's name when it happened
    QString strSubject;
    QString strOld;
    QString strNew;
    QString strLimit;
    QString strDetail;
    // Its row in the store, as a reader read it (0: not read from a store). Last: events are written
    // field by field in order.
    qint64 iId = 0;
};
