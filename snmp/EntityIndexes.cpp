#include "snmp/EntityIndexes.h"

#include "common/SafeOpen.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString CEntityIndexes::defaultPath()
{
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(strDir);
    return QDir(strDir).filePath(QStringLiteral("snmp-indexes"));
}

CEntityIndexes::CEntityIndexes(const QString& strPath) : m_strPath(strPath) {}

bool CEntityIndexes::load()
{
    m_hashIndexes.clear();
    m_uiHighest = 0;
    m_bUsable = false;
    QString strWhy;
    const int fd = SafeOpen::open(m_strPath, O_RDONLY, 0, SafeOpen::Rules(), &strWhy);
    if (fd < 0 && errno == ENOENT) {
        m_bUsable = true;
        return true;
    }
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        m_strError = strWhy.isEmpty() ? file.errorString() : strWhy;
        return false;
    }
    static const QRegularExpression reLine(QStringLiteral("^([0-9A-F]{12}) ([1-9][0-9]{0,9})$"));
    QTextStream stream(&file);
    int iLine = 0;
    QSet<quint32> setNumbers;
    while (!stream.atEnd()) {
        const QString strLine = stream.readLine();
        ++iLine;
        if (strLine.isEmpty())
            continue;
        const QRegularExpressionMatch match = reLine.match(strLine);
        const qulonglong uiIndex = match.hasMatch() ? match.captured(2).toULongLong() : 0;
        // Each number is a PDU's block of entities: it must leave room for the last entity's number, and
        // be one PDU's only (two units under one entity would mix their rows).
        if (uiIndex == 0 || uiIndex > kHighestIndex || m_hashIndexes.contains(match.captured(1)) ||
            setNumbers.contains(quint32(uiIndex))) {
            m_strError =
                QStringLiteral("%1: line %2 is not a MAC and a number of its own").arg(m_strPath).arg(iLine);
            m_hashIndexes.clear();
            return false;
        }
        m_hashIndexes.insert(match.captured(1), quint32(uiIndex));
        setNumbers.insert(quint32(uiIndex));
        m_uiHighest = qMax(m_uiHighest, quint32(uiIndex));
    }
    m_bUsable = true;
    m_strError.clear();
    return true;
}

bool CEntityIndexes::assign(const QStringList& listMacDigits)
{
    if (!m_bUsable)
        return false;
    const QHash<QString, quint32> hashBefore = m_hashIndexes;
    const quint32 uiHighestBefore = m_uiHighest;
    for (const QString& strMac : listMacDigits) {
        if (m_hashIndexes.contains(strMac))
            continue;
        if (m_uiHighest >= kHighestIndex)
            break;
        m_hashIndexes.insert(strMac, ++m_uiHighest);
    }
    if (m_uiHighest == uiHighestBefore || save())
        return true;
    m_hashIndexes = hashBefore;
    m_uiHighest = uiHighestBefore;
    return false;
}

bool CEntityIndexes::save()
{
    // The save would follow a link put in the file's place since it was read.
    QString strWhy;
    if (!SafeOpen::check(m_strPath, {QString()}, SafeOpen::Rules(), &strWhy)) {
        m_strError = strWhy;
        return false;
    }
    QSaveFile file(m_strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        m_strError = m_strPath + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QMap<quint32, QString> mapByIndex;
    for (auto it = m_hashIndexes.cbegin(); it != m_hashIndexes.cend(); ++it)
        mapByIndex.insert(it.value(), it.key());
    QByteArray ba;
    for (auto it = mapByIndex.cbegin(); it != mapByIndex.cend(); ++it)
        ba += it.value().toLatin1() + ' ' + QByteArray::number(it.key()) + '\n';
    file.write(ba);
    if (!file.commit()) {
        m_strError = m_strPath + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}
