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

QString RunLog::escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r')
            out += u"\\r";
        else if (u == u'\n')
            out += u"\\n";
        else if (u == u'\t')
            out += u"\\t";
        else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029)
            out += u"\\x" + QString::number(u, 16).rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
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
    // Text from pages, servers and files is in many messages: a line break or an escape
    // sequence in it must not start a line of its own or reach a terminal.
    file.write((stamp() + u' ' + escaped(message)).toUtf8() + "\r\n");
    file.close();
}

void RunLog::writeTagged(const QString& text) const
{
    write(QString::number(m_identity.instance) + u": " + text);
}

} // namespace beamtide
