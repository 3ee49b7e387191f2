#pragma once

#include "base/TextFile.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace beamtide {

// Lines kept in ascending order of their text, letter case aside, each one once: a line
// equal to one present (letter case aside) is not added again.
class SortedLines final
{
public:
    // Whether the line was added.
    bool insert(const QString& line);
    bool contains(const QString& line) const;
    const QStringList& lines() const { return m_lines; }
    qsizetype size() const { return m_lines.size(); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    void clear();
    // Replaces the content with these lines, put in order and without duplicates.
    void assign(QStringList lines);
    template <typename Pred>
    qsizetype removeIf(Pred pred)
    {
        const qsizetype removed = m_lines.removeIf(pred);
        if (removed > 0)
            m_exact = QSet<QString>(m_lines.cbegin(), m_lines.cend());
        return removed;
    }

    // Replaces the content with the file's lines; a missing file leaves the list empty.
    void load(const QString& path);
    SaveResult save(const QString& path) const;

private:
    qsizetype lowerBound(const QString& line) const;

    QStringList m_lines;
    // The lines as they are: a pass offers the same lines again and again, and a hash
    // answers those quicker than the sorted search.
    QSet<QString> m_exact;
};

} // namespace beamtide
