#include "device/Pdu.h"

#include "app/Settings.h"
#include "device/Protocol.h"
#include "mail/MailQueue.h"

#include <QStringList>

#include <cstring>

namespace {
// A NUL-padded text field: its bytes up to the first NUL, at most the field's width, as UTF-8.
template <int N> QString fieldText(const char (&field)[N])
{
    const void* pNul = std::memchr(field, 0, N);
    const int iLength = pNul ? static_cast<int>(static_cast<const char*>(pNul) - field) : N;
    return QString::fromUtf8(field, iLength);
}

QString amperes(double dValue)
{
    return QString::number(dValue, 'g', 6);
}

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
} // namespace

// The alarm tick: compares the reported readings with the reported limits once a second and mails
// the start of each alarm condition.
void CPdu::slotEmailTimer()
{
    const bool aHolds[AlarmCount] = {
        stInfo.voltage >= stInfo.voltageWarn,
        stInfo.voltage >= stInfo.voltageOverload,
        stInfo.current >= stInfo.currentWarn,
        stInfo.current >= stInfo.currentOverload,
        stInfo.temperature >= stInfo.temperatureHighLimit || stInfo.temperature <= stInfo.temperatureLowLimit,
        stInfo.humidity >= stInfo.humidityWarn,
    };
    // Every device ticks once a second; the texts are made only on the rare tick that mails.
    bool bMail = false;
    for (int i = 0; i < AlarmCount; ++i) {
        if (!aHolds[i])
            bAlarm[i] = false;
        else if (!bAlarm[i])
            bMail = true;
    }
    if (!bMail)
        return;

    const QStringList listWhere{ipv4ToString(stInfo.ip), fieldText(stInfo.name), fieldText(stInfo.position)};
    const QString strVoltage = QString::number(stInfo.voltage);
    const QString strCurrent = amperes(stInfo.current);
    struct Condition
    {
        const char* pTemplate;
        QStringList listValues; // the reading and its limits; the address, name and position follow
    };
    const Condition aConditions[AlarmCount] = {
        {"Voltage Warn\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
         {strVoltage, QString::number(stInfo.voltageWarn)}},
        {"Voltage Overload\n\nValue:%1\nOverload Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
         {strVoltage, QString::number(stInfo.voltageOverload)}},
        {"Current Warn\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
         {strCurrent, amperes(stInfo.currentWarn)}},
        {"Current Overload\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
         {strCurrent, amperes(stInfo.currentOverload)}},
        {"Temprature Warn\n\nValue:%1\nUpper Limit:%2\nLower Limit:%3\n\nIP:%4\nName:%5\nLocation:%6",
         {QString::number(stInfo.temperature), QString::number(stInfo.temperatureHighLimit),
          QString::number(stInfo.temperatureLowLimit)}},
        {"Humidity Warn\n\nValue:%1\nWarn Limit:%2\n\nIP:%3\nName:%4\nLocation:%5",
         {QString::number(stInfo.humidity), QString::number(stInfo.humidityWarn)}},
    };
    for (int i = 0; i < AlarmCount; ++i) {
        if (aHolds[i] && !bAlarm[i]) {
            sendAlarmMail(fillTemplate(aConditions[i].pTemplate, aConditions[i].listValues + listWhere));
            // Set whether or not the mail goes out: a condition is mailed once while it lasts.
            bAlarm[i] = true;
        }
    }
}

void CPdu::sendAlarmMail(const QString& strText)
{
    // The settings are taken now; the mail worker delivers in the background, so a slow or silent
    // server never holds up the interface.
    MailJob job;
    job.host = g_settings.smtpHost;
    job.port = g_settings.smtpPort;
    job.ssl = g_settings.smtpSsl;
    job.account = g_settings.smtpAccount;
    job.password = g_settings.smtpPassword;
    job.receiver = g_settings.smtpReceiver;
    job.subject = QStringLiteral("PDU Warning");
    job.body = strText;
    CMailQueue::instance()->enqueue(job);
}
