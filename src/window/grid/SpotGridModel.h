#pragma once

#include "spots/SpotRow.h"
#include "spots/SpotRules.h" // allBandsHeaders()

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVector>

namespace beamtide {

enum class GridLayout { PerBand, AllBands };

// Per-band layout: columns 0..11 hold the twelve spot line fields, column 12 the
// classification tag, which is never shown but is read by the drawing and the export.
inline constexpr int kPerBandColumns = 13;
inline constexpr int kTagColumn = field::Tag;
inline constexpr int kAllBandsColumns = 17;
inline constexpr int kGridRowHeight = 20;

QStringList perBandHeaders();   // 13 texts, the last empty
// Column widths in pixels. Hidden power and miles columns keep 1 pixel; only the tag
// column collapses to 0 (100 with the diagnostic columns on).
QVector<int> perBandColumnWidths(bool diagColumns, bool hideTxMi);
QVector<int> allBandsColumnWidths();

// The spot grid's cells. Row 0 is the header row held as ordinary data: it scrolls with
// the rows, can be selected, is searched and exported like them, and is drawn by the same
// delegate. Only text lives here; every colour is decided when a cell is drawn. Per-band
// rows are the filter pass's spot rows as they are, sharing the spot lines; a cell's text
// is cut from its line when the view asks for it.
class SpotGridModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotGridModel)

public:
    explicit SpotGridModel(QObject* parent = nullptr);

    // Both leave the header row only.
    void setPerBandLayout();
    void setAllBandsLayout();
    GridLayout layout() const { return m_layout; }
    // The drawing's test for the per-band layout: the header of column 1 reads "Reported".
    bool perBandHeaderInPlace() const;

    // Rows from row 1 down; shared, not copied.
    void setPerBandRows(const QList<SpotRow>& rows);
    // Rows of texts from row 1 down, each cut or padded to the layout's column count.
    void setPerBandRows(const QVector<QStringList>& rows);
    // One list of calls per band column, from row 1 down; the row count follows the
    // longest list.
    void setAllBandsColumns(const QVector<QStringList>& columns);
    // Total rows including the header row (at least 1). New rows are empty.
    void setRowCount(int rows);
    // False when the cell lies outside the grid.
    bool setCell(int row, int column, const QString& text);

    int rows() const;
    int columns() const { return m_columns; }
    QString cell(int row, int column) const;
    // The cell without a copy; valid until the model next changes.
    QStringView cellView(int row, int column) const;
    // Every cell of the row, hidden ones included.
    QStringList rowCells(int row) const;
    // The columns find searches: all but the tag column of the per-band layout.
    int searchedColumns() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void setLayout(GridLayout layout, const QStringList& headers);
    bool contains(int row, int column) const;
    bool holdsSpotRows() const;

    GridLayout m_layout = GridLayout::PerBand;
    int m_columns = kPerBandColumns;
    QStringList m_header;          // row 0
    // Rows from 1: the per-band pass's or the all-bands pass's (m_columns texts each); one
    // of the two is always empty.
    QList<SpotRow> m_spotRows;
    QList<QStringList> m_bandRows;
};

} // namespace beamtide
