#include "history/HistoryStore.h"

#include "spots/SpotRules.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace beamtide {

namespace {

// The all-bands columns' lower edges in Hz; frequencies are kept above them, which keeps a
// WSPR frequency to three bytes. Column 0 also holds the frequencies below 1 MHz.
constexpr qint64 kBandBaseHz[] = {0,        1000000,  3000000,  5000000,   7000000,  10000000,
                                  14000000, 18000000, 21000000, 24000000,  28000000, 39900000,
                                  50000000, 70000000, 144000000, 220000000, 430000000, 0};
constexpr int kUnknownBand = 17;

// A prepared statement that finalizes itself.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Statement& bind(int i, qint64 v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& bind(int i, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Every call and locator once, as integer ids; the spots table is keyed by the spot's
// identity, so a spot fetched twice is one row.
constexpr const char* kSchema[] = {
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID",
    "CREATE TABLE band(id INTEGER PRIMARY KEY, name TEXT NOT NULL, base_hz INTEGER NOT NULL)",
    "CREATE TABLE call(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE)",
    "CREATE TABLE locator(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE)",
    "CREATE TABLE spots("
    " minute INTEGER NOT NULL, band INTEGER NOT NULL, tx INTEGER NOT NULL, rx INTEGER NOT NULL,"
    " hz INTEGER NOT NULL, txgrid INTEGER NOT NULL, rxgrid INTEGER NOT NULL,"
    " snr INTEGER, drift INTEGER, dbm INTEGER, km INTEGER, source INTEGER NOT NULL,"
    " PRIMARY KEY(minute, band, tx, rx, hz)) WITHOUT ROWID",
    // Kept up to date as spots are stored, so the plain heat map and the per-hour series
    // read a few thousand rows instead of millions.
    "CREATE TABLE hourly(band INTEGER NOT NULL, hour INTEGER NOT NULL, spots INTEGER NOT NULL,"
    " PRIMARY KEY(band, hour)) WITHOUT ROWID",
    "CREATE TABLE daily_best(band INTEGER NOT NULL, day INTEGER NOT NULL, km INTEGER NOT NULL,"
    " minute INTEGER NOT NULL, tx INTEGER NOT NULL, rx INTEGER NOT NULL,"
    " txgrid INTEGER NOT NULL, rxgrid INTEGER NOT NULL, PRIMARY KEY(band, day)) WITHOUT ROWID",
    "CREATE VIEW spot AS SELECT"
    " strftime('%Y-%m-%d %H:%M', (s.minute + 26297280) * 60, 'unixepoch') AS time,"
    " b.name AS band, c.text AS call, g.text AS grid, r.text AS reporter, rg.text AS rgrid,"
    " (b.base_hz + s.hz) / 1000000.0 AS mhz, s.snr AS snr, s.drift AS drift, s.dbm AS dbm,"
    " s.km AS km, CASE s.source WHEN 1 THEN 'wspr.live' ELSE 'wsprnet' END AS source"
    " FROM spots s JOIN band b ON b.id = s.band JOIN call c ON c.id = s.tx"
    " JOIN call r ON r.id = s.rx JOIN locator g ON g.id = s.txgrid"
    " JOIN locator rg ON rg.id = s.rxgrid",
};

qint64 dayStart(qint64 day)
{
    return day * 1440;
}

// The call filters read a call only by how it begins: with the filter text, or with one of
// its comma-separated terms. Calls that begin with the same of these texts get the same
// verdict, so a narrowed heat map judges one example per class instead of every spot.
class CallClasses
{
public:
    explicit CallClasses(QStringView filter)
    {
        if (!filter.isEmpty())
            m_prefixes.append(filter);
        for (QStringView term : filter.split(u','))
            if (!term.trimmed().isEmpty() && !m_prefixes.contains(term.trimmed()))
                m_prefixes.append(term.trimmed());
    }

