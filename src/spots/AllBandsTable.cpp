#include "spots/AllBandsTable.h"

namespace beamtide {

namespace {
const QString kBlank = QStringLiteral(" ");
}

bool AllBandsTable::add(int column, QStringView call)
{
    if (column < 0 || column >= kColumns)
        return false;
    // The free cell under the last call holds a blank, so a blank call is never listed.
    if (call == kBlank || m_listed[column].contains(QString::fromRawData(call.data(), call.size())))
        return false;
    const QString listed = call.toString();
    m_listed[column].insert(listed);
    m_calls[column].append(listed);
    return true;
}

void AllBandsTable::reset()
{
    for (int c = 0; c < kColumns; ++c) {
        m_calls[c].clear();
        m_listed[c].clear();
    }
}

int AllBandsTable::rowCount() const
{
    qsizetype longest = 0;
    for (const QStringList& calls : m_calls)
        longest = qMax(longest, calls.size());
    return int(longest) + 1;
}

QStringList AllBandsTable::column(int column) const
{
    if (column < 0 || column >= kColumns)
        return {};
    QStringList cells = m_calls[column];
    const int rows = rowCount() - 1;
    cells.reserve(rows);
    while (cells.size() < rows)
        cells.append(kBlank);
    return cells;
}

QVector<QStringList> AllBandsTable::columns() const
{
    QVector<QStringList> all;
    all.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c)
        all.append(column(c));
    return all;
}

} // namespace beamtide
