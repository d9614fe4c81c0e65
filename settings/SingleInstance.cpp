#include "settings/SingleInstance.h"

CSingleInstance::CSingleInstance(const QString& strKey) : m_sharedMemory(strKey) {}

CSingleInstance::Result CSingleInstance::acquire()
{
    // On Unix a segment outlives a process that crashed while holding it. Attaching and detaching
    // once removes such a segment when no live process is attached; a live instance keeps it.
    {
        QSharedMemory probe(m_sharedMemory.key());
        if (probe.attach())
            probe.detach();
    }
    if (m_sharedMemory.attach()) {
        m_sharedMemory.detach();
        return AlreadyRunning;
    }
    if (!m_sharedMemory.create(1))
        return CreateFailed;
    return Acquired;
}