    int classOf(const QString& call)
    {
        std::vector<bool> begins(size_t(m_prefixes.size()));
        for (qsizetype i = 0; i < m_prefixes.size(); ++i)
            begins[size_t(i)] = call.startsWith(m_prefixes[i]);
        const auto [known, added] = m_classes.emplace(std::move(begins), int(m_examples.size()));
        if (added)
            m_examples.append(call);
        return known->second;
    }
    int count() const { return int(m_examples.size()); }
    const QString& example(int cls) const { return m_examples[cls]; }

private:
    QList<QStringView> m_prefixes;
    std::map<std::vector<bool>, int> m_classes;
    QStringList m_examples;
};

// The verdict of the call filters on a spot, by the classes of its two calls.
struct CallVerdicts
{
    std::vector<int> txClass, rxClass; // by call id; the last entry for ids not in the table
    std::vector<char> pass;            // by tx class * rxClasses + rx class
    size_t rxClasses = 0;

    bool passes(qint64 tx, qint64 rx) const
    {
        const auto classOf = [](const std::vector<int>& classes, qint64 id) {
            return size_t(classes[id >= 0 && size_t(id) < classes.size() ? size_t(id) : classes.size() - 1]);
        };
        return pass[classOf(txClass, tx) * rxClasses + classOf(rxClass, rx)];
    }
    // As an SQL function, so that SQLite counts a minute's passing spots itself.
    static void sqlPasses(sqlite3_context* context, int, sqlite3_value** values)
    {
        const auto* verdicts = static_cast<const CallVerdicts*>(sqlite3_user_data(context));
        sqlite3_result_int(context, verdicts->passes(sqlite3_value_int64(values[0]),
                                                     sqlite3_value_int64(values[1])));
    }
};

// From the call table (thousands of rows, not millions): each call's class on either side,
// and the verdict for each pair of classes.
CallVerdicts callVerdicts(sqlite3* db, const HeatFilter& filter)
{
    CallVerdicts verdicts;
    CallClasses spotted(filter.spotted), spotter(filter.spotter);
    const int noTx = spotted.classOf(QString()), noRx = spotter.classOf(QString());
    Statement c(db, "SELECT id, text FROM call");
    while (c.step() == SQLITE_ROW) {
        const qint64 id = c.integer(0);
        if (id < 0 || id >= std::numeric_limits<int>::max())
            continue;
        if (size_t(id) >= verdicts.txClass.size()) {
            verdicts.txClass.resize(size_t(id) + 1, noTx);
            verdicts.rxClass.resize(size_t(id) + 1, noRx);
        }
        const QString text = c.text(1);
        verdicts.txClass[size_t(id)] = spotted.classOf(text);
        verdicts.rxClass[size_t(id)] = spotter.classOf(text);
    }
    // Spots whose calls are not in the table (none, in a sound file) read as empty calls.
    verdicts.txClass.push_back(noTx);
    verdicts.rxClass.push_back(noRx);
    verdicts.rxClasses = size_t(spotter.count());
    for (int t = 0; t < spotted.count(); ++t)
        for (int r = 0; r < spotter.count(); ++r)
            verdicts.pass.push_back(callFilterMatch(filter.spotted, filter.spotter, filter.logic,
                                                    spotted.example(t), spotter.example(r)));
    return verdicts;
}

// Spots a minute from the rows themselves: one pass in key order over the time range,
// reading only the columns the count needs.
struct NarrowedCount
{
    int band = -1; // every band
    int minKm = 0; // any distance
    std::optional<CallVerdicts> verdicts;

