#pragma once

#include "base/SpotSource.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace beamtide {

// Times in the file are whole minutes (and hours, days) since 2020-01-01 00:00 UTC: three
// bytes a spot until 2035 instead of four.
inline constexpr qint64 kHistoryEpochMinute = 26297280; // 2020-01-01 in minutes since 1970

// One spot as the file keeps it. minute: since 1970 (UTC).
struct HistorySpot
{
    qint64 minute = 0;
    QString call, grid, reporter, reporterGrid;
    qint64 hz = 0;
    int snr = 0, drift = 0, dbm = 0, km = 0;
    SpotSource source = SpotSource::WsprNet; // WsprNet or WsprLive

    // A spot line of either source; nothing when its time or frequency does not read.
    static std::optional<HistorySpot> fromLine(QStringView line, SpotSource source);
};

// The band numbers of the file: the all-bands columns 0..16, and the rest as "u".
int historyBandOf(qint64 hz);
QString historyBandName(int band); // as the band box names it
int historyBandCount();
// The band number of a band box text; nothing for "All" or a text that is no band.
std::optional<int> historyBandOfName(QStringView name);

struct HeatCell
{
    qint64 hour = 0; // since 1970
    qint64 spots = 0;
};

struct BandHours
{
    int band = 0;
    QList<HeatCell> hours; // oldest first, only hours with spots
};

// The spot that went furthest on one UTC day.
struct DayBest
{
    qint64 day = 0; // since 1970
    int km = 0;
    qint64 minute = 0;
    QString call, grid, reporter, reporterGrid;
};

// The call filters of the window and the far distance, for a narrowed heat map.
struct HeatFilter
{
    bool calls = false; // only spots that pass the call filters below
    QString spotted, spotter, logic;
    int minKm = 0; // only spots beyond this distance; 0: any
};

// The spot history file: SQLite, shared by the copies side by side (WAL, busy timeout).
// Used from one thread at a time (the history thread). A file that is not one of ours, is
// damaged or comes from a newer version is never written; the store says why and stays off.
class HistoryStore final
{
public:
    static constexpr int kSchemaVersion = 1;
    static constexpr int kDefaultRetentionDays = 30;

    enum class State { Closed, Open, Refused };

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens or creates the file. Refused: the file is not usable and stays as it is; why()
    // names the file and the reason.
    State open(const QString& path);
    State state() const { return m_state; }
    // The open file's connection for the code beside the store (export, history server),
    // on the same thread; null unless open.
    sqlite3* connection() const { return m_state == State::Open ? m_db : nullptr; }
    QString why() const { return m_why; }
    QString path() const { return m_path; }

    struct StoreResult
    {
        bool ok = false;
        int added = 0;      // rows new to the file
        int skipped = 0;    // lines whose time or frequency did not read
        QString error;      // when not ok; the spots were not stored
        bool refused = false; // the file turned out damaged: the store is off from now on
    };
    // Every spot not yet in the file, in one transaction, then the day's pruning when due
    // and a small step of giving space back. nowMinute: since 1970.
    [[nodiscard]] StoreResult store(const QList<HistorySpot>& spots, qint64 nowMinute);

    // Days kept, from the file (the copies share it).
    int retentionDays();
    [[nodiscard]] bool setRetentionDays(int days);

    // Queries; times since 1970, the range [from, to). band: nothing for every band.
    QList<HeatCell> heatMap(std::optional<int> band, qint64 fromHour, qint64 toHour);
    // The same from the rows themselves, narrowed by the filter: a scan, not the roll-up.
    QList<HeatCell> heatMap(std::optional<int> band, qint64 fromHour, qint64 toHour,
                            const HeatFilter& filter);
    // From this many spots in the range, the narrowed heat map is counted in two halves at
    // once; tests lower it.
    void setParallelScanRows(qint64 rows) { m_parallelScanRows = rows; }
    QList<BandHours> spotsPerHour(qint64 fromHour, qint64 toHour);
    QList<DayBest> bestPerDay(std::optional<int> band, qint64 fromDay, qint64 toDay);
    // The oldest hour with a spot; nothing when the file holds none.
    std::optional<qint64> firstHour();
    qint64 spotCount();

private:
    bool exec(const char* sql);
    bool createSchema();
    bool migrate(int from);
    struct Prepared;
    int nameId(bool call, const QString& text);
    bool prune(qint64 nowMinute);
    void giveSpaceBack();
    qint64 metaValue(const char* key, qint64 otherwise);
    bool setMeta(const char* key, qint64 value);
    void refuse(const QString& reason);
    QString lastError() const;

    sqlite3* m_db = nullptr;
    State m_state = State::Closed;
    QString m_path;
    QString m_why;
    // Qt's seeded string hash takes a slow path on some processors (a third of a microsecond
    // here), and a store looks ids up four times a spot: an unseeded one does.
    struct TextHash
    {
        size_t operator()(const QString& text) const noexcept { return qHash(text, 0); }
    };
    using IdCache = std::unordered_map<QString, int, TextHash>;
    IdCache m_calls;
    IdCache m_locators;
    std::unique_ptr<Prepared> m_prepared; // the store's statements, made once
    struct Recent;
    std::unique_ptr<Recent> m_recent; // the spots of the last answers, all in the file
    qint64 m_parallelScanRows = 500000;
};

} // namespace beamtide
