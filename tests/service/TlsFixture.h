#pragma once

#include <QDir>
#include <QProcess>
#include <QStringList>

#include <crypt.h>

#include <memory>

// A test CA with a server certificate for 127.0.0.1 and a client certificate, made with openssl in
// dir: ca.crt, server.crt, server.key, client.crt, client.key. False when openssl fails.
inline bool makeTlsFiles(const QDir& dir)
{
    const QString strConf = dir.filePath(QStringLiteral("san.cnf"));
    QFile file(strConf);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("subjectAltName=IP:127.0.0.1\n");
    file.close();
    const QList<QStringList> listSteps = {
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "2",
         "-subj", "/CN=test ca", "-keyout", "ca.key", "-out", "ca.crt"},
        {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=127.0.0.1",
         "-keyout", "server.key", "-out", "server.csr"},
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-days",
         "2", "-extfile", "san.cnf", "-out", "server.crt"},
        {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=scraper",
         "-keyout", "client.key", "-out", "client.csr"},
        {"x509", "-req", "-in", "client.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-days",
         "2", "-out", "client.crt"},
    };
    for (const QStringList& listArgs : listSteps) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral("openssl"), listArgs);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode())
            return false;
    }
    return true;
}

// A bcrypt hash of the password, made by the system's crypt library.
inline QByteArray bcryptHash(const QByteArray& baPassword, int iCost = 5)
{
    char acSalt[CRYPT_GENSALT_OUTPUT_SIZE];
    auto pData = std::make_unique<crypt_data>();
    if (!crypt_gensalt_rn("$2b$", iCost, nullptr, 0, acSalt, sizeof acSalt))
        return {};
    return QByteArray(crypt_r(baPassword.constData(), acSalt, pData.get()));
}

// curl's HTTP status for a request (000 when no HTTP answer came), with extra arguments.
inline QByteArray curlStatus(const QString& strUrl, const QStringList& listArgs)
{
    QProcess process;
    process.start(QStringLiteral("curl"),
                  QStringList{"-s", "-o", "/dev/null", "-w", "%{http_code}", "-m", "20"} + listArgs +
                      QStringList{strUrl});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return "curl did not run";
    return process.readAllStandardOutput();
}

// The body curl fetched, after an empty header block, for promtoolCheckMetrics.
inline QByteArray curlBody(const QString& strUrl, const QStringList& listArgs)
{
    QProcess process;
    process.start(QStringLiteral("curl"), QStringList{"-sf", "-m", "20"} + listArgs + QStringList{strUrl});
    process.waitForFinished(30000);
    return "\r\n\r\n" + process.readAllStandardOutput();
}