    QList<HeatCell> run(sqlite3* db, qint64 fromHour, qint64 toHour) const
    {
        QList<HeatCell> cells;
        if (verdicts)
            sqlite3_create_function_v2(db, "beamtide_passes", 2,
                                       SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                       const_cast<CallVerdicts*>(&*verdicts), &CallVerdicts::sqlPasses,
                                       nullptr, nullptr, nullptr);
        // Only the conditions that narrow, each a column read on every row; the calls first,
        // as they sit early in the row while the distance is near its end.
        QByteArray sql = "SELECT minute, count(*) FROM spots WHERE minute >= ?1 AND minute < ?2";
        if (verdicts)
            sql += " AND beamtide_passes(tx, rx)";
        if (minKm > 0)
            sql += " AND km > ?3";
        if (band >= 0)
            sql += " AND band = ?4";
        sql += " GROUP BY minute ORDER BY minute";
        {
            Statement s(db, sql.constData());
            s.bind(1, fromHour * 60 - kHistoryEpochMinute).bind(2, toHour * 60 - kHistoryEpochMinute);
            if (minKm > 0)
                s.bind(3, minKm);
            if (band >= 0)
                s.bind(4, band);
            while (s.step() == SQLITE_ROW) {
                const qint64 hour = (s.integer(0) + kHistoryEpochMinute) / 60;
                if (cells.isEmpty() || cells.last().hour != hour)
                    cells.append(HeatCell{hour, 0});
                cells.last().spots += s.integer(1);
            }
        }
        if (verdicts)
            sqlite3_create_function_v2(db, "beamtide_passes", 2, SQLITE_UTF8, nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
        return cells;
    }
};

} // namespace

std::optional<HistorySpot> HistorySpot::fromLine(QStringView line, SpotSource source)
{
    const SpotFields f = splitSpotLine(line, true);
    const std::optional<qint64> msecs = readUtcMSecs(f[field::Time]);
    const std::optional<double> mhz = readDecimal(f[field::MHz]);
    if (!msecs || !mhz || *mhz <= 0 || f[field::Call].isEmpty() || f[field::Reporter].isEmpty())
        return std::nullopt;
    HistorySpot spot;
    spot.minute = *msecs / 60000;
    spot.hz = std::llround(*mhz * 1e6);
    spot.call = f[field::Call].toString().toUpper();
    spot.reporter = f[field::Reporter].toString().toUpper();
    spot.grid = f[field::Grid].toString();
    spot.reporterGrid = f[field::ReporterGrid].toString();
    spot.snr = readInteger(f[field::Snr]).value_or(0);
    spot.drift = readInteger(f[field::Drift]).value_or(0);
    spot.dbm = readInteger(f[field::Dbm]).value_or(0);
    spot.km = readInteger(f[field::Km]).value_or(0);
    spot.source = source == SpotSource::WsprLive ? SpotSource::WsprLive : SpotSource::WsprNet;
    return spot;
}

int historyBandOf(qint64 hz)
{
    const int column = BandColumnOf(double(hz) / 1e6);
    if (column == 0 && hz >= 1000000)
        return kUnknownBand;
    return column;
}

QString historyBandName(int band)
{
    const QStringList& items = bandBoxItems(); // "All", the columns, "u"
    return band >= 0 && band + 1 < items.size() ? items[band + 1] : QStringLiteral("u");
}

int historyBandCount()
{
    return kUnknownBand + 1;
}

std::optional<int> historyBandOfName(QStringView name)
{
    for (int band = 0; band < historyBandCount(); ++band)
        if (historyBandName(band) == name)
            return band;
    return std::nullopt;
}

// Prepared once per open file: a store runs them thousands of times.
struct HistoryStore::Prepared
{
    explicit Prepared(sqlite3* db)
        : insertSpot(db, "INSERT OR IGNORE INTO spots VALUES(?,?,?,?,?,?,?,?,?,?,?,?)"),
          addCall(db, "INSERT OR IGNORE INTO call(text) VALUES(?)"),
          findCall(db, "SELECT id FROM call WHERE text = ?"),
          addLocator(db, "INSERT OR IGNORE INTO locator(text) VALUES(?)"),
          findLocator(db, "SELECT id FROM locator WHERE text = ?"),
          addHour(db, "INSERT INTO hourly VALUES(?, ?, ?) ON CONFLICT(band, hour)"
                      " DO UPDATE SET spots = spots + excluded.spots"),
          addDayBest(db, "INSERT INTO daily_best VALUES(?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(band, day)"
                         " DO UPDATE SET km = excluded.km, minute = excluded.minute, tx = excluded.tx,"
                         " rx = excluded.rx, txgrid = excluded.txgrid, rxgrid = excluded.rxgrid"
                         " WHERE excluded.km > daily_best.km")
    {
    }
    Statement insertSpot, addCall, findCall, addLocator, findLocator, addHour, addDayBest;
};

// The identities of the spots of the last two answers, all in the file: fetches overlap, so
// half an answer is often a repeat, and a repeat known here costs no search in the file. Only
// pruning removes rows: this copy forgets when it prunes, and a spot that another copy pruned
// is past the days kept anyway.
struct HistoryStore::Recent
{
    struct Key
    {
        qint64 minute, hz;
        int band, tx, rx;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash
    {
        size_t operator()(const Key& k) const noexcept
        {
            return qHashMulti(0, k.minute, k.hz, k.band, k.tx, k.rx);
        }
    };
    using Keys = std::unordered_set<Key, KeyHash>;
    Keys last, before;

