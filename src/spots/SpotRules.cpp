#include "spots/SpotRules.h"

#include "base/DateFormats.h"
#include "retrieval/SpotParser.h"

#include <cmath>
#include <limits>

namespace beamtide {

namespace {

bool beginsWith(QStringView s, QStringView t)
{
    return !t.isEmpty() && s.startsWith(t);
}

bool beginsWithAnyTerm(QStringView s, QStringView list)
{
    for (int n = 1; n <= 6; ++n)
        if (beginsWith(s, GetFieldView(list, u',', n).trimmed()))
            return true;
    return false;
}

} // namespace

SpotFields splitSpotLine(QStringView line, bool trimmed)
{
    SpotFields fields;
    qsizetype start = 0;
    for (QStringView& field : fields) {
        if (start > line.size())
            break;
        qsizetype end = line.indexOf(u',', start);
        if (end < 0)
            end = line.size();
        field = line.mid(start, end - start);
        if (trimmed)
            field = field.trimmed();
        start = end + 1;
    }
    return fields;
}

QString callFilterText(QStringView field)
{
    const qsizetype star = field.indexOf(u'*');
    return (star < 0 ? field : field.left(star)).toString();
}

bool callFilterMatch(QStringView s, QStringView r, QStringView logic, QStringView call,
                     QStringView reporter)
{
    if (logic == u"AND" && beginsWith(call, s) && beginsWith(reporter, r))
        return true;
    if (logic == u"OR" && (beginsWith(call, s) || beginsWith(reporter, r)))
        return true;
    if (s.isEmpty() && beginsWith(reporter, r))
        return true;
    if (r.isEmpty() && beginsWith(call, s))
        return true;
    if (s.isEmpty() && r.isEmpty())
        return true;
    if (s.contains(u',') && r.isEmpty() && beginsWithAnyTerm(call, s))
        return true;
    if (r.contains(u',') && s.isEmpty() && beginsWithAnyTerm(reporter, r))
        return true;
    return false;
}

bool excludedCall(QStringView exclusionList, QStringView call)
{
    if (exclusionList.isEmpty())
        return false;
    for (int n = 1;; ++n) {
        const QStringView term = GetFieldView(exclusionList, u',', n).trimmed();
        if (term.isEmpty())
            return false;
        if (call.startsWith(term))
            return true;
    }
}

int BandColumnOf(double f)
{
    struct Range { double low, high; };
    static constexpr Range ranges[] = {
        {1, 2},       {3, 4},     {5, 5.5},   {7, 7.5},  {10, 10.5}, {14, 14.5},
        {18, 18.5},   {21, 22},   {24, 25},   {28, 29.5}, {39.9, 41}, {50, 54},
        {70, 76},     {144, 148}, {220, 230}, {430, 450},
    };
    for (int i = 0; i < int(std::size(ranges)); ++i)
        if (f > ranges[i].low && f < ranges[i].high)
            return i + 1;
    return 0;
}

const QStringList& allBandsHeaders()
{
    static const QStringList headers{
        QStringLiteral("2190/600"), QStringLiteral("160"), QStringLiteral("80"),
        QStringLiteral("60"),       QStringLiteral("40"),  QStringLiteral("30"),
        QStringLiteral("20"),       QStringLiteral("17"),  QStringLiteral("15"),
        QStringLiteral("12"),       QStringLiteral("10"),  QStringLiteral("8"),
        QStringLiteral("6"),        QStringLiteral("4"),   QStringLiteral("2"),
        QStringLiteral("220"),      QStringLiteral("432")};
    return headers;
}

std::optional<int> readInteger(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    return int(negative ? -value : value);
}

std::optional<double> readDecimal(QStringView text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QString> reformatWatts(QStringView watts)
{
    const std::optional<double> w = readDecimal(watts);
    if (!w)
        return std::nullopt;
    if (*w > 1)
        return QString::number(std::floor(*w + 0.5), 'f', 0);
    // Binary fractions put 0.29 x 100 just below 29; the nudge keeps the cut where the
    // decimal text puts it without ever rounding 0.005 up.
    const double hundredths = std::trunc(*w * 100 + (*w < 0 ? -1e-7 : 1e-7));
    if (hundredths == 0)
        return QStringLiteral("0");
    return QString::number(hundredths / 100, 'g', 15);
}

std::optional<QDateTime> spotTime(QStringView dateTime)
{
    const qsizetype dash = dateTime.indexOf(u'-');
    const qsizetype colon = dateTime.indexOf(u':');
    if (dash < 2 || colon < 9)
        return QDateTime(QDate(2000, 1, 1), QTime(0, 1), Qt::UTC);
    const QDateTime read = readDateTime(dateTime);
    if (!read.isValid())
        return std::nullopt;
    return read;
}

QString utcClockText(const QDateTime& utc)
{
    return utc.toUTC().time().toString(QStringLiteral("HH:mm")) + u" UTC";
}

QString classificationTag(int flags, QStringView myCall, QStringView call, QStringView kmText,
                          int km, int farAlertDistance)
{
    QString tag;
    if (flags & int(SpotFlag::SignalHigh))
        tag = QStringLiteral("sh");
    if (flags & int(SpotFlag::BeyondMinimum))
        tag = QStringLiteral("md");
    if (flags & int(SpotFlag::BetweenDistances))
        tag = QStringLiteral("bd");
    if (flags & int(SpotFlag::Alert))
        return QStringLiteral("al");
    // Without a MyCall call sign there is no own spot to mark, not even an empty call.
    if (!myCall.isEmpty() && myCall.compare(call, Qt::CaseInsensitive) == 0)
        tag = u"mc :" + myCall + u' ' + call;
    if (km >= farAlertDistance)
        tag = u"ld: " + kmText + u' ' + QString::number(farAlertDistance);
    return tag;
}

QString alertTextLine(const SpotFields& fields)
{
    QString line;
    line.reserve(64);
    for (int n : {1, 2, 3, 4, 9, 10, 11}) {
        line += fields[n - 1];
        line += u',';
    }
    return line;
}

} // namespace beamtide
