#pragma once

class QString;

// Tells the service manager how the service stands ("READY=1", "RELOADING=1", "STATUS=..."); a no-op
// when the service was not started by one.
void notifyServiceManager(const QString& strState);
