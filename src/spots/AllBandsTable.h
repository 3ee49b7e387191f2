#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

namespace beamtide {

// The calls heard per band in the all-bands layout. Calls stay listed across filter passes
// until the refresh resets the table; a column grows as far as its band needs.
class AllBandsTable final
{
public:
    static constexpr int kColumns = 17;

    // Whether the call was new to the column.
    bool add(int column, QStringView call);
    void reset();

    // Grid rows, the header row included: one more than the longest column, at least 1.
    int rowCount() const;
    // Rows 1 to rowCount() - 1 of one column: its calls, then single blanks.
    QStringList column(int column) const;
    QVector<QStringList> columns() const;

private:
    std::array<QStringList, kColumns> m_calls;
    std::array<QSet<QString>, kColumns> m_listed;
};

} // namespace beamtide
