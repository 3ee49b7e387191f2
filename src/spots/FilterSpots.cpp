#include "spots/FilterSpots.h"

#include "base/Bars.h"
#include "base/Clock.h"
#include "base/DateFormats.h"
#include "spots/AlertBand.h"
#include "spots/AlertsHistory.h"
#include "spots/AllBandsTable.h"
#include "spots/MyCallSpots.h"
#include "spots/SpotRules.h"

#include <QVarLengthArray>
#include <QTimeZone>

namespace beamtide {

namespace {

const QString kMemoHeader = QStringLiteral("Beamtide Alerts:-");

// A cell of a damaged page can be megabytes long: a message shows its start only.
QString shortened(QStringView text)
{
    constexpr qsizetype kShown = 40;
    if (text.size() <= kShown)
        return text.toString();
    qsizetype cut = kShown;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return text.left(cut) + u"\u2026";
}

QString notInteger(QStringView text)
{
    return u"'" + shortened(text) + u"' is not a valid integer value";
}

QString notDecimal(QStringView text)
{
    return u"'" + shortened(text) + u"' is not a valid floating point value";
}

QString notDateTime(QStringView text)
{
    return u"'" + shortened(text) + u"' is not a valid date and time";
}

QString describe(const SkippedSpot& s)
{
    return QStringLiteral("spot line %1 (%2): %3").arg(s.line).arg(s.call, s.reason);
}

// Skips the spot line when a field does not read.
struct ConversionFailed
{
    QString text;
};

// Neighbouring spots mostly share their minute: the time's text is read once for a run of
// them. The views point into the pass's spot list, which outlives the reader.
class TimeReader
{
public:
    struct Read
    {
        std::optional<qint64> msecs; // readUtcMSecs()
        std::optional<qint64> at;    // spotTime()
    };
    const Read& read(QStringView text)
    {
        if (!m_any || text != m_text) {
            m_any = true;
            m_text = text;
            m_read.msecs = readUtcMSecs(text);
            m_read.at = spotTime(text, m_read.msecs);
        }
        return m_read;
    }

private:
    bool m_any = false;
    QStringView m_text;
    Read m_read;
};

// The fields a pass reads as numbers, each read once: nothing where the text does not read.
struct SpotNumbers
{
    std::optional<qint64> time; // readUtcMSecs()
    std::optional<qint64> at;   // spotTime()
    std::optional<int> dbm;
    std::optional<int> snr;
    std::optional<int> km;