    bool contains(const Key& key) const { return last.contains(key) || before.contains(key); }
    void forget()
    {
        last.clear();
        before.clear();
    }
    void remember(Keys keys)
    {
        before = std::move(last);
        last = std::move(keys);
    }
};

HistoryStore::HistoryStore() = default;

HistoryStore::~HistoryStore()
{
    m_prepared.reset();
    sqlite3_close_v2(m_db);
}

QString HistoryStore::lastError() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

bool HistoryStore::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void HistoryStore::refuse(const QString& reason)
{
    m_state = State::Refused;
    m_prepared.reset();
    m_why = QStringLiteral("The history file %1 %2; it is left as it is and history is off.")
                .arg(QDir::toNativeSeparators(m_path), reason);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

HistoryStore::State HistoryStore::open(const QString& path)
{
    m_path = path;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        refuse(QStringLiteral("cannot be opened (%1)").arg(lastError()));
        return m_state;
    }
    // Another copy may hold the write lock for a while; wait rather than fail.
    sqlite3_busy_timeout(m_db, 30000);
    sqlite3_extended_result_codes(m_db, 1);

    // Read before anything is written: a file that is no database or is damaged must not
    // be touched.
    int version = -1;
    qint64 tables = 0;
    int code = SQLITE_OK;
    {
        Statement v(m_db, "PRAGMA user_version");
        if (v.step() == SQLITE_ROW)
            version = int(v.integer(0));
        Statement t(m_db, "SELECT count(*) FROM sqlite_schema");
        if (version >= 0 && t.step() == SQLITE_ROW)
            tables = t.integer(0);
        else
            version = -1;
        code = sqlite3_errcode(m_db) & 0xff;
    }
    if (version < 0) {
        if (code == SQLITE_NOTADB)
            refuse(QStringLiteral("is not a database"));
        else if (code == SQLITE_CORRUPT)
            refuse(QStringLiteral("is damaged"));
        else
            refuse(QStringLiteral("cannot be read (%1)").arg(lastError()));
        return m_state;
    }
    if (version > kSchemaVersion) {
        refuse(QStringLiteral("comes from a newer version of Beamtide (schema %1)").arg(version));
        return m_state;
    }
    if (version == 0 && tables > 0) {
        refuse(QStringLiteral("is a database of another program"));
        return m_state;
    }
    // Space is given back in small steps after pruning; this must precede the first write.
    if (version == 0)
        exec("PRAGMA auto_vacuum=INCREMENTAL");
    if (!exec("PRAGMA journal_mode=WAL")) {
        refuse(QStringLiteral("cannot be shared (%1)").arg(lastError()));
        return m_state;
    }
    exec("PRAGMA synchronous=NORMAL"); // WAL stays consistent; a power cut may lose the last refresh
    if (version == 0 ? !createSchema() : !migrate(version)) {
        const int failed = sqlite3_errcode(m_db) & 0xff;
        if (failed == SQLITE_CORRUPT || failed == SQLITE_NOTADB)
            refuse(QStringLiteral("is damaged"));
        else
            refuse(QStringLiteral("cannot be prepared (%1)").arg(lastError()));
        return m_state;
    }
    m_state = State::Open;
    return m_state;
}

bool HistoryStore::createSchema()
{
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    // Another copy may have created it meanwhile.
    {
        Statement v(m_db, "PRAGMA user_version");
        if (v.step() == SQLITE_ROW && v.integer(0) != 0) {
            const int version = int(v.integer(0));
            exec("ROLLBACK");
            return version <= kSchemaVersion && migrate(version);
        }
    }
    bool ok = true;
    for (const char* sql : kSchema)
        ok = ok && exec(sql);
    Statement band(m_db, "INSERT INTO band VALUES(?, ?, ?)");
    for (int b = 0; ok && b < historyBandCount(); ++b) {
        band.bind(1, b).bind(2, historyBandName(b)).bind(3, kBandBaseHz[b]);
        ok = band.step() == SQLITE_DONE;
        band.reset();
    }
    ok = ok && setMeta("retention_days", kDefaultRetentionDays) && setMeta("next_prune", 0);
    ok = ok && exec("PRAGMA user_version=1");
    if (!ok) {
        exec("ROLLBACK");
        return false;
    }
    return exec("COMMIT");
}

bool HistoryStore::migrate(int from)
{
    // Each later version adds its step here, from every earlier one in turn.
    return from == kSchemaVersion;
}

qint64 HistoryStore::metaValue(const char* key, qint64 otherwise)
{
    Statement s(m_db, "SELECT value FROM meta WHERE key = ?");
    s.bind(1, QString::fromLatin1(key));
    return s.step() == SQLITE_ROW ? s.integer(0) : otherwise;
}

bool HistoryStore::setMeta(const char* key, qint64 value)
{
    Statement s(m_db, "INSERT OR REPLACE INTO meta VALUES(?, ?)");
    s.bind(1, QString::fromLatin1(key)).bind(2, value);
    return s.step() == SQLITE_DONE;
}

int HistoryStore::nameId(bool call, const QString& text)
{
    // Ids never change once given, so a cached one stays right even when another copy
    // writes to the file too.
    IdCache& cache = call ? m_calls : m_locators;
    const auto known = cache.find(text);
    if (known != cache.end())
        return known->second;
    Statement& add = call ? m_prepared->addCall : m_prepared->addLocator;
    Statement& find = call ? m_prepared->findCall : m_prepared->findLocator;
    add.bind(1, text);
    const int added = add.step();
    add.reset();
    if (added != SQLITE_DONE)
        return -1;
    find.bind(1, text);
    const int found = find.step();
    const int id = found == SQLITE_ROW ? int(find.integer(0)) : -1;
    find.reset();
    if (id >= 0)
        cache.emplace(text, id);
    return id;
}

HistoryStore::StoreResult HistoryStore::store(const QList<HistorySpot>& spots, qint64 nowMinute)
{
    StoreResult result;
    if (m_state != State::Open) {
        result.error = m_why.isEmpty() ? QStringLiteral("The history file is not open.") : m_why;
        return result;
    }
    const auto fail = [&](const QString& what) {
        const int code = sqlite3_errcode(m_db) & 0xff;
        result.error = QStringLiteral("%1: %2").arg(what, lastError());
        exec("ROLLBACK");
        // A failed insert may have left ids in the cache that the rollback took back.
        m_calls.clear();
        m_locators.clear();
        if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
            refuse(QStringLiteral("is damaged"));
            result.refused = true;
            result.error = m_why;
        }
        return result;
    };

