#pragma once

#include "tools/pdusim/SimFleet.h"

#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

class CSimControl;

// Runs a fleet on a thread of its own inside the test bed's device namespace, so that one test process
// can be the console (in the console namespace) and talk to simulated PDUs (in the device namespace).
// Only this thread enters the device namespace; every socket the fleet opens is made there.
//
//     CSimThread sim;
//     QVERIFY2(sim.startFleet(config, &strError), qPrintable(strError));
//     sim.command("set 3 voltage 251");
//     const quint8 outlets = sim.call([](CSimFleet& f) { return f.device(3)->st.outletStatus; });
class CSimThread : public QThread
{
    Q_OBJECT
public:
    explicit CSimThread(QObject* parent = nullptr);
    ~CSimThread() override;

    // strNetns: the namespace to enter, by its name under /run/netns; empty takes the bed's device
    // namespace (RACKMIND_BED_DEVICE_NS).
    bool startFleet(const CSimConfig& config, QString* pError = nullptr, const QString& strNetns = QString());
    void stopFleet();

    // Runs a control command on the fleet's thread and returns its output (last line "ok" or "error: ...").
    QStringList command(const QString& strLine);

    // Runs f(fleet) on the fleet's thread and returns its result.
    template <typename F> auto call(F f) -> decltype(f(std::declval<CSimFleet&>()))
    {
        using R = decltype(f(std::declval<CSimFleet&>()));
        if constexpr (std::is_void_v<R>) {
            runOnFleetThread([&]() { f(*m_pFleet); });
        } else {
            R result{};
            runOnFleetThread([&]() { result = f(*m_pFleet); });
            return result;
        }
    }

    // Enters a network namespace by name (for the calling thread only).
    static bool enterNamespace(const QString& strNetns, QString* pError);

protected:
    void run() override;

private:
    // Waits for fn on the fleet's thread. The hand-over uses std primitives rather than a blocking
    // queued connection, so that thread sanitizer builds can see it.
    void runOnFleetThread(const std::function<void()>& fn);

    CSimConfig m_config;
    QString m_strNetns;
    CSimFleet* m_pFleet = nullptr;
    CSimControl* m_pControl = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_condReady;
    bool m_bReady = false;
    bool m_bOk = false;
    QString m_strError;
};
