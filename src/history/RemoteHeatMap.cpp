#include "history/RemoteHeatMap.h"

#include "base/TextFile.h"
#include "retrieval/SpotParser.h"
#include "retrieval/WsprLive.h"

namespace beamtide {

namespace {

// A prefix test of a column against a literal, as the local filter's "begins with": an
// empty text matches nothing. A text that holds a comma can begin no call sign.
struct Prefix
{
    QString sql;
    bool refused = false;
};

Prefix beginsWith(const char* column, QStringView text)
{
    if (text.isEmpty() || text.contains(u','))
        return {QStringLiteral("0")};
    if (!wsprlive::isQueryCallSign(text))
        return {{}, true};
    return {QStringLiteral("substring(%1, 1, %2) = '%3'")
                .arg(QLatin1String(column))
                .arg(text.size())
                .arg(text)};
}

// The window's call filter (callFilterMatch) as SQL, rule for rule.
std::optional<QString> callFilterSql(const HeatFilter& f, QString& error)
{
    const QStringView s = f.spotted, r = f.spotter;
    if (s.isEmpty() && r.isEmpty())
        return QStringLiteral("1");
    QStringList any;
    bool refused = false;
    const auto prefix = [&](const char* column, QStringView text) -> QString {
        Prefix p = beginsWith(column, text);
        refused = refused || p.refused;
        return p.sql;
    };
    const auto anyTerm = [&](const char* column, QStringView list) -> QString {
        QStringList terms;
        for (int n = 1; n <= 6; ++n)
            terms << prefix(column, GetFieldView(list, u',', n).trimmed());
        return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
    };
    if (f.logic == u"AND")
        any << u'(' + prefix("tx_sign", s) + QStringLiteral(" AND ") + prefix("rx_sign", r) + u')';
    if (f.logic == u"OR")
        any << u'(' + prefix("tx_sign", s) + QStringLiteral(" OR ") + prefix("rx_sign", r) + u')';
    if (s.isEmpty())
        any << prefix("rx_sign", r);
    if (r.isEmpty())
        any << prefix("tx_sign", s);
    if (s.contains(u',') && r.isEmpty())
        any << anyTerm("tx_sign", s);
    if (r.contains(u',') && s.isEmpty())
        any << anyTerm("rx_sign", r);
    if (refused) {
        error = QStringLiteral("a call filter holds characters other than A-Z, 0-9, \"/\" and \",\"; not sent");
        return std::nullopt;
    }
    if (any.isEmpty())
        return QStringLiteral("0");
    return u'(' + any.join(QStringLiteral(" OR ")) + u')';
}

} // namespace

RemoteSource wsprLiveSource(const QString& baseUrl)
{
    RemoteSource source;
    source.label = QStringLiteral("wspr.live");
    source.baseUrl = baseUrl;
    source.table = QStringLiteral("wspr.rx");
    return source;
}

RemoteQuery heatMapQuery(const RemoteSource& source, std::optional<int> band, qint64 fromHour,
                         qint64 toHour, const HeatFilter& filter, const QString& grid)
{
    RemoteQuery query;
    // The server's clock bounds both ends: a question about the future has been seen to
    // hang the service.
    QStringList where{QStringLiteral("time >= least(toDateTime(%1), now())").arg(fromHour * 3600),
                      QStringLiteral("time < least(toDateTime(%1), now())").arg(toHour * 3600)};
    if (band) {
        const std::optional<int> code = wsprlive::bandCode(historyBandName(*band));
        if (!code) {
            query.error = QStringLiteral("no band code for band \"%1\"; not sent").arg(historyBandName(*band));
            return query;
        }
        where << QStringLiteral("band = %1").arg(*code);
    } else if (!source.allBands) {
        query.error = QStringLiteral("%1 is asked about one band at a time; choose a band").arg(source.label);
        return query;
    }
    if (filter.minKm > 0)
        where << QStringLiteral("distance > %1").arg(filter.minKm);
    if (filter.calls) {
        const std::optional<QString> calls = callFilterSql(filter, query.error);
        if (!calls)
            return query;
        where << *calls;
    }
    const QString locator = grid.trimmed().toUpper();
    if (!locator.isEmpty()) {
        if (!wsprlive::isQueryCallSign(locator) || locator.contains(u'/')) {
            query.error = u"the grid \"" + grid + u"\" holds characters other than A-Z and 0-9; not sent";
            return query;
        }
        where << QStringLiteral("(upper(substring(tx_loc, 1, %1)) = '%2' OR upper(substring(rx_loc, 1, %1)) = '%2')")
                     .arg(locator.size())
                     .arg(locator);
    }
    query.sql = u"SELECT intDiv(toUInt32(time), 3600) AS hour, count() AS spots FROM " + source.table
                + (source.distinct ? QStringLiteral(" FINAL") : QString()) + u" WHERE "
                + where.join(QStringLiteral(" AND ")) + u" GROUP BY hour ORDER BY hour FORMAT TabSeparated";
    return query;
}

RemoteCells heatMapCells(const QByteArray& answer)
{
    RemoteCells result;
    ByteLines lines(answer);
    int number = 0;
    while (const std::optional<QByteArrayView> line = lines.next()) {
        ++number;
        if (line->isEmpty())
            continue;
        const qsizetype tab = line->indexOf('\t');
        bool hourOk = false, spotsOk = false;
        const qint64 hour = tab < 0 ? 0 : line->first(tab).toLongLong(&hourOk);
        const qint64 spots = tab < 0 ? 0 : line->sliced(tab + 1).toLongLong(&spotsOk);
        if (!hourOk || !spotsOk || spots < 0) {
            result.cells.clear();
            result.error = QStringLiteral("the answer does not read (row %1)").arg(number);
            return result;
        }
        result.cells.append(HeatCell{hour, spots});
    }
    return result;
}

HttpRequest remoteRequest(const RemoteSource& source, const QString& sql, const QByteArray& method)
{
    HttpRequest request;
    request.method = method;
    request.url = wsprlive::QueryUrl(source.baseUrl, sql);
    if (!source.user.isEmpty())
        request.headers.append({"Authorization", "Basic " + (source.user + u':' + source.password).toUtf8().toBase64()});
    return request;
}

RemoteHeatMaps::RemoteHeatMaps(QObject* parent) : QObject(parent), m_client(std::make_shared<HttpClient>())
{
}

RemoteHeatMaps::~RemoteHeatMaps()
{
    m_worker.stop();
}

void RemoteHeatMaps::heatMap(const RemoteSource& source, const RemoteQuery& query, QObject* receiver,
                             std::function<void(RemoteCells)> done)
{
    if (query.sql.isEmpty()) {
        RemoteCells refused;
        refused.error = query.error;
        QMetaObject::invokeMethod(receiver, [done, refused] { done(refused); }, Qt::QueuedConnection);
        return;
    }
    const HttpRequest request = remoteRequest(source, query.sql);
    m_worker.post<RemoteCells>(
        [client = m_client, request, label = source.label] {
            HttpLimits limits;
            limits.maxLineLength = 4096; // a row is two numbers
            const HttpResult reply = client->send(request, limits);
            if (!reply.ok) {
                RemoteCells failed;
                failed.error = label + u": " + reply.error;
                return failed;
            }
            RemoteCells cells = heatMapCells(reply.body);
            if (!cells.error.isEmpty())
                cells.error = label + u": " + cells.error;
            return cells;
        },
        receiver, std::move(done));
}

} // namespace beamtide
