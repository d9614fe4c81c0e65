#pragma once

#include <QObject>
#include <QStringList>
#include <QVector>

class CSimFleet;
class CSimDevice;

// The simulator's command language, shared by stdin, the control socket, scenario files and tests.
// A command answers with zero or more lines followed by "ok" or "error: <why>".
class CSimControl : public QObject
{
    Q_OBJECT
public:
    CSimControl(CSimFleet* pFleet, QObject* parent);

    QStringList execute(const QString& strLine);
    // Runs a scenario: one command a line, "#" starts a comment, "at SECONDS COMMAND" runs the command
    // that many seconds after the scenario was started.
    bool runScenario(const QString& strFile, QString* pError);
    bool runScenarioText(const QString& strText, const QString& strName, QString* pError);

    static QString helpText();
    // The scenario of the demo rack: twelve varied PDUs, one near a warning limit, one on port 6000.
    static QString demoRackText();
    static constexpr int kDemoRackSize = 12;

signals:
    void signalQuit();

private:
    QStringList run(const QStringList& listArgs);
    QVector<CSimDevice*> select(const QString& strWhich, QString* pError) const;
    // Applies one KEY VALUE (or KEY OUTLET VALUE) at iPos and moves iPos past it.
    QString setField(CSimDevice* pDevice, const QStringList& listAll, int& iPos);
    QStringList describe(CSimDevice* pDevice) const;
    QString summary(CSimDevice* pDevice) const;

    CSimFleet* m_pFleet;
};
