#pragma once

#include "spots/SpotRow.h"
#include "spots/SpotRules.h"

#include <QString>
#include <QStringList>
#include <QVector>


namespace beamtide {

class AlertsHistory;
class AllBandsTable;
class Clock;
class MyCallSpots;

// The control values one filter pass reads, as the window shows them.
struct FilterControls
{
    QString bandText;                                  // ComboBox1; "All": all-bands layout
    bool perBandLayout = true;                         // the per-band grid header is in place
    QString spottedFilter = QStringLiteral("VK*");     // Edit1
    QString spotterFilter = QStringLiteral("VK*");     // Edit2
    QString logic = QStringLiteral("AND");             // ComboBox3
    QString exclusionList;                             // Edit27
    bool timeWindow = false;                           // CheckBox6
    int elapsedMinutes = 5;                            // ScrollBar5
    bool rowLimit = false;                             // CheckBox7
    int maxLines = 5;                                  // ScrollBar4
    bool distanceWindow = false;                       // CheckBox9 ticked
    bool distanceControlsShown = false;                // CheckBox9, Edit8 and the bars shown
    int minDistancePosition = 0;                       // ScrollBar2
    int maxDistancePosition = 0;                       // ScrollBar6
    int distanceScale = 50;
    bool snrAlert = false;                             // CheckBox4
    int snrPosition = 30;                              // ScrollBar3; see bars::snrThreshold
    bool far = false;                                  // CheckBox17
    int farAlertDistance = 2000;                       // km
    int updateIntervalMinutes = 5;                     // ScrollBar1
    QString fetchedBand;                               // "MyCall": every spot of the page shown
    QString myCall;                                    // upper case; empty when not set
    bool pageParsed = true;
};

enum class FilterEnd {
    NotParsed,       // no page parsed yet: nothing done, nothing to show
    NoSpots,         // empty spot list: the grid stays as it is; the final step only
    Normal,          // every spot line seen
    TimeWindow,      // ended at the first spot older than the time window
    RowLimit,        // ended once the max-lines rows were written
};

// A spot line the pass skipped because a field that must be a number or date-time was not.
struct SkippedSpot
{
    int line = 0;   // from 1, in the spot list
    QString call;   // as the line gives it, cut short when long
    QString reason; // "'x' is not a valid integer value"
    friend bool operator==(const SkippedSpot&, const SkippedSpot&) = default;
};

// What the window shows and does after a pass. Nothing here applies unless changesGrid():
// then the per-band fields or the all-bands fields, by allBands, replace what is shown.
struct FilterResult
{
    FilterEnd end = FilterEnd::NotParsed;
    bool allBands = false;

    // Per-band layout: grid rows from row 1.
    QVector<SpotRow> rows;
    // All-bands layout: the 17 band columns, rows 1 to rowCount - 1 each.
    QVector<QStringList> bandColumns;
    int rowCount = 1; // grid rows, the header row included

    QString diagnostics;  // Edit25 (per-band)
    QString oldestTime;   // Edit14 (all-bands): "hh:mm UTC" of the last spot line
    QString newestTime;   // Edit15 (all-bands): "hh:mm UTC" of the first spot line
    QString lineCount;    // Edit16 (all-bands)
    QStringList memo;     // Memo2 (per-band): header line, then one alert text line per alert

    QStringList myCallLines;    // the MyCall spot lines collected by this pass
    QStringList recordedAlerts; // the alert lines this pass added to the alerts history
    QStringList futureAlerts;   // "time,call" of alerting rows dated too far ahead: not recorded

    QVector<SkippedSpot> skipped; // lines that did not read; the others are all taken
    QString saveError;       // the alerts file could not be written; the list is kept

    // Select the top-left cell, repaint, give the Update button the focus.
    bool finalStep() const { return end == FilterEnd::NoSpots || end == FilterEnd::Normal; }
    bool changesGrid() const { return end != FilterEnd::NotParsed && end != FilterEnd::NoSpots; }
};

// The box's text for skipped lines: the first named, the others counted.
QString skippedSpotsMessage(const QVector<SkippedSpot>& skipped);
// The run log's one line for a pass that skipped lines, naming the first few.
QString skippedSpotsLogLine(const QVector<SkippedSpot>& skipped);

// An alerting spot dated further ahead than this is not recorded: a clock that far off, or
// a damaged date, would make it the newest alert for good.
inline constexpr qint64 kFutureAlertSecs = 60 * 60;

// One filter pass over the spot list. The per-band pass also records its alerting rows in
// the alerts history and saves it; both layouts add the user's own spots to myCallSpots.
FilterResult FilterSpots(const QStringList& spots, const FilterControls& controls,
                         const Clock& clock, AllBandsTable& allBands, AlertsHistory& alerts,
                         MyCallSpots& myCallSpots);

} // namespace beamtide
