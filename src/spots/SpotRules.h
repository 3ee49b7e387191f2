#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace beamtide {

// Fields 1 to 12 of a spot line (index 0 is field 1), trimmed of blanks or as they stand.
using SpotFields = std::array<QStringView, 12>;
SpotFields splitSpotLine(QStringView line, bool trimmed);

// A call filter field up to its first "*": "VK*" and "VK" select the same calls.
QString callFilterText(QStringView field);

// Whether a spot passes the spotted filter s and the spotter filter r joined by logic.
// call and reporter are upper case. A comma list works only while the other filter is
// empty, and only its first six terms count.
bool callFilterMatch(QStringView s, QStringView r, QStringView logic, QStringView call,
                     QStringView reporter);

// Whether call starts with one of the comma-separated terms, read up to the first empty one.
bool excludedCall(QStringView exclusionList, QStringView call);

// The all-bands column 0..16 of a frequency in MHz; 0 for anything outside the band table.
int BandColumnOf(double mhz);
// The band box's list: "All", the bands of the all-bands columns ("2190" for "2190/600"),
// then "u".
const QStringList& bandBoxItems();
const QStringList& allBandsHeaders();

// Whole numbers and decimals as the page writes them; nothing when the text is no number.
std::optional<int> readInteger(QStringView text);
std::optional<double> readDecimal(QStringView text);

// The Watts column: whole watts above 1 W, otherwise cut (not rounded) to two decimals.
// Nothing when the text is no number.
std::optional<QString> reformatWatts(QStringView watts);

// A UTC "yyyy-mm-dd hh:mm[:ss]" as milliseconds since 1970; nothing when it cannot be read.
// The usual shape is read without building a QDateTime.
std::optional<qint64> readUtcMSecs(QStringView dateTime);

// The time (UTC milliseconds since 1970) a spot counts as for the time window: texts without
// a date and time in their usual places count as 2000-01-01 00:01 (long past); nothing when
// a well-placed text cannot be read.
std::optional<qint64> spotTime(QStringView dateTime);
// The same for a text whose readUtcMSecs() is known already.
std::optional<qint64> spotTime(QStringView dateTime, std::optional<qint64> read);

// The date and time of UTC milliseconds as the program writes them ("yyyy-mm-dd hh:mm:ss",
// the time left out at midnight), without a trip through QDateTime for the usual years.
QString dateTimeTextOf(qint64 msecs);
void appendDateTimeText(QString& text, qint64 msecs);

// The text itself when it holds nothing to upper-case, else its upper-cased copy in storage.
QStringView upperCased(QStringView text, QString& storage);

// "hh:mm UTC"
QString utcClockText(const QDateTime& utc);

// The fields of a spot line, which are also the per-band grid's columns, in order; the
// grid's last column holds the classification tag.
namespace field {
enum : int { Time, Call, MHz, Snr, Drift, Grid, Dbm, Watts, Reporter, ReporterGrid, Km, Miles, Tag };
} // namespace field

// The classification tags, as the tag column holds them.
namespace tags {
inline constexpr char16_t kAlert[] = u"al";
inline constexpr char16_t kFar[] = u"ld";
inline constexpr char16_t kMyCall[] = u"mc";
inline constexpr char16_t kBetween[] = u"bd";
inline constexpr char16_t kBeyondMinimum[] = u"md";
inline constexpr char16_t kSignalHigh[] = u"sh";
} // namespace tags

enum class SpotFlag { SignalHigh = 1, BeyondMinimum = 2, BetweenDistances = 4, Alert = 8 };

// The classification column of a shown row: "al" wins over the far-distance tag, which wins
// over the MyCall tag, which wins over "bd", "md" and "sh". km is kmText read as a number.
QString classificationTag(int flags, QStringView myCall, QStringView call, QStringView kmText,
                          int km, int farAlertDistance);

// classificationTag() for the rows of one pass: the fixed tags are shared, not made anew
// for every row, and the far distance is written once.
class RowTagger final
{
public:
    RowTagger(QStringView myCall, int farAlertDistance);
    QString tag(int flags, QStringView call, QStringView kmText, int km) const;

private:
    QString m_myCall;
    int m_farAlertDistance;
    QString m_farDistanceText;
};

// "date-time,call,MHz,dB,reporter,locator,km," from the spot's fields 1-4 and 9-11; room is
// kept for spare characters more.
QString alertTextLine(const SpotFields& fields, qsizetype spare = 0);

} // namespace beamtide