    if (!m_prepared)
        m_prepared = std::make_unique<Prepared>(m_db);
    if (!exec("BEGIN IMMEDIATE"))
        return fail(QStringLiteral("The history file cannot be written"));
    // Ids first, then the rows in key order: neighbours in the tree go in one after another.
    struct Row
    {
        qint64 minute = 0, hz = 0;
        int band = 0, tx = 0, rx = 0, txGrid = 0, rxGrid = 0;
        bool added = false;
    };
    std::vector<Row> rows(size_t(spots.size()));
    std::vector<int> order(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const HistorySpot& spot = spots[qsizetype(i)];
        Row& row = rows[i];
        row.minute = spot.minute - kHistoryEpochMinute;
        row.band = historyBandOf(spot.hz);
        row.hz = spot.hz - kBandBaseHz[row.band];
        row.tx = nameId(true, spot.call);
        row.rx = nameId(true, spot.reporter);
        row.txGrid = nameId(false, spot.grid);
        row.rxGrid = nameId(false, spot.reporterGrid);
        if (row.tx < 0 || row.rx < 0 || row.txGrid < 0 || row.rxGrid < 0)
            return fail(QStringLiteral("The history file cannot be written"));
        order[i] = int(i);
    }
    const auto key = [&](int i) {
        const Row& r = rows[size_t(i)];
        return std::tie(r.minute, r.band, r.tx, r.rx, r.hz);
    };
    std::sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
    if (!m_recent)
        m_recent = std::make_unique<Recent>();
    Recent::Keys keys;
    keys.reserve(rows.size());
    Statement& insert = m_prepared->insertSpot;
    for (const int i : order) {
        const HistorySpot& spot = spots[i];
        Row& row = rows[size_t(i)];
        const Recent::Key rowKey{row.minute, row.hz, row.band, row.tx, row.rx};
        keys.insert(rowKey);
        if (m_recent->contains(rowKey))
            continue;
        insert.bind(1, row.minute).bind(2, row.band).bind(3, row.tx).bind(4, row.rx).bind(5, row.hz);
        insert.bind(6, row.txGrid).bind(7, row.rxGrid);
        insert.bind(8, spot.snr).bind(9, spot.drift).bind(10, spot.dbm).bind(11, spot.km);
        insert.bind(12, spot.source == SpotSource::WsprLive ? 1 : 0);
        const int inserted = insert.step();
        insert.reset();
        if (inserted != SQLITE_DONE)
            return fail(QStringLiteral("The history file cannot be written"));
        row.added = sqlite3_changes(m_db) > 0;
    }

