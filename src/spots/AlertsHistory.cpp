#include "spots/AlertsHistory.h"

#include "base/DateFormats.h"
#include "base/Identity.h"
#include "retrieval/SpotParser.h"

#include <QVarLengthArray>

namespace beamtide {

namespace {

QVarLengthArray<qsizetype, 16> commasOf(QStringView line)
{
    QVarLengthArray<qsizetype, 16> commas;
    for (qsizetype at = line.indexOf(u','); at >= 0; at = line.indexOf(u',', at + 1))
        commas.append(at);
    return commas;
}

QString middle(const QString& line, qsizetype from, qsizetype to)
{
    return line.mid(from + 1, to - from - 1);
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
    rebuildIndex();
}

SaveResult AlertsHistory::save() const
{
    return m_lines.save(m_path);
}

SaveResult AlertsHistory::saveIfAny() const
{
    if (m_lines.isEmpty())
        return {};
    return save();
}

SaveResult AlertsHistory::trim(const QDateTime& nowUtc)
{
    if (m_lines.isEmpty())
        return {};
    m_lines.removeIf([&](const QString& line) {
        const QDateTime at = readDateTime(GetFieldView(line, u',', 1));
        return at.isValid() && at.addDays(7) < nowUtc;
    });
    rebuildIndex();
    return save();
}

QString AlertsHistory::alertLine(const QStringList& cells)
{
    return cells.value(0) + u',' + cells.value(1) + u',' + cells.value(2) + u',' + cells.value(3)
        + u"dBm," + cells.value(8) + u',' + cells.value(10) + u"Km. ";
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
    indexLine(alertLine);
    return true;
}

bool AlertsHistory::heldWithin(const QString& line) const
{
    const auto commas = commasOf(line);
    if (commas.size() != 5) {
        // Not the shape the index knows; a rare, slow look.
        for (const QString& held : m_lines.lines())
            if (held.contains(line))
                return true;
        return false;
    }
    const auto found = m_byMiddle.constFind(middle(line, commas[0], commas[4]));
    if (found == m_byMiddle.cend())
        return false;
    for (const QString& held : *found)
        if (held.contains(line))
            return true;
    return false;
}

void AlertsHistory::indexLine(const QString& line)
{
    const auto commas = commasOf(line);
    for (qsizetype i = 0; i + 4 < commas.size(); ++i)
        m_byMiddle[middle(line, commas[i], commas[i + 4])].append(line);
}

void AlertsHistory::rebuildIndex()
{
    m_byMiddle.clear();
    for (const QString& line : m_lines.lines())
        indexLine(line);
}

} // namespace beamtide