    SpotNumbers(const SpotFields& f, TimeReader& times)
        : dbm(readInteger(f[field::Dbm])),
          snr(readInteger(f[field::Snr])),
          km(readInteger(f[field::Km]))
    {
        const TimeReader::Read& read = times.read(f[field::Time]);
        time = read.msecs;
        at = read.at;
    }
};

int integerOf(std::optional<int> value, QStringView text)
{
    if (!value)
        throw ConversionFailed{notInteger(text)};
    return *value;
}

int integerOrZero(std::optional<int> value, QStringView text)
{
    return text.isEmpty() ? 0 : integerOf(value, text);
}

qint64 dateTimeOf(std::optional<qint64> value, QStringView text)
{
    if (!value)
        throw ConversionFailed{notDateTime(text)};
    return *value;
}

QDateTime utcOf(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

// Values no spot can have (the year 3 170 843, 5 GW from 127 dBm) come from a broken or
// hostile source: such a line is skipped like one that does not read. Fields that do not
// read are left to the reads that follow.
void checkRanges(const SpotFields& f, const SpotNumbers& n, qint64 nowMs)
{
    static const qint64 earliest = QDateTime(QDate(2008, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    if (n.time && (*n.time < earliest || *n.time > nowMs + 24 * 3600 * 1000))
        throw ConversionFailed{u"'" + shortened(f[field::Time]) + u"' is out of range (2008 to one day ahead)"};
    const struct
    {
        int index;
        const std::optional<int>& value;
        int low;
        int high;
        const char16_t* unit;
    } ranges[] = {{field::Dbm, n.dbm, -30, 70, u" dBm"}, {field::Snr, n.snr, -50, 50, u" dB SNR"}, {field::Km, n.km, 0, 20040, u" km"}};
    for (const auto& r : ranges) {
        if (r.value && (*r.value < r.low || *r.value > r.high))
            throw ConversionFailed{QStringLiteral("'%1' is out of range (%2 to %3%4)")
                                       .arg(shortened(f[r.index]))
                                       .arg(r.low)
                                       .arg(r.high)
                                       .arg(QStringView(r.unit))};
    }
}

SkippedSpot skippedSpot(const QString& line, qsizetype index, const ConversionFailed& failed)
{
    return {int(index + 1), shortened(splitSpotLine(line, true)[1]), failed.text};
}

class PerBandPass
{
public:
    PerBandPass(const FilterControls& c, const Clock& clock, AlertsHistory& alerts,
                MyCallSpots& myCallSpots, FilterResult& result)
        : m_c(c), m_alerts(alerts), m_myCallSpots(myCallSpots), m_result(result)
    {
        const qint64 now = clock.nowUtc().toMSecsSinceEpoch();
        m_futureCutoff = now + kFutureAlertSecs * 1000;
        m_timeCutoff = now - 60000 * (qint64(c.elapsedMinutes) + 1);
        m_alertCutoff = now - 60000 * (qint64(c.updateIntervalMinutes) + 1);
        m_now = now;
        m_minKm = c.minDistancePosition * c.distanceScale;
        m_maxKm = c.maxDistancePosition * c.distanceScale;
        m_s = callFilterText(c.spottedFilter);
        m_r = callFilterText(c.spotterFilter);
        m_everySpot = c.fetchedBand == u"MyCall";
        m_distanceWindow = c.distanceWindow && c.distanceControlsShown;
        m_result.memo = QStringList{kMemoHeader};
    }

    void run(const QStringList& spots)
    {
        m_result.rows.reserve(spots.size());
        for (qsizetype i = 0; i < spots.size(); ++i) {
            const qsizetype diagnostics = m_result.diagnostics.size();
            const qsizetype memo = m_result.memo.size();
            m_myCallLine.clear();
            bool goOn = true;
            try {
                goOn = spot(spots[i]);
            } catch (const ConversionFailed& failed) {
                // A line that does not read leaves no trace, and the lines after it still count.
                m_result.diagnostics.truncate(diagnostics);
                m_result.memo.resize(memo);
                m_result.skipped.append(skippedSpot(spots[i], i, failed));
                continue;
            }
            if (!m_myCallLine.isEmpty())
                collectMyCall(m_myCallLine);
            if (!goOn)
                return finish();
        }
        m_result.end = FilterEnd::Normal;
        finish();
    }

private:
    // False when the pass ends at this spot.
    bool spot(const QString& line)
    {
        const SpotFields f = splitSpotLine(line, true);
        const SpotNumbers n(f, m_times);
        checkRanges(f, n, m_now);
        const QString watts = wattsOf(f[field::Watts]);

        if (!m_c.myCall.isEmpty()) {
            const qint64 at = dateTimeOf(n.time, f[field::Time]);
            // Collected once the whole line has read.
            if (MyCallSpots::isMyCall(f[field::Call], m_c.myCall))
                m_myCallLine = MyCallSpots::perBandLine(f, at);
        }

        if (m_distanceWindow) {
            const int km = integerOf(n.km, f[field::Km]);
            const bool inside = m_minKm <= km && km <= m_maxKm;
            const bool beyond = m_maxKm < m_minKm && km >= m_minKm;
            if (!inside && !beyond)
                return true;
        }

        const std::optional<qint64> at = n.at;
        if (!at)
            throw ConversionFailed{notDateTime(f[field::Time])};
        if (m_c.timeWindow && *at <= m_timeCutoff) {
            m_result.end = FilterEnd::TimeWindow;
            return false;
        }

        const int km = integerOrZero(n.km, f[field::Km]);
        const int snr = integerOrZero(n.snr, f[field::Snr]);
        int flags = 0;
        if (m_c.snrAlert && snr >= bars::snrThreshold(m_c.snrPosition))
            flag(flags, SpotFlag::SignalHigh, u"SigHi ");
        if (m_c.distanceControlsShown && !m_c.distanceWindow && km >= m_minKm)
            flag(flags, SpotFlag::BeyondMinimum, u"Dist+ ");
        if (m_c.distanceControlsShown && m_c.distanceWindow) {
            if (m_minKm <= km && km <= m_maxKm)
                flag(flags, SpotFlag::BetweenDistances, u"BtwnDist ");
            if ((flags & int(SpotFlag::BetweenDistances)) && (flags & int(SpotFlag::SignalHigh)))
                flag(flags, SpotFlag::Alert, u"ALERT ");
        }

        // Alerts are noticed before the call filters: a spot not shown may still alert.
        const bool recent = *at >= m_alertCutoff && (flags & int(SpotFlag::Alert));
        const bool far = m_c.far && km >= m_c.farAlertDistance;
        if (recent || far) {
            dateTimeOf(n.time, f[field::Time]); // an alert whose time does not read skips the line
            m_result.memo.append(alertTextLine(f));
        }

        if (!m_everySpot && !callsMatch(f))
            return true;

        m_result.rows.append(SpotRow(line, f, watts, m_tagger.tag(flags, f[field::Call], f[field::Km],
                                                                   integerOf(n.km, f[field::Km]))));
        if (m_c.rowLimit && m_c.maxLines < m_result.rows.size() + 1) {
            m_result.end = FilterEnd::RowLimit;
            return false;
        }
        return true;
    }

    bool callsMatch(const SpotFields& f) const
    {
        QString upperCall, upperReporter;
        const QStringView call = upperCased(f[field::Call], upperCall);
        return callFilterMatch(m_s, m_r, m_c.logic, call, upperCased(f[field::Reporter], upperReporter))
            && !excludedCall(m_c.exclusionList, call);
    }

    // A page holds a few distinct power figures; each is reformatted once a pass. A short
    // list searched in order costs less than hashing every row's; a damaged page of many
    // figures has the ones past its end reformatted row by row.
    QString wattsOf(QStringView text)
    {
        for (const auto& [seen, watts] : m_watts)
            if (seen == text)
                return watts;
        const std::optional<QString> watts = reformatWatts(text);
        if (!watts)
            throw ConversionFailed{notDecimal(text)};
        if (m_watts.size() < kKnownWatts)
            m_watts.append({text.toString(), *watts});
        return *watts;
    }

    void flag(int& flags, SpotFlag which, QStringView word)
    {
        flags |= int(which);
        m_result.diagnostics += word;
    }

    void collectMyCall(const QString& line)
    {
        m_myCallSpots.add(line);
        m_result.myCallLines.append(line);
    }

    // Every end of the pass records the rows the grid marks as alerts, then saves: an alert
    // must not wait for its row to be painted. The rows of a pass cut short by a bad field
    // stay shown, so they are recorded too.
    void finish()
    {
        m_result.rowCount = int(m_result.rows.size()) + 1;
        if (alertBandTest(m_c.bandText, m_c.perBandLayout)) {
            // Row 0 is the header, so rows 1 to max-lines - 1 are the ones recorded.
            const qsizetype rows = qMin<qsizetype>(m_result.rows.size(), m_c.maxLines - 1);
            for (qsizetype i = 0; i < rows; ++i) {
                const SpotRow& row = m_result.rows[i];
                const QString& tag = row.tag();
                if (!tag.contains(tags::kAlert) && !(m_c.far && tag.contains(tags::kFar)))
                    continue;
                const std::optional<qint64> at = readUtcMSecs(row.cellView(field::Time));
                if (at && *at > m_futureCutoff) {
                    m_result.futureAlerts.append(row.cell(field::Time) + u',' + row.cellView(field::Call));
                    continue;
                }
                QString line = AlertsHistory::alertLine(row.cellView(field::Time), row.cellView(field::Call),
                                                        row.cellView(field::MHz), row.cellView(field::Snr),
                                                        row.cellView(field::Reporter), row.cellView(field::Km));
                if (m_alerts.record(line))
                    m_result.recordedAlerts.append(std::move(line));
            }
        }
        const SaveResult saved = m_alerts.saveIfChanged();
        if (!saved.ok)
            m_result.saveError = saved.message();
    }

    const FilterControls& m_c;
    AlertsHistory& m_alerts;
    MyCallSpots& m_myCallSpots;
    FilterResult& m_result;
    qint64 m_now = 0;
    qint64 m_timeCutoff = 0;
    qint64 m_futureCutoff = 0;
    qint64 m_alertCutoff = 0;
    int m_minKm = 0;
    int m_maxKm = 0;
    QString m_s;
    QString m_r;
    bool m_everySpot = false; // the page is the user's own spots: no call filter applies
    bool m_distanceWindow = false;
    RowTagger m_tagger{m_c.myCall, m_c.farAlertDistance};
    static constexpr qsizetype kKnownWatts = 16;
    QVarLengthArray<std::pair<QString, QString>, kKnownWatts> m_watts;
    QString m_myCallLine;
    TimeReader m_times;
};

void allBandsPass(const QStringList& spots, const FilterControls& c, qint64 nowMs, AllBandsTable& table,
                  MyCallSpots& myCallSpots, FilterResult& result)
{
    const QString s = callFilterText(c.spottedFilter);
    const QString r = callFilterText(c.spotterFilter);
    std::optional<qint64> newest, oldest;
    TimeReader times;
    for (qsizetype i = 0; i < spots.size(); ++i) {
        const SpotFields f = splitSpotLine(spots[i], false);
        QString upperCall, upperReporter;
        const QStringView call = upperCased(f[field::Call], upperCall);
        qint64 at = 0;
        std::optional<double> mhz;
        const bool match = callFilterMatch(s, r, c.logic, call, upperCased(f[field::Reporter], upperReporter));
        try {
            const SpotNumbers n(f, times);
            checkRanges(f, n, nowMs);
            at = dateTimeOf(n.time, f[field::Time]);
            if (match) {
                mhz = readDecimal(f[field::MHz]);
                if (!mhz)
                    throw ConversionFailed{notDecimal(f[field::MHz])};
            }
        } catch (const ConversionFailed& failed) {
            result.skipped.append(skippedSpot(spots[i], i, failed));
            continue;
        }
        if (MyCallSpots::isMyCall(f[field::Call], c.myCall)) {
            const QString line = MyCallSpots::allBandsLine(f);
            myCallSpots.add(line);
            result.myCallLines.append(line);
        }
        oldest = at;
        if (!newest)
            newest = at;
        if (match)
            table.add(BandColumnOf(*mhz), call);
    }
    result.end = FilterEnd::Normal;
    if (oldest)
        result.oldestTime = utcClockText(utcOf(*oldest));
    if (newest)
        result.newestTime = utcClockText(utcOf(*newest));
    // Even a pass cut short shows what the table holds, never a run of empty rows.
    result.rowCount = table.rowCount();
    result.lineCount = QString::number(result.rowCount);
    result.bandColumns = table.columns();
}

} // namespace

QString skippedSpotsMessage(const QVector<SkippedSpot>& skipped)
{
    if (skipped.isEmpty())
        return {};
    QString text = describe(skipped.first());
    text[0] = text[0].toUpper();
    text += QStringLiteral("\nThe line was skipped; the other spots are shown.");
    if (skipped.size() > 1)
        text += QStringLiteral("\n%1 more lines that do not read were skipped too; the run log "
                               "names them.")
                    .arg(skipped.size() - 1);
    return text;
}

QString skippedSpotsLogLine(const QVector<SkippedSpot>& skipped)
{
    constexpr qsizetype kNamed = 5;
    QStringList named;
    for (qsizetype i = 0; i < qMin(kNamed, skipped.size()); ++i)
        named.append(describe(skipped[i]));
    QString line = QStringLiteral("Filter pass skipped %1 spot line(s): ").arg(skipped.size())
                   + named.join(QStringLiteral("; "));
    if (skipped.size() > kNamed)
        line += QStringLiteral("; and %1 more").arg(skipped.size() - kNamed);
    return line;
}

FilterResult FilterSpots(const QStringList& spots, const FilterControls& controls,
                         const Clock& clock, AllBandsTable& allBands, AlertsHistory& alerts,
                         MyCallSpots& myCallSpots)
{
    FilterResult result;
    if (!controls.pageParsed)
        return result;
    result.allBands = controls.bandText == u"All";
    if (spots.isEmpty()) {
        result.end = FilterEnd::NoSpots;
        return result;
    }
    if (result.allBands)
        allBandsPass(spots, controls, clock.nowUtc().toMSecsSinceEpoch(), allBands, myCallSpots, result);
    else
        PerBandPass(controls, clock, alerts, myCallSpots, result).run(spots);
    return result;
}

} // namespace beamtide
