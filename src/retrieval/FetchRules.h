#pragma once

#include "base/SpotSource.h"
#include "retrieval/SpotParser.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace beamtide {

struct Identity;

// The connection indicator (Shape2): colours leave the core as RGB values.
enum class Indicator {
    ButtonFace, // hidden, in the window's own colour
    Lime,       // a fetch is running
    DarkGreen,  // the public address is known
    Red,        // no public address, or offline
};
// 0xRRGGBB; ButtonFace has no fixed value and gives 0.
quint32 indicatorRgb(Indicator indicator);

inline const QString kLoopbackAddress = QStringLiteral("127.0.0.1");

// Label15: the public address, or a mask with /noip.
QString AddressLabel(const QString& publicAddress, bool showAddress, bool addressUnknown = false);
// The public address doubles as the sign that the Internet is reachable.
// addressUnknown: the lookup failed while the machine's own address is usable. The echo
// service is a third party's: its outage must not stop the monitor, so the gate stays open.
bool AddressGateOpen(const QString& publicAddress, bool addressUnknown = false);

// The activity test result: 0 for one line, else the line count minus 1 (-1 when empty).
int ActivityResult(qsizetype lineCount);
// The spot query is only sent when the activity page had at least 202 lines.
inline constexpr int kActivityThreshold = 200;

inline const QString kBandAll = QStringLiteral("All");
inline const QString kBandMyCall = QStringLiteral("MyCall");

inline const QString kActivityPath = QStringLiteral("/drupal/wsprnet/activity");

// The spot query after the host, for a band text, "All" or "MyCall".
QString SpotQueryPath(const QString& band, bool sortByKm, bool historical, const QString& myCall);

// Why an answer to the spot query is no answer: no page, or a page without the report
// table (cut before it, or an error page). "No posts found!" is an answer.
std::optional<QString> SpotPageFailure(QByteArrayView page, qsizetype pageLines,
                                       const std::optional<ParseResult>& parse, qsizetype spotsTaken);

// With Automatic, wspr.live answers alone this long after the spot database failed.
inline constexpr int kWsprLiveStayMinutes = 30;

// The status row's source label (Label42) and its hint for the source of the spots on
// screen; reason and retryAt (local) are set when wspr.live stands in for the spot database.
QString SourceLabelText(SpotSource answeredBy);
QString SourceHint(SpotSource answeredBy, const QString& reason, const QDateTime& retryAt);

// Files the fetch writes into the working folder.
QString ActivityFile(const Identity& identity);     // Activity<n>.htm
QString SpotPageFile(const Identity& identity);     // <prefix>WSPRRep<n>.txt
QString SpotPageCopyFile(const Identity& identity); // WSPRRep<n>.htm
QString SpotListFile(const Identity& identity);     // <prefix>WSPRRep<n>.csv
QString MyCallSpotsFile(const Identity& identity);  // <prefix><CALL>-spots.txt

// The next automatic update, from the moment a fetch ends.
struct Schedule
{
    QDateTime lastRetrieval;
    QDateTime nextUpdate;
    int instance = 0; // 0 once a copy above 3 has had its first fetch
};

// Copies 1 to 3 align to the minute and stagger by 0, 20.4 and 40.2 seconds so they never
// query at the same moment; a copy above 3 waits six hours and then runs unaligned as 0.
Schedule ScheduleNextUpdate(const QDateTime& nowLocal, int intervalMinutes, int instance);

// To the nearest whole minute, an exact half to the even minute (minutes counted in local
// wall-clock time).
QDateTime RoundToMinute(const QDateTime& local);

} // namespace beamtide
