#include "history/HistoryExport.h"

#include "base/CsvField.h"
#include "history/HistoryStore.h"
#include "history/SqlQuery.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QIODevice>
#include <QTimeZone>

namespace beamtide {

namespace {

const char* const kColumns = "time,band,call,grid,reporter,rgrid,mhz,snr,drift,dbm,km,source";

// The rows of the spot view, read by the key's minute so a range reads only its rows.
const char* const kRows =
    "SELECT strftime('%Y-%m-%d %H:%M', (s.minute + ?4) * 60, 'unixepoch'), b.name, c.text, g.text,"
    " r.text, rg.text, b.base_hz + s.hz, s.snr, s.drift, s.dbm, s.km, s.source"
    " FROM spots s JOIN band b ON b.id = s.band JOIN call c ON c.id = s.tx JOIN call r ON r.id = s.rx"
    " JOIN locator g ON g.id = s.txgrid JOIN locator rg ON rg.id = s.rxgrid"
    " WHERE s.minute >= ?1 AND s.minute < ?2 AND (?3 < 0 OR s.band = ?3) ORDER BY s.minute";

QString dayText(qint64 minute)
{
    return QDateTime::fromSecsSinceEpoch(minute * 60, QTimeZone::utc()).toString(QStringLiteral("yyyyMMdd"));
}

} // namespace

HistoryExport exportHistoryCsv(HistoryStore& store, const QString& path, qint64 fromMinute,
                               qint64 toMinute, std::optional<int> band)
{
    HistoryExport result;
    sqlite3* db = store.connection();
    if (!db) {
        result.saved = {false, store.why().isEmpty() ? QStringLiteral("the history file is not open") : store.why(), path};
        return result;
    }
    SqlQuery rows(db, kRows);
    rows.bind(1, fromMinute - kHistoryEpochMinute).bind(2, toMinute - kHistoryEpochMinute);
    rows.bind(3, band.value_or(-1)).bind(4, kHistoryEpochMinute);
    QString readError;
    result.saved = saveStream(path, [&](QIODevice& file) {
        QByteArray chunk = QByteArray(kColumns) + "\r\n";
        QStringList fields;
        int step = SQLITE_ROW;
        while ((step = rows.step()) == SQLITE_ROW) {
            const qint64 hz = rows.integer(6);
            fields = {rows.text(0), rows.text(1), rows.text(2), rows.text(3), rows.text(4), rows.text(5),
                      QStringLiteral("%1.%2").arg(hz / 1000000).arg(hz % 1000000, 6, 10, QLatin1Char('0')),
                      QString::number(rows.integer(7)), QString::number(rows.integer(8)),
                      QString::number(rows.integer(9)), QString::number(rows.integer(10)),
                      rows.integer(11) == 1 ? QStringLiteral("wspr.live") : QStringLiteral("wsprnet")};
            for (QString& field : fields)
                field = csvField(field);
            chunk += fields.join(u',').toUtf8() + "\r\n";
            ++result.rows;
            if (chunk.size() >= (1 << 20)) {
                if (file.write(chunk) != chunk.size())
                    return false;
                chunk.clear();
            }
        }
        if (step != SQLITE_DONE) {
            readError = QStringLiteral("the history file cannot be read (%1)").arg(QString::fromUtf8(sqlite3_errstr(step)));
            return false;
        }
        return file.write(chunk) == chunk.size();
    });
    if (!readError.isEmpty())
        result.saved.error = readError;
    if (!result.saved.ok)
        result.rows = 0;
    return result;
}

QString historyExportFileName(const QString& prefix, qint64 fromMinute, qint64 toMinute, std::optional<int> band)
{
    QString name = prefix + u"BeamtideHistory " + dayText(fromMinute) + u'-' + dayText(toMinute - 1);
    if (band)
        name += u' ' + historyBandName(*band) + u'm';
    return name + u".csv";
}

} // namespace beamtide