    // The roll-ups, one upsert per hour and per day; in the answer's order, so that of two
    // spots as far the first one is the day's best.
    QMap<std::pair<int, qint64>, qint64> hours; // (band, hour) -> new spots
    QMap<std::pair<int, qint64>, int> best;      // (band, day) -> furthest new spot
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (!row.added)
            continue;
        ++result.added;
        // Counted from 1970 as the queries do, then moved to the file's epoch.
        ++hours[{row.band, spots[i].minute / 60 - kHistoryEpochMinute / 60}];
        const std::pair<int, qint64> dayKey{row.band, spots[i].minute / 1440 - kHistoryEpochMinute / 1440};
        const auto furthest = best.find(dayKey);
        if (furthest == best.end())
            best.insert(dayKey, int(i));
        else if (spots[i].km > spots[*furthest].km)
            *furthest = int(i);
    }
    Statement& hour = m_prepared->addHour;
    for (auto it = hours.cbegin(); it != hours.cend(); ++it) {
        hour.bind(1, it.key().first).bind(2, it.key().second).bind(3, *it);
        const int done = hour.step();
        hour.reset();
        if (done != SQLITE_DONE)
            return fail(QStringLiteral("The history file cannot be written"));
    }
    Statement& day = m_prepared->addDayBest;
    for (auto it = best.cbegin(); it != best.cend(); ++it) {
        const Row& row = rows[size_t(*it)];
        day.bind(1, it.key().first).bind(2, it.key().second);
        day.bind(3, spots[*it].km).bind(4, row.minute).bind(5, row.tx).bind(6, row.rx);
        day.bind(7, row.txGrid).bind(8, row.rxGrid);
        const int done = day.step();
        day.reset();
        if (done != SQLITE_DONE)
            return fail(QStringLiteral("The history file cannot be written"));
    }
    if (!exec("COMMIT"))
        return fail(QStringLiteral("The history file cannot be written"));
    result.ok = true;
    m_recent->remember(std::move(keys));

