#include "spots/SpotRow.h"

namespace beamtide {

SpotRow::SpotRow(const QString& line, const SpotFields& trimmed, QString watts, QString tag)
    : m_line(line), m_watts(std::move(watts)), m_tag(std::move(tag))
{
    for (int k = 0; k < 12; ++k) {
        if (trimmed[k].isEmpty())
            continue;
        m_start[k] = quint32(trimmed[k].data() - line.data());
        m_size[k] = quint32(trimmed[k].size());
    }
}

SpotRow SpotRow::fromCells(const QStringList& cells)
{
    SpotRow row;
    qsizetype length = 0;
    for (int k = 0; k < 12 && k < cells.size(); ++k)
        length += cells[k].size();
    row.m_line.reserve(length);
    for (int k = 0; k < 12 && k < cells.size(); ++k) {
        if (k == kWattsCell)
            continue;
        row.m_start[k] = quint32(row.m_line.size());
        row.m_size[k] = quint32(cells[k].size());
        row.m_line += cells[k];
    }
    row.m_watts = cells.value(kWattsCell);
    row.m_tag = cells.value(kTagCell);
    return row;
}

QStringView SpotRow::cellView(int column) const
{
    if (column == kWattsCell)
        return m_watts;
    if (column == kTagCell)
        return m_tag;
    if (column < 0 || column > kTagCell)
        return {};
    return QStringView(m_line).mid(m_start[column], m_size[column]);
}

QString SpotRow::cell(int column) const
{
    // The two cells held whole are shared, not copied.
    if (column == kWattsCell)
        return m_watts;
    if (column == kTagCell)
        return m_tag;
    return cellView(column).toString();
}

QStringList SpotRow::cells() const
{
    QStringList all;
    all.reserve(kCells);
    for (int k = 0; k < kCells; ++k)
        all.append(cell(k));
    return all;
}

} // namespace beamtide
