#include "device/Pdu.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "device/AlarmTracker.h"
#include "device/Protocol.h"
#include "settings/AlarmSettings.h"

#include <QStringList>

#include <cstring>

namespace {
// Fills %1..%9 in one pass, so a '%' in a device's name or position is printed as it stands instead of
// being taken for a placeholder.
QString fillTemplate(const char* pTemplate, const QStringList& listValues)
{
    const QString strTemplate = QString::fromLatin1(pTemplate);
    QString strText;
    for (int i = 0; i < strTemplate.size(); ++i) {
        const int iArg = i + 1 < strTemplate.size() ? strTemplate.at(i + 1).digitValue() : -1;
        if (strTemplate.at(i) == QLatin1Char('%') && iArg >= 1 && iArg <= listValues.size()) {
            strText += listValues.at(iArg - 1);
            ++i;
        } else {
            strText += strTemplate.at(i);
        }
    }
    return strText;
}

struct Condition
{
    const char* pTemplate;
    QStringList listValues; // the reading and its limits; the address, name and position follow
};

Condition condition(const PduInfo& info, int iCondition)
{
    const QString strVoltage = QString::number(info.voltage);
    const QString strCurrent = currentInMail(info.current);
    switch (iCondition) {
    case CPdu::AlarmVoltageWarn:
        return {"Voltage Warn\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
                {strVoltage, QString::number(info.voltageWarn)}};
    case CPdu::AlarmVoltageOverload:
        return {"Voltage Overload\n\nValue:%1\nOverload Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
                {strVoltage, QString::number(info.voltageOverload)}};
    case CPdu::AlarmCurrentWarn:
        return {"Current Warn\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
                {strCurrent, currentInMail(info.currentWarn)}};
    case CPdu::AlarmCurrentOverload:
        return {"Current Overload\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
                {strCurrent, currentInMail(info.currentOverload)}};
    case CPdu::AlarmTemperature:
        return {"Temprature Warn\n\nValue:%1\nUpper Limit:%2\nLower Limit:%3\n\nIP:%4\nName:%5\nLocation:%6",
                {QString::number(info.temperature), QString::number(info.temperatureHighLimit),
                 QString::number(info.temperatureLowLimit)}};
    default:
        return {"Humidity Warn\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
                {QString::number(info.humidity), QString::number(info.humidityWarn)}};
    }
}
} // namespace

QString CPdu::alarmText(int iCondition) const
{
    const Condition cond = condition(stInfo, iCondition);
    // Whoever can write a unit's settings writes its name: a line break there would add lines (a reading,
    // a limit) the unit never reported.
    return fillTemplate(cond.pTemplate,
                        cond.listValues + QStringList{ipv4ToString(stInfo.ip),
                                                      mailLineText(deviceText(stInfo.name)),
                                                      mailLineText(deviceText(stInfo.position))});
}

QString CPdu::alarmValue(int iCondition) const
{
    return condition(stInfo, iCondition).listValues.value(0);
}

QString CPdu::alarmLimit(int iCondition) const
{
    return condition(stInfo, iCondition).listValues.mid(1).join(QStringLiteral(" / "));
}

// The alarm tick: compares the reported readings with the reported limits once a second. A condition
// counts once it has held on the configured number of fresh status replies, and ends once the reading is
// back clear of the limit by the configured margin; the tracker mails both.
bool CPdu::conditionHolds(const PduInfo& i, int iCondition)
{
    switch (iCondition) {
    case AlarmVoltageWarn:
        return i.voltage >= i.voltageWarn;
    case AlarmVoltageOverload:
        return i.voltage >= i.voltageOverload;
    case AlarmCurrentWarn:
        return i.current >= i.currentWarn;
    case AlarmCurrentOverload:
        return i.current >= i.currentOverload;
    case AlarmTemperature:
        return i.temperature >= i.temperatureHighLimit || i.temperature <= i.temperatureLowLimit;
    default:
        return i.humidity >= i.humidityWarn;
    }
}

void CPdu::slotEmailTimer()
{
    // Nothing is judged before the device's own limits and its identity (the mail names it) are known,
    // and a reading already judged is not counted again while no newer one arrives.
    if (!limitsKnown() || !hasReported(kCmdNetwork) || !m_bFreshStatus)
        return;
    m_bFreshStatus = false;
    // The state below is kept with or without a tracker to tell; a device without one tells no one.
    CAlarmTracker* pTracker = pAlarmTracker.data();
    const auto began = [&](int iCond) {
        if (pTracker)
            pTracker->alarmBegan(this, iCond, alarmText(iCond));
    };
    const auto ended = [&](int iCond) {
        if (pTracker)
            pTracker->alarmEnded(this, iCond, alarmText(iCond));
    };
    const bool bFirst = !m_bStandingChecked;
    m_bStandingChecked = true;
    const PduInfo& i = stInfo;
    bool aHolds[AlarmCount];
    for (int k = 0; k < AlarmCount; ++k)
        aHolds[k] = conditionHolds(i, k);
    // Without a margin an alarm ends exactly when its condition stops holding; written as negations so
    // that an unordered reading behaves the same either way.
    const double dLower = 1.0 - g_alarmSettings.hysteresisPercent / 100.0;
    const double dUpper = 1.0 + g_alarmSettings.hysteresisPercent / 100.0;
    const bool aClear[AlarmCount] = {
        !(i.voltage >= i.voltageWarn * dLower),
        !(i.voltage >= i.voltageOverload * dLower),
        !(i.current >= i.currentWarn * dLower),
        !(i.current >= i.currentOverload * dLower),
        !(i.temperature >= i.temperatureHighLimit * dLower ||
          i.temperature <= i.temperatureLowLimit * dUpper),
        !(i.humidity >= i.humidityWarn * dLower),
    };
    for (int iCond = 0; iCond < AlarmCount; ++iCond) {
        if (bFirst && pTracker && pTracker->wasStanding(this, iCond)) {
            // It stood before the restart: it stands on while the reading is not clear, without
            // waiting to be confirmed again.
            bAlarm[iCond] = !aClear[iCond];
            if (bAlarm[iCond])
                began(iCond);
            else
                ended(iCond);
        } else if (bAlarm[iCond]) {
            if (aClear[iCond]) {
                bAlarm[iCond] = false;
                ended(iCond);
            }
        } else if (aHolds[iCond] && m_aiHoldReplies[iCond] >= g_alarmSettings.debouncePolls) {
            m_aiHoldReplies[iCond] = 0;
            // Set whether or not the mail goes out: a condition is mailed once while it lasts.
            bAlarm[iCond] = true;
            began(iCond);
        }
    }
}
