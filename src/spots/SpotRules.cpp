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

namespace {
bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r') || (u >= 128 && c.isSpace());
}
} // namespace

SpotFields splitSpotLine(QStringView line, bool trimmed)
{
    // One walk over the line: it runs for every spot of every pass.
    SpotFields fields;
    const QChar* data = line.data();
    const qsizetype size = line.size();
    qsizetype start = 0;
    for (QStringView& field : fields) {
        if (start > size)
            break;
        qsizetype end = start;
        while (end < size && data[end] != u',')
            ++end;
        qsizetype from = start, to = end;
        if (trimmed) {
            while (from < to && isBlank(data[from]))
                ++from;
            while (to > from && isBlank(data[to - 1]))
                --to;
        }
        field = QStringView(data + from, to - from);
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

const QStringList& bandBoxItems()
{
    static const QStringList items = [] {
        QStringList list{QStringLiteral("All")};
        for (const QString& header : allBandsHeaders())
            list << header.section(u'/', 0, 0);
        list << QStringLiteral("u");
        return list;
    }();
    return items;
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

namespace {

// Plain "[-+]digits[.digits]" of up to 15 digits, the form every page number takes: one
// correctly rounded division gives the same double as the general reader.
std::optional<double> readPlainDecimal(QStringView text)
{
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+'))
        ++i;
    qint64 mantissa = 0;
    int digits = 0;
    int decimals = -1;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < u'0' || c > u'9' || ++digits > 15)
            return std::nullopt;
        mantissa = mantissa * 10 + (c - u'0');
        if (decimals >= 0)
            ++decimals;
    }
    if (digits == 0)
        return std::nullopt;
    const double value = double(mantissa) / kPowers[qMax(decimals, 0)];
    return negative ? -value : value;
}

// "0.2", "-0.25", "0" from a count of hundredths.
QString hundredthsText(qint64 hundredths)
{
    QString text;
    if (hundredths < 0)
        text += u'-';
    const qint64 magnitude = qAbs(hundredths);
    text += QString::number(magnitude / 100);
    const int cents = int(magnitude % 100);
    if (cents != 0) {
        text += u'.';
        text += QChar(u'0' + cents / 10);
        if (cents % 10 != 0)
            text += QChar(u'0' + cents % 10);
    }
    return text;
}

} // namespace

std::optional<double> readDecimal(QStringView text)
{
    if (const auto plain = readPlainDecimal(text))
        return plain;
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
    if (*w > 1) {
        const double whole = std::floor(*w + 0.5);
        if (whole < 1e15)
            return QString::number(qint64(whole));
        return QString::number(whole, 'f', 0);
    }
    // Binary fractions put 0.29 x 100 just below 29; the nudge keeps the cut where the
    // decimal text puts it without ever rounding 0.005 up.
    const double hundredths = std::trunc(*w * 100 + (*w < 0 ? -1e-7 : 1e-7));
    if (hundredths == 0)
        return QStringLiteral("0");
    if (std::abs(hundredths) < 1e15)
        return hundredthsText(qint64(hundredths));
    return QString::number(hundredths / 100, 'g', 15);
}

std::optional<qint64> readUtcMSecs(QStringView text)
{
    const QStringView t = text.trimmed();
    const auto digit = [&](qsizetype i) { return t[i] >= u'0' && t[i] <= u'9'; };
    const auto number = [&](qsizetype at, qsizetype n) {
        int v = 0;
        for (qsizetype i = at; i < at + n; ++i)
            v = v * 10 + (t[i].unicode() - u'0');
        return v;
    };
    const bool usual = (t.size() == 16 || t.size() == 19) && t[4] == u'-' && t[7] == u'-'
        && t[10] == u' ' && t[13] == u':' && (t.size() == 16 || t[16] == u':')
        && digit(0) && digit(1) && digit(2) && digit(3) && digit(5) && digit(6) && digit(8)
        && digit(9) && digit(11) && digit(12) && digit(14) && digit(15)
        && (t.size() == 16 || (digit(17) && digit(18)));
    if (usual) {
        const QDate date(number(0, 4), number(5, 2), number(8, 2));
        const int hh = number(11, 2), mm = number(14, 2), ss = t.size() == 19 ? number(17, 2) : 0;
        if (!date.isValid() || hh > 23 || mm > 59 || ss > 59)
            return std::nullopt;
        constexpr qint64 kEpochDay = 2440588; // Julian day of 1970-01-01
        return ((date.toJulianDay() - kEpochDay) * 86400 + hh * 3600 + mm * 60 + ss) * 1000;
    }
    const QDateTime read = readDateTime(t);
    if (!read.isValid())
        return std::nullopt;
    return read.toMSecsSinceEpoch();
}

namespace {

// Whether the text has a date and time in their usual places, else it counts as long past.
bool wellPlacedDateTime(QStringView dateTime)
{
    return dateTime.indexOf(u'-') >= 2 && dateTime.indexOf(u':') >= 9;
}

constexpr qint64 kLongPast = 946684860000; // 2000-01-01 00:01 UTC

} // namespace

std::optional<qint64> spotTime(QStringView dateTime)
{
    return wellPlacedDateTime(dateTime) ? readUtcMSecs(dateTime) : kLongPast;
}

std::optional<qint64> spotTime(QStringView dateTime, std::optional<qint64> read)
{
    return wellPlacedDateTime(dateTime) ? read : kLongPast;
}

QString dateTimeTextOf(qint64 msecs)
{
    QString text;
    appendDateTimeText(text, msecs);
    return text;
}

void appendDateTimeText(QString& to, qint64 msecs)
{
    constexpr qint64 kDay = 86400000;
    const qint64 days = msecs >= 0 ? msecs / kDay : -((-msecs + kDay - 1) / kDay);
    const qint64 rest = (msecs - days * kDay) / 1000;
    int year = 0, month = 0, day = 0; // one calendar sum, not three
    QDate::fromJulianDay(days + 2440588).getDate(&year, &month, &day);
    if (year < 1000 || year > 9999) {
        to += dateTimeText(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
        return;
    }
    char16_t text[19];
    const auto put = [&](int at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            text[at + i] = char16_t(u'0' + value % 10);
    };
    put(0, year, 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, day, 2);
    if (rest == 0) {
        to.append(reinterpret_cast<const QChar*>(text), 10);
        return;
    }
    text[10] = u' ';
    put(11, int(rest / 3600), 2);
    text[13] = u':';
    put(14, int(rest / 60 % 60), 2);
    text[16] = u':';
    put(17, int(rest % 60), 2);
    to.append(reinterpret_cast<const QChar*>(text), 19);
}

QStringView upperCased(QStringView text, QString& storage)
{
    for (QChar c : text) {
        if ((c >= u'a' && c <= u'z') || c.unicode() >= 128) {
            storage = text.toString().toUpper();
            return storage;
        }
    }
    return text;
}

QString utcClockText(const QDateTime& utc)
{
    return utc.toUTC().time().toString(QStringLiteral("HH:mm")) + u" UTC";
}

QString classificationTag(int flags, QStringView myCall, QStringView call, QStringView kmText,
                          int km, int farAlertDistance)
{
    return RowTagger(myCall, farAlertDistance).tag(flags, call, kmText, km);
}

RowTagger::RowTagger(QStringView myCall, int farAlertDistance)
    : m_myCall(myCall.toString()),
      m_farAlertDistance(farAlertDistance),
      m_farDistanceText(QString::number(farAlertDistance))
{
}

QString RowTagger::tag(int flags, QStringView call, QStringView kmText, int km) const
{
    // Raw data: the tags every row shares cost no allocation and no reference count.
    const auto fixed = [](const char16_t* tag) {
        return QString::fromRawData(reinterpret_cast<const QChar*>(tag), 2);
    };
    QString tag;
    if (flags & int(SpotFlag::SignalHigh))
        tag = fixed(tags::kSignalHigh);
    if (flags & int(SpotFlag::BeyondMinimum))
        tag = fixed(tags::kBeyondMinimum);
    if (flags & int(SpotFlag::BetweenDistances))
        tag = fixed(tags::kBetween);
    if (flags & int(SpotFlag::Alert))
        return fixed(tags::kAlert);
    // Without a MyCall call sign there is no own spot to mark, not even an empty call.
    // Texts of different lengths never compare equal, whatever their case.
    if (!m_myCall.isEmpty() && m_myCall.size() == call.size()
        && m_myCall.compare(call, Qt::CaseInsensitive) == 0)
        tag = QStringView(tags::kMyCall) + u" :" + m_myCall + u' ' + call;
    if (km >= m_farAlertDistance)
        tag = QStringView(tags::kFar) + u": " + kmText + u' ' + m_farDistanceText;
    return tag;
}

QString alertTextLine(const SpotFields& fields, qsizetype spare)
{
    // Copied into place in one allocation: a busy band makes hundreds of these a pass.
    static constexpr int kFields[] = {1, 2, 3, 4, 9, 10, 11};
    qsizetype size = std::size(kFields);
    for (int n : kFields)
        size += fields[n - 1].size();
    QString line;
    line.reserve(size + spare);
    line.resize(size);
    QChar* to = line.data();
    for (int n : kFields) {
        const QStringView field = fields[n - 1];
        std::copy(field.begin(), field.end(), to);
        to += field.size();
        *to++ = u',';
    }
    return line;
}

} // namespace beamtide
