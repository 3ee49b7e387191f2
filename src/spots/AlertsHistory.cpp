#include "spots/AlertsHistory.h"

#include "base/DateFormats.h"
#include "base/Identity.h"
#include "retrieval/SpotParser.h"

#include <QVarLengthArray>

#include <optional>

namespace beamtide {

namespace {

QVarLengthArray<qsizetype, 16> commasOf(QStringView line)
{
    QVarLengthArray<qsizetype, 16> commas;
    for (qsizetype at = line.indexOf(u','); at >= 0; at = line.indexOf(u',', at + 1))
        commas.append(at);
    return commas;
}

// An alert line starts with a 16-character date-time. Where a line holds it, its first field
// ends one of the line's comma-separated fields; the key pairs the last 16 characters of
// that field with the four whole fields after it.
constexpr qsizetype kTail = 16;

// The key at the comma at commas[i]; nothing when the field before it is too short.
std::optional<size_t> keyAt(QStringView line, const QVarLengthArray<qsizetype, 16>& commas,
                            qsizetype i)
{
    const qsizetype fieldStart = i == 0 ? 0 : commas[i - 1] + 1;
    if (commas[i] - fieldStart < kTail)
        return std::nullopt;
    const QStringView tail = line.mid(commas[i] - kTail, kTail);
    const QStringView middle = line.mid(commas[i] + 1, commas[i + 4] - commas[i] - 1);
    return qHash(middle, qHash(tail));
}

} // namespace

AlertsHistory::AlertsHistory(QString filePath) : m_path(std::move(filePath)) {}

QString AlertsHistory::filePath(const Identity& identity)
{
    return identity.dataFile(u"WSPR_Alerts", u".txt");
}

void AlertsHistory::load()
{
    m_lines.load(m_path);
    m_changed = false;
    rebuildIndex();
}

SaveResult AlertsHistory::save()
{
    const SaveResult saved = m_lines.save(m_path);
    if (saved.ok)
        m_changed = false;
    return saved;
}

SaveResult AlertsHistory::saveIfChanged()
{
    if (m_lines.isEmpty() || !m_changed)
        return SaveResult::done();
    return save();
}

SaveResult AlertsHistory::trim(const QDateTime& nowUtc)
{
    if (m_lines.isEmpty())
        return SaveResult::done();
    m_lines.removeIf([&](const QString& line) {
        const QDateTime at = readDateTime(GetFieldView(line, u',', 1));
        // A line dated more than a day ahead is damage, not an alert to come.
        return at.isValid() && (at.addDays(7) < nowUtc || at > nowUtc.addDays(1));
    });
    rebuildIndex();
    return save();
}

QString AlertsHistory::alertLine(const QStringList& cells)
{
    return alertLine(cells.value(0), cells.value(1), cells.value(2), cells.value(3), cells.value(8),
                     cells.value(10));
}

QString AlertsHistory::alertLine(QStringView time, QStringView call, QStringView mhz,
                                 QStringView snr, QStringView reporter, QStringView km)
{
    return time + u',' + call + u',' + mhz + u',' + snr + u"dBm," + reporter + u',' + km + u"Km. ";
}

bool AlertsHistory::RecordAlertRow(int rowIndex, const QStringList& cells, int maxLines)
{
    if (rowIndex >= maxLines)
        return false;
    return record(alertLine(cells));
}

bool AlertsHistory::record(const QString& alertLine)
{
    if (heldWithin(alertLine))
        return false;
    if (!m_lines.insert(alertLine))
        return false;
    m_changed = true;
    indexLine(alertLine);
    return true;
}

bool AlertsHistory::heldWithin(const QString& line) const
{
    const auto commas = commasOf(line);
    const std::optional<size_t> key = commas.size() == 5 ? keyAt(line, commas, 0) : std::nullopt;
    if (!key) {
        // Not the shape the index knows; a rare, slow look.
        for (const QString& held : m_lines.lines())
            if (held.contains(line))
                return true;
        return false;
    }
    for (auto it = m_byKey.constFind(*key); it != m_byKey.cend() && it.key() == *key; ++it)
        if (it.value().contains(line))
            return true;
    return false;
}

void AlertsHistory::indexLine(const QString& line)
{
    const auto commas = commasOf(line);
    for (qsizetype i = 0; i + 4 < commas.size(); ++i)
        if (const std::optional<size_t> key = keyAt(line, commas, i))
            m_byKey.insert(*key, line);
}

void AlertsHistory::rebuildIndex()
{
    m_byKey.clear();
    for (const QString& line : m_lines.lines())
        indexLine(line);
}

} // namespace beamtide
