#include "cli/CtlProtection.h"

#include "cli/CtlLink.h"
#include "cli/CtlTarget.h"

CCtlProtection::CCtlProtection()
{
    m_bReadable = m_list.load(&m_strError);
}

bool CCtlProtection::isProtected(const CtlPdu& pdu, int iOutlet) const
{
    return m_list.contains(bareMac(macText(pdu)), iOutlet);
}
