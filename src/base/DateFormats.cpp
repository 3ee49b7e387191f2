#include "base/DateFormats.h"

#include <QTimeZone>

namespace beamtide {

QString longTime(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString shortDate(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString dateTimeText(const QDateTime& dateTime)
{
    const QTime time = dateTime.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return shortDate(dateTime.date());
    return shortDate(dateTime.date()) + u' ' + longTime(time);
}

namespace {
bool readNumber(QStringView text, int& value)
{
    if (text.isEmpty())
        return false;
    value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return true;
}
} // namespace

QDateTime readDateTime(QStringView text)
{
    text = text.trimmed();
    const qsizetype blank = text.indexOf(u' ');
    const QStringView datePart = blank < 0 ? text : text.left(blank);
    const QStringView timePart = blank < 0 ? QStringView() : text.mid(blank + 1).trimmed();

    int y = 0, m = 0, d = 0;
    const auto dateFields = datePart.split(u'-');
    if (dateFields.size() != 3 || !readNumber(dateFields[0], y) || !readNumber(dateFields[1], m)
        || !readNumber(dateFields[2], d))
        return {};
    const QDate date(y, m, d);
    if (!date.isValid())
        return {};

    int hh = 0, mm = 0, ss = 0;
    if (!timePart.isEmpty()) {
        const auto timeFields = timePart.split(u':');
        if (timeFields.size() < 2 || timeFields.size() > 3 || !readNumber(timeFields[0], hh)
            || !readNumber(timeFields[1], mm)
            || (timeFields.size() == 3 && !readNumber(timeFields[2], ss)))
            return {};
    }
    const QTime time(hh, mm, ss);
    if (!time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

} // namespace beamtide
