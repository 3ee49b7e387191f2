#include "base/RunLog.h"

#include "base/Clock.h"
#include "base/DateFormats.h"
#include "base/Identity.h"

#include <QFile>
#include <QMutex>

namespace beamtide {

RunLog::RunLog(const Identity& identity, const Clock& clock)
    : m_identity(identity), m_clock(clock)
{
}

bool RunLog::enabled() const
{
    return m_identity.hasOption(u"/log");
}

QString RunLog::fileName() const
{
    // Taken at each line: the instance number may become 0 after the first fetch.
    return m_identity.dataFile(u"WSPRLog", u".txt");
}

QString RunLog::stamp() const
{
    return dateTimeText(m_clock.nowLocal());
}

void RunLog::write(const QString& message) const
{
    // The network thread logs too; one line at a time keeps lines whole.
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    if (m_sink)
        m_sink(message);
    if (!enabled())
        return;
    QFile file(fileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write((stamp() + u' ' + message).toUtf8() + "\r\n");
    file.close();
}

void RunLog::writeTagged(const QString& text) const
{
    write(QString::number(m_identity.instance) + u": " + text);
}

} // namespace beamtide