    if (nowMinute >= metaValue("next_prune", 0)) {
        // The spots are stored; pruning is tried again at the next store.
        if (!prune(nowMinute))
            exec("ROLLBACK");
        // Spots of the last answers may be gone now, and are stored again if fetched again.
        m_recent->forget();
    }
    giveSpaceBack();
    return result;
}

bool HistoryStore::prune(qint64 nowMinute)
{
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    // Another copy may have pruned since we looked.
    if (nowMinute < metaValue("next_prune", 0))
        return exec("COMMIT");
    const qint64 days = metaValue("retention_days", kDefaultRetentionDays);
    const qint64 firstDay = nowMinute / 1440 - days + 1; // today counts as one of the days
    const qint64 fileDay = firstDay - kHistoryEpochMinute / 1440;
    Statement spots(m_db, "DELETE FROM spots WHERE minute < ?");
    spots.bind(1, dayStart(fileDay));
    Statement hours(m_db, "DELETE FROM hourly WHERE hour < ?");
    hours.bind(1, fileDay * 24);
    Statement best(m_db, "DELETE FROM daily_best WHERE day < ?");
    best.bind(1, fileDay);
    const bool ok = spots.step() == SQLITE_DONE && hours.step() == SQLITE_DONE
        && best.step() == SQLITE_DONE && setMeta("next_prune", dayStart(nowMinute / 1440 + 1));
    return ok && exec("COMMIT");
}

void HistoryStore::giveSpaceBack()
{
    // A page step per store: never a full VACUUM that would hold the file for minutes.
    Statement free(m_db, "PRAGMA freelist_count");
    if (free.step() == SQLITE_ROW && free.integer(0) > 0)
        exec("PRAGMA incremental_vacuum(256)");
}

int HistoryStore::retentionDays()
{
    return m_state == State::Open ? int(metaValue("retention_days", kDefaultRetentionDays))
                                  : kDefaultRetentionDays;
}

bool HistoryStore::setRetentionDays(int days)
{
    if (m_state != State::Open || days < 1)
        return false;
    // Pruned by the next store, whichever copy makes it.
    return exec("BEGIN IMMEDIATE") && setMeta("retention_days", days) && setMeta("next_prune", 0)
        && exec("COMMIT");
}

QList<HeatCell> HistoryStore::heatMap(std::optional<int> band, qint64 fromHour, qint64 toHour)
{
    QList<HeatCell> cells;
    if (m_state != State::Open)
        return cells;
    Statement s(m_db, "SELECT hour, sum(spots) FROM hourly WHERE (?1 < 0 OR band = ?1)"
                      " AND hour >= ?2 AND hour < ?3 GROUP BY hour ORDER BY hour");
    const qint64 offset = kHistoryEpochMinute / 60;
    s.bind(1, band.value_or(-1)).bind(2, fromHour - offset).bind(3, toHour - offset);
    while (s.step() == SQLITE_ROW)
        cells.append(HeatCell{s.integer(0) + offset, s.integer(1)});
    return cells;
}

