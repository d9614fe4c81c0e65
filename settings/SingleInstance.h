#pragma once

#include <QSharedMemory>

// The token that keeps a second copy of the program from running: a 1-byte shared-memory segment
// held for the whole run.
class CSingleInstance
{
public:
    enum Result
    {
        Acquired,
        AlreadyRunning,
        CreateFailed
    };

    explicit CSingleInstance(const QString& strKey = QStringLiteral("Rackmind"));

    Result acquire();
    void release() { m_sharedMemory.detach(); }

private:
    QSharedMemory m_sharedMemory;
};
