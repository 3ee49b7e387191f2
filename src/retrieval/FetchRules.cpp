#include "retrieval/FetchRules.h"

#include "base/Identity.h"

#include <QUrl>

namespace beamtide {

quint32 indicatorRgb(Indicator indicator)
{
    switch (indicator) {
    case Indicator::Lime:
        return 0x00FF00;
    case Indicator::DarkGreen:
        return 0x008000;
    case Indicator::Red:
        return 0xFF0000;
    case Indicator::ButtonFace:
        break;
    }
    return 0;
}

QString AddressLabel(const QString& publicAddress, bool showAddress, bool addressUnknown)
{
    if (!showAddress)
        return QStringLiteral("IP: vvv.www.xxx.yyy");
    if (addressUnknown && !AddressGateOpen(publicAddress))
        return QStringLiteral("IP: unknown");
    return u"IP: " + publicAddress;
}

bool AddressGateOpen(const QString& publicAddress, bool addressUnknown)
{
    return addressUnknown || (!publicAddress.isEmpty() && publicAddress != kLoopbackAddress);
}

int ActivityResult(qsizetype lineCount)
{
    return lineCount == 1 ? 0 : int(lineCount - 1);
}

namespace {
QString encoded(const QString& text)
{
    // A call sign like "VK2/G4ABC" or stray text from the command line must not change the
    // shape of the query.
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}
} // namespace

QString SpotQueryPath(const QString& band, bool sortByKm, bool historical, const QString& myCall)
{
    const QString limit = historical ? QStringLiteral("5000") : QStringLiteral("1000");
    if (band == kBandMyCall)
        return u"/olddb?mode=html&band=all&limit=" + limit + u"&findcall=" + encoded(myCall)
               + u"&findreporter=&sort=date";
    if (band == kBandAll)
        return QStringLiteral("/olddb.php?mode=html&limit=1000");
    QString path = u"/olddb.php?mode=html&band=" + encoded(band);
    if (sortByKm)
        path += u"&sort=distance";
    return path + u"&limit=" + limit;
}

std::optional<QString> SpotPageFailure(QByteArrayView page, qsizetype pageLines,
                                       const std::optional<ParseResult>& parse, qsizetype spotsTaken)
{
    if (parse && parse->noPosts)
        return std::nullopt;
    if (page.contains("No posts found!"))
        return std::nullopt;
    // The parser takes rows only from pages of more than 101 lines.
    if (!parse || pageLines <= 101)
        return QStringLiteral("the spot page has no report table (%1 lines)").arg(pageLines);
    if (parse->incomplete && spotsTaken == 0)
        return QStringLiteral("the spot page ends before its report table");
    return std::nullopt;
}

QString SourceLabelText(SpotSource answeredBy)
{
    return answeredBy == SpotSource::WsprLive ? QStringLiteral("wspr.live") : QStringLiteral("WSPRNet");
}

QString SourceHint(SpotSource answeredBy, const QString& reason, const QDateTime& retryAt)
{
    if (answeredBy != SpotSource::WsprLive)
        return QStringLiteral("Spots from the WSPRnet spot database");
    if (reason.isEmpty())
        return QStringLiteral("Spots from wspr.live, the source chosen in Setup");
    return u"Spots from wspr.live: the WSPRnet spot database failed (" + reason
           + u"). It is tried again at " + retryAt.toString(QStringLiteral("hh:mm")) + u'.';
}

QString ActivityFile(const Identity& identity)
{
    return identity.plainFile(QString(u"Activity" + QString::number(identity.instance) + u".htm"));
}

QString SpotPageFile(const Identity& identity)
{
    return identity.dataFile(u"WSPRRep", u".txt");
}

QString SpotPageCopyFile(const Identity& identity)
{
    return identity.plainFile(QString(u"WSPRRep" + QString::number(identity.instance) + u".htm"));
}

QString SpotListFile(const Identity& identity)
{
    return identity.dataFile(u"WSPRRep", u".csv");
}

QString MyCallSpotsFile(const Identity& identity)
{
    return identity.plainFile(QString(identity.filePrefix + identity.myCall + u"-spots.txt"));
}

namespace {

constexpr qint64 kMinuteMs = 60'000;
constexpr qint64 kDayMs = 86'400'000;
const qint64 kEpochDay = QDate(1899, 12, 30).toJulianDay();

// Wall-clock milliseconds since 1899-12-30, so that adding minutes never meets a
// daylight-saving jump and minute parity is that of the day count the rounding rule uses.
qint64 wallMs(const QDateTime& t)
{
    return (t.date().toJulianDay() - kEpochDay) * kDayMs + t.time().msecsSinceStartOfDay();
}

QDateTime fromWallMs(const QDateTime& like, qint64 ms)
{
    const qint64 days = ms >= 0 ? ms / kDayMs : (ms - kDayMs + 1) / kDayMs;
    QDateTime result = like;
    result.setDate(QDate::fromJulianDay(kEpochDay + days));
    result.setTime(QTime::fromMSecsSinceStartOfDay(int(ms - days * kDayMs)));
    return result;
}

qint64 roundedMinuteMs(qint64 ms)
{
    qint64 minutes = ms / kMinuteMs;
    const qint64 rest = ms % kMinuteMs;
    if (rest > kMinuteMs / 2 || (rest == kMinuteMs / 2 && minutes % 2 != 0))
        ++minutes;
    return minutes * kMinuteMs;
}

} // namespace

QDateTime RoundToMinute(const QDateTime& local)
{
    return fromWallMs(local, roundedMinuteMs(wallMs(local)));
}

Schedule ScheduleNextUpdate(const QDateTime& nowLocal, int intervalMinutes, int instance)
{
    Schedule s;
    s.lastRetrieval = nowLocal;
    s.instance = instance;
    const qint64 next = wallMs(nowLocal) + qint64(intervalMinutes) * kMinuteMs;
    switch (instance) {
    case 0:
        s.nextUpdate = fromWallMs(nowLocal, next);
        break;
    case 1:
        s.nextUpdate = fromWallMs(nowLocal, roundedMinuteMs(next));
        break;
    case 2:
        s.nextUpdate = fromWallMs(nowLocal, roundedMinuteMs(next) + 20'400);
        break;
    case 3:
        s.nextUpdate = fromWallMs(nowLocal, roundedMinuteMs(next) + 40'200);
        break;
    default:
        s.instance = 0;
        s.nextUpdate = fromWallMs(nowLocal, wallMs(nowLocal) + kDayMs / 4);
        break;
    }
    return s;
}

} // namespace beamtide