QList<HeatCell> HistoryStore::heatMap(std::optional<int> band, qint64 fromHour, qint64 toHour,
                                      const HeatFilter& filter)
{
    if (m_state != State::Open)
        return {};
    NarrowedCount count;
    count.band = band.value_or(-1);
    count.minKm = filter.minKm;
    if (filter.calls)
        count.verdicts = callVerdicts(m_db, filter);

    // The roll-up tells where half of the range's spots are: a large range is counted in two
    // halves at once, the later one on a connection and a thread of its own.
    const QList<HeatCell> all = heatMap(band, fromHour, toHour);
    qint64 total = 0;
    for (const HeatCell& cell : all)
        total += cell.spots;
    qint64 splitHour = toHour;
    if (total >= m_parallelScanRows && QThread::idealThreadCount() > 1) {
        qint64 sum = 0;
        for (const HeatCell& cell : all) {
            sum += cell.spots;
            if (sum * 2 >= total) {
                splitHour = cell.hour + 1;
                break;
            }
        }
    }
    QList<HeatCell> later;
    std::unique_ptr<QThread> helper;
    sqlite3* other = nullptr;
    if (splitHour < toHour
        && sqlite3_open_v2(QFile::encodeName(m_path).constData(), &other,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(other, 30000);
        helper.reset(QThread::create([&] { later = count.run(other, splitHour, toHour); }));
        helper->start();
    } else {
        splitHour = toHour;
    }
    QList<HeatCell> cells = count.run(m_db, fromHour, splitHour);
    if (helper)
        helper->wait();
    sqlite3_close_v2(other);
    cells.append(later);
    return cells;
}

QList<BandHours> HistoryStore::spotsPerHour(qint64 fromHour, qint64 toHour)
{
    QList<BandHours> bands;
    if (m_state != State::Open)
        return bands;
    const qint64 offset = kHistoryEpochMinute / 60;
    Statement s(m_db, "SELECT band, hour, spots FROM hourly WHERE hour >= ?1 AND hour < ?2"
                      " ORDER BY band, hour");
    s.bind(1, fromHour - offset).bind(2, toHour - offset);
    while (s.step() == SQLITE_ROW) {
        const int band = int(s.integer(0));
        if (bands.isEmpty() || bands.last().band != band)
            bands.append(BandHours{band, {}});
        bands.last().hours.append(HeatCell{s.integer(1) + offset, s.integer(2)});
    }
    return bands;
}

QList<DayBest> HistoryStore::bestPerDay(std::optional<int> band, qint64 fromDay, qint64 toDay)
{
    QList<DayBest> days;
    if (m_state != State::Open)
        return days;
    const qint64 offset = kHistoryEpochMinute / 1440;
    // Across bands, the furthest of the day's bands (SQLite takes the row of the max).
    Statement s(m_db, "SELECT d.day, max(d.km), d.minute, c.text, g.text, r.text, rg.text"
                      " FROM daily_best d JOIN call c ON c.id = d.tx JOIN call r ON r.id = d.rx"
                      " JOIN locator g ON g.id = d.txgrid JOIN locator rg ON rg.id = d.rxgrid"
                      " WHERE (?1 < 0 OR d.band = ?1) AND d.day >= ?2 AND d.day < ?3"
                      " GROUP BY d.day ORDER BY d.day");
    s.bind(1, band.value_or(-1)).bind(2, fromDay - offset).bind(3, toDay - offset);
    while (s.step() == SQLITE_ROW)
        days.append(DayBest{s.integer(0) + offset, int(s.integer(1)), s.integer(2) + kHistoryEpochMinute,
                            s.text(3), s.text(4), s.text(5), s.text(6)});
    return days;
}

std::optional<qint64> HistoryStore::firstHour()
{
    if (m_state != State::Open)
        return std::nullopt;
    Statement s(m_db, "SELECT min(hour) FROM hourly");
    if (s.step() != SQLITE_ROW || s.isNull(0))
        return std::nullopt;
    return s.integer(0) + kHistoryEpochMinute / 60;
}

qint64 HistoryStore::spotCount()
{
    if (m_state != State::Open)
        return 0;
    Statement s(m_db, "SELECT count(*) FROM spots");
    return s.step() == SQLITE_ROW ? s.integer(0) : 0;
}

} // namespace beamtide
