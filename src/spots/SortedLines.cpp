#include "spots/SortedLines.h"

#include <algorithm>

namespace beamtide {

namespace {
bool lessNoCase(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}
} // namespace

qsizetype SortedLines::lowerBound(const QString& line) const
{
    return std::lower_bound(m_lines.cbegin(), m_lines.cend(), line, lessNoCase) - m_lines.cbegin();
}

bool SortedLines::insert(const QString& line)
{
    if (m_exact.contains(line))
        return false;
    const qsizetype at = lowerBound(line);
    if (at < m_lines.size() && QString::compare(m_lines[at], line, Qt::CaseInsensitive) == 0)
        return false;
    m_lines.insert(at, line);
    m_exact.insert(line);
    return true;
}

void SortedLines::clear()
{
    m_lines.clear();
    m_exact.clear();
}

bool SortedLines::contains(const QString& line) const
{
    const qsizetype at = lowerBound(line);
    return at < m_lines.size() && QString::compare(m_lines[at], line, Qt::CaseInsensitive) == 0;
}

void SortedLines::assign(QStringList lines)
{
    // Files we wrote are in order already; only a hand-edited one needs the sort.
    if (!std::is_sorted(lines.cbegin(), lines.cend(), lessNoCase))
        std::stable_sort(lines.begin(), lines.end(), lessNoCase);
    const auto end = std::unique(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) == 0;
    });
    lines.erase(end, lines.end());
    m_lines = std::move(lines);
    m_exact = QSet<QString>(m_lines.cbegin(), m_lines.cend());
}

void SortedLines::load(const QString& path)
{
    assign(readLines(path).value_or(QStringList()));
}

SaveResult SortedLines::save(const QString& path) const
{
    return saveLines(path, m_lines);
}

} // namespace beamtide
