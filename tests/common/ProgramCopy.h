#pragma once

// A program of the build tree copied, with the libraries of the build tree it loads, into a folder of
// the test's that every user can reach and that is not below /tmp. Another user cannot run the program
// where the checkout lies when the checkout sits in a folder only its owner may enter, and a program
// given a /tmp of its own does not see a checkout below /tmp.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

class ProgramCopy
{
public:
    // Copies strProgram into the folder; false (and why in errorString()) when it cannot.
    bool copy(const QString& strProgram)
    {
        if (!m_dir.isValid())
            return fail(QStringLiteral("no folder in /var/tmp: ") + m_dir.errorString());
        // Others may pass through and run what is here, not list it.
        if (!QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::ExeGroup | QFile::ExeOther))
            return fail(QStringLiteral("cannot open ") + m_dir.path() + QStringLiteral(" to others"));
        QStringList listFiles{strProgram};
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {strProgram});
        if (!ldd.waitForFinished(30000))
            return fail(QStringLiteral("ldd did not answer"));
        const QString strTree = qEnvironmentVariable("RACKMIND_BINARY_DIR");
        const QRegularExpression reLoaded(QStringLiteral("=> (/.*) \\(0x"));
        for (const QString& strLine : QString::fromLocal8Bit(ldd.readAllStandardOutput()).split('\n')) {
            const QString strLib = reLoaded.match(strLine).captured(1);
            if (!strTree.isEmpty() && strLib.startsWith(strTree + QLatin1Char('/')))
                listFiles << strLib;
        }
        for (const QString& strFile : qAsConst(listFiles)) {
            const QString strTo = path(strFile);
            if (!QFile::copy(strFile, strTo) ||
                !QFile::setPermissions(strTo,
                                       QFile::permissions(strFile) | QFile::ReadOther | QFile::ReadGroup))
                return fail(QStringLiteral("cannot copy ") + strFile + QStringLiteral(" to ") + strTo);
        }
        return true;
    }

    // The copy of a program, or another file of the folder, by its name.
    QString path(const QString& strProgram) const { return m_dir.filePath(QFileInfo(strProgram).fileName()); }
    // The folder of the copies, for LD_LIBRARY_PATH (it goes before the build tree's run path) and for
    // more files the other user needs.
    QString folder() const { return m_dir.path(); }
    QString errorString() const { return m_strError; }

private:
    bool fail(const QString& strWhy)
    {
        m_strError = strWhy;
        return false;
    }

    QTemporaryDir m_dir{QStringLiteral("/var/tmp/rackmind-test-XXXXXX")};
    QString m_strError;
};
