#include "retrieval/WsprLive.h"

#include "retrieval/FetchRules.h"

#include <QDateTime>
#include <QTimeZone>
#include <QUrl>

#include <array>
#include <cmath>

namespace beamtide::wsprlive {

namespace {

struct BandEntry
{
    const char16_t* text;
    int code;
};

// Band texts of the band box (and 630, which the spot database also knows) with their codes.
constexpr std::array kBands = {
    BandEntry{u"2190", -1}, BandEntry{u"630", 0},  BandEntry{u"160", 1},
    BandEntry{u"80", 3},    BandEntry{u"60", 5},   BandEntry{u"40", 7},
    BandEntry{u"30", 10},   BandEntry{u"20", 14},  BandEntry{u"17", 18},
    BandEntry{u"15", 21},   BandEntry{u"12", 24},  BandEntry{u"10", 28},
    BandEntry{u"8", 40},    BandEntry{u"6", 50},   BandEntry{u"4", 70},
    BandEntry{u"2", 144},   BandEntry{u"220", 222}, BandEntry{u"432", 432},
};

// The columns asked for, in the order of the spot line's fields; the time as seconds since
// 1970 so the server's time zone cannot shift it.
constexpr const char* kColumns =
    "toUnixTimestamp(time), tx_sign, frequency, snr, drift, tx_loc, power, rx_sign, rx_loc, distance";
constexpr int kColumnCount = 10;

constexpr int kDaySeconds = 86400;

} // namespace

std::optional<int> bandCode(QStringView bandText)
{
    const QStringView text = bandText.trimmed();
    for (const BandEntry& entry : kBands)
        if (text == QStringView(entry.text))
            return entry.code;
    return std::nullopt;
}

bool isQueryCallSign(QStringView call)
{
    if (call.isEmpty())
        return false;
    for (QChar c : call) {
        const char16_t u = c.unicode();
        if (!((u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'/'))
            return false;
    }
    return true;
}

Query BuildQuery(const QString& band, bool sortByKm, bool historical, const QString& myCall)
{
    Query query;
    QString where = QStringLiteral("time > now() - %1").arg(historical ? 7 * kDaySeconds : kDaySeconds);
    QString order = QStringLiteral("time DESC");
    int limit = historical ? 5000 : 1000;

    if (band == kBandMyCall) {
        if (!isQueryCallSign(myCall)) {
            query.error = u"the call sign \"" + myCall
                          + u"\" holds characters other than A-Z, 0-9 and \"/\"; not sent";
            return query;
        }
        const QString literal = u'\'' + myCall + u'\'';
        where += u" AND (tx_sign = " + literal + u" OR rx_sign = " + literal + u')';
    } else if (band == kBandAll) {
        limit = 1000;
    } else {
        const std::optional<int> code = bandCode(band);
        if (!code) {
            query.error = u"no band code for band \"" + band + u"\"; not sent";
            return query;
        }
        where += u" AND band = " + QString::number(*code);
        if (sortByKm)
            order = QStringLiteral("distance DESC, time DESC");
    }
    query.sql = u"SELECT " + QString::fromLatin1(kColumns) + u" FROM wspr.rx WHERE " + where
                + u" ORDER BY " + order + u" LIMIT " + QString::number(limit)
                + u" FORMAT TabSeparated";
    return query;
}

QString QueryUrl(const QString& baseUrl, const QString& sql)
{
    return baseUrl + u"/?query=" + QString::fromLatin1(QUrl::toPercentEncoding(sql));
}

namespace {

std::optional<qint64> number(QByteArrayView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

// Text that may stand in a spot line as it is: no separator, no markup, no control or escape.
bool plainText(QByteArrayView text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == ',' || c == '<' || c == '>' || c == '\\' || u == 0x7f)
            return false;
    }
    return true;
}

QString sixDecimalMhz(qint64 hz)
{
    return QStringLiteral("%1.%2").arg(hz / 1'000'000).arg(hz % 1'000'000, 6, 10, QLatin1Char('0'));
}

} // namespace

RowLine RowToSpotLine(QByteArrayView row)
{
    RowLine result;
    if (row.endsWith('\r'))
        row.chop(1);
    const QList<QByteArrayView> cells = [&] {
        QList<QByteArrayView> list;
        qsizetype start = 0;
        for (;;) {
            const qsizetype tab = row.indexOf('\t', start);
            list.append(row.sliced(start, (tab < 0 ? row.size() : tab) - start));
            if (tab < 0)
                return list;
            start = tab + 1;
        }
    }();
    if (cells.size() != kColumnCount) {
        result.error = QStringLiteral("%1 columns, %2 expected").arg(cells.size()).arg(kColumnCount);
        return result;
    }
    enum { Time, TxSign, Frequency, Snr, Drift, TxLoc, Power, RxSign, RxLoc, Distance };

    const auto seconds = number(cells[Time]);
    const auto hz = number(cells[Frequency]);
    const auto snr = number(cells[Snr]);
    const auto drift = number(cells[Drift]);
    const auto dbm = number(cells[Power]);
    const auto km = number(cells[Distance]);
    if (!seconds || !hz || !snr || !drift || !dbm || !km || *hz < 0 || *km < 0) {
        result.error = QStringLiteral("a number column holds no number");
        return result;
    }
    for (int text : {TxSign, TxLoc, RxSign, RxLoc}) {
        if (!plainText(cells[text])) {
            result.error = QStringLiteral("a text column holds a separator, markup or a control");
            return result;
        }
    }

    const QDateTime time = QDateTime::fromSecsSinceEpoch(*seconds, QTimeZone::utc());
    const double watts = std::pow(10.0, double(*dbm) / 10.0) / 1000.0;
    const qint64 miles = std::llround(double(*km) / 1.609344);
    const QString fields[] = {
        time.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
        QString::fromUtf8(cells[TxSign]),
        sixDecimalMhz(*hz),
        QString::number(*snr),
        QString::number(*drift),
        QString::fromUtf8(cells[TxLoc]),
        QString::asprintf("%+lld", static_cast<long long>(*dbm)),
        QString::number(watts, 'f', 3),
        QString::fromUtf8(cells[RxSign]),
        QString::fromUtf8(cells[RxLoc]),
        QString::number(*km),
        QString::number(miles),
    };
    for (const QString& field : fields)
        result.spotLine += field + u',';
    return result;
}

Rows AnswerToSpotLines(const QByteArray& answer)
{
    Rows rows;
    qsizetype start = 0;
    qsizetype number = 0;
    while (start < answer.size()) {
        qsizetype end = answer.indexOf('\n', start);
        if (end < 0)
            end = answer.size();
        const QByteArrayView row = QByteArrayView(answer).sliced(start, end - start);
        start = end + 1;
        ++number;
        if (row.isEmpty() || row == "\r")
            continue;
        RowLine line = RowToSpotLine(row);
        if (!line.spotLine.isEmpty()) {
            rows.spots << std::move(line.spotLine);
            continue;
        }
        // A junk answer has millions of rows: only the first few are named.
        if (++rows.skipped <= kNamedSkips)
            rows.errors << QStringLiteral("wspr.live row %1 skipped: %2").arg(number).arg(line.error);
    }
    if (rows.skipped > kNamedSkips)
        rows.errors << QStringLiteral("wspr.live: %1 more rows skipped").arg(rows.skipped - kNamedSkips);
    return rows;
}

std::optional<QString> UnreadableAnswer(const Rows& rows)
{
    const qsizetype total = rows.skipped + rows.spots.size();
    if (rows.skipped == 0 || rows.skipped * 2 <= total)
        return std::nullopt;
    return QStringLiteral("the answer does not read, %1 of its %2 rows were skipped").arg(rows.skipped).arg(total);
}

} // namespace beamtide::wsprlive
