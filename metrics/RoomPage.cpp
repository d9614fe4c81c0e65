#include "metrics/RoomPage.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"

namespace {

constexpr int kReloadSec = 5;

const char* const kConditionTexts[CPdu::AlarmCount] = {"Voltage warn",     "Voltage overload", "Current warn",
                                                       "Current overload", "Temperature",      "Humidity"};

const char kHead[] = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="refresh" content="%RELOAD%">
<title>Rackmind</title>
<style>
body{font-family:system-ui,sans-serif;margin:0;padding:12px;background:#f3f5f7;color:#1d2329}
h1{font-size:1.3em;margin:0 0 4px}
.sum{margin:0 0 12px;color:#4a5560}
.room{display:grid;grid-template-columns:repeat(auto-fill,minmax(260px,1fr));gap:10px}
.pdu{background:#fff;border-radius:8px;padding:10px;border-left:6px solid #2e9d4f;box-shadow:0 1px 2px #0002}
.pdu.off{border-left-color:#8a939b;color:#6a737b}
.pdu.alarm{border-left-color:#d23b2e}
.name{font-weight:600;overflow-wrap:anywhere}
.where{font-size:.85em;color:#5b6670;overflow-wrap:anywhere}
.read{display:flex;flex-wrap:wrap;gap:4px 14px;margin:6px 0;font-variant-numeric:tabular-nums}
.outs{display:flex;gap:3px}
.o{width:22px;height:18px;border-radius:3px;font-size:11px;text-align:center;line-height:18px;background:#d9dee2}
.o.on{background:#2e9d4f;color:#fff}
.al{color:#d23b2e;font-weight:600;margin-top:6px}
a{color:#1f5fa8}
</style></head><body>
)";

void appendReading(QByteArray& baOut, const QString& strValue, const char* pszUnit)
{
    baOut += "<span>" + strValue.toLatin1() + ' ' + pszUnit + "</span>";
}

void appendReading(QByteArray& baOut, double dValue, const char* pszUnit)
{
    appendReading(baOut, QString::number(dValue, 'f', 1), pszUnit);
}

} // namespace

QByteArray htmlEscaped(const QString& strText)
{
    QByteArray baOut;
    for (const char c : strText.toUtf8()) {
        switch (c) {
        case '&':
            baOut += "&amp;";
            break;
        case '<':
            baOut += "&lt;";
            break;
        case '>':
            baOut += "&gt;";
            break;
        case '"':
            baOut += "&quot;";
            break;
        case '\'':
            baOut += "&#39;";
            break;
        default:
            if (uchar(c) >= 0x20 && c != 0x7F)
                baOut += c;
        }
    }
    return baOut;
}

QByteArray renderRoomPage(const QList<CPdu*>& listPdu)
{
    int iOnline = 0, iAlarmed = 0;
    QByteArray baCards;
    baCards.reserve(listPdu.size() * 700);
    for (const CPdu* pPdu : listPdu) {
        const PduInfo& info = pPdu->stInfo;
        const bool bOnline = pPdu->isOnline();
        QByteArray baAlarms;
        for (int iAlarm = 0; iAlarm < CPdu::AlarmCount && bOnline && pPdu->limitsKnown(); ++iAlarm)
            if (CPdu::conditionHolds(info, iAlarm))
                baAlarms += (baAlarms.isEmpty() ? "" : ", ") + QByteArray(kConditionTexts[iAlarm]);
        iOnline += bOnline;
        iAlarmed += !baAlarms.isEmpty();
        baCards += QByteArray("<div class=\"pdu") +
                   (!bOnline             ? " off"
                    : baAlarms.isEmpty() ? ""
                                         : " alarm") +
                   "\"><div class=\"name\">" + htmlEscaped(deviceText(info.name)) +
                   "</div><div class=\"where\">" + htmlEscaped(deviceText(info.position)) + " &middot; " +
                   htmlEscaped(pPdu->sendAddress().toString()) + " &middot; " + htmlEscaped(pPdu->strGroup) +
                   "</div>";
        if (!bOnline) {
            baCards += "<div class=\"read\">offline</div></div>\n";
            continue;
        }
        baCards += "<div class=\"read\">";
        appendReading(baCards, info.voltage, "V");
        appendReading(baCards, currentReading(info.current), "A");
        appendReading(baCards, info.temperature, "&deg;C");
        appendReading(baCards, info.humidity, "%RH");
        baCards += "</div><div class=\"outs\">";
        for (int iOutlet = 0; iOutlet < 8; ++iOutlet)
            baCards += QByteArray("<span class=\"o") + ((info.outletStatus >> iOutlet) & 1 ? " on" : "") +
                       "\">" + QByteArray::number(iOutlet + 1) + "</span>";
        baCards += "</div>";
        if (!baAlarms.isEmpty())
            baCards += "<div class=\"al\">" + baAlarms + "</div>";
        baCards += "</div>\n";
    }
    QByteArray baPage = QByteArray(kHead).replace("%RELOAD%", QByteArray::number(kReloadSec));
    baPage += "<h1>Rackmind</h1><p class=\"sum\">" + QByteArray::number(listPdu.size()) + " PDUs, " +
              QByteArray::number(iOnline) + " online, " + QByteArray::number(iAlarmed) +
              " in alarm &middot; <a href=\"/metrics\">metrics</a></p>\n<div class=\"room\">\n";
    baPage += baCards;
    baPage += "</div></body></html>\n";
    return baPage;
}
