#pragma once

#include "device/ProtectionList.h"

#include <QString>

struct CtlPdu;

// Protected outlets as the machine's one protection list holds them, whoever runs the command.
class CCtlProtection
{
public:
    CCtlProtection();
    // False when the list exists but cannot be read: then nothing may go off without --force.
    bool isReadable() const { return m_bReadable; }
    const QString& error() const { return m_strError; }
    QString path() const { return m_list.path(); }
    bool isProtected(const CtlPdu& pdu, int iOutlet) const;

private:
    CProtectionList m_list;
    bool m_bReadable = false;
    QString m_strError;
};
