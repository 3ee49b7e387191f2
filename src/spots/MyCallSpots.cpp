#include "spots/MyCallSpots.h"

#include "base/Identity.h"
#include "spots/SpotRules.h"

namespace beamtide {

MyCallSpots::MyCallSpots(QString filePath) : m_path(std::move(filePath)) {}

QString MyCallSpots::filePath(const Identity& identity)
{
    return identity.plainFile(QString(identity.filePrefix + identity.myCall + u"-spots.txt"));
}

bool MyCallSpots::isMyCall(QStringView call, QStringView myCall)
{
    return !myCall.isEmpty() && call.startsWith(myCall);
}

QString MyCallSpots::perBandLine(const SpotFields& fields, qint64 spotTimeMSecs)
{
    QString line = alertTextLine(fields, 19); // room for the date and time
    appendDateTimeText(line, spotTimeMSecs);
    return line;
}

QString MyCallSpots::allBandsLine(const SpotFields& fields)
{
    // The same shape as the alert text line; the all-bands pass does not trim.
    return alertTextLine(fields);
}

void MyCallSpots::load()
{
    m_lines.load(m_path);
}

SaveResult MyCallSpots::save() const
{
    return m_lines.save(m_path);
}

SaveResult MyCallSpots::saveIfAny() const
{
    if (m_lines.isEmpty())
        return SaveResult::done();
    return save();
}

} // namespace beamtide
