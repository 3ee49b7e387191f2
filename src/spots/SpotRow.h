#pragma once

#include "spots/SpotRules.h"

#include <QString>
#include <QStringList>

#include <array>

namespace beamtide {

// One per-band grid row: cells 0 to 11 are the spot's fields (cell 7 the reformatted Watts),
// cell 12 the classification tag. The row shares its spot line with the spot list and keeps
// each field as an offset into it, so thousands of rows hold no strings of their own: a
// cell's text is made only when it is asked for.
class SpotRow final
{
public:
    static constexpr int kCells = 13;

    SpotRow() = default;
    // trimmed: the fields of line, as views into it.
    SpotRow(const QString& line, const SpotFields& trimmed, QString watts, QString tag);
    // A row of the given texts, cut or padded to kCells: for rows no spot line gave.
    static SpotRow fromCells(const QStringList& cells);

    // Empty outside 0..12.
    QStringView cellView(int column) const;
    QString cell(int column) const;
    QStringList cells() const;
    const QString& tag() const { return m_tag; }

private:
    static constexpr int kWattsCell = 7;
    static constexpr int kTagCell = 12;

    QString m_line;
    std::array<quint32, 12> m_start{};
    std::array<quint32, 12> m_size{};
    QString m_watts;
    QString m_tag;
};

} // namespace beamtide
