#pragma once

#include "base/TextFile.h"

#include <QString>

#include <optional>

namespace beamtide {

class HistoryStore;

struct HistoryExport
{
    SaveResult saved;
    qint64 rows = 0; // spots written
};

// The stored spots of [fromMinute, toMinute) (UTC minutes since 1970), of one band or of
// all, oldest first, as CSV with a header line and the columns of the spot view. Every field
// goes through the grid export's guard, so a call sign cannot become a spreadsheet formula.
// The file is replaced whole or not at all.
HistoryExport exportHistoryCsv(HistoryStore& store, const QString& path, qint64 fromMinute,
                               qint64 toMinute, std::optional<int> band);

// "<prefix>BeamtideHistory <yyyymmdd>-<yyyymmdd>[ <band>m].csv", the last day included.
QString historyExportFileName(const QString& prefix, qint64 fromMinute, qint64 toMinute,
                              std::optional<int> band);

} // namespace beamtide
