#include "window/grid/SpotGridModel.h"

namespace beamtide {

QStringList perBandHeaders()
{
    return {QStringLiteral("UTC Date"), QStringLiteral("Reported"), QStringLiteral("Freq"),
            QStringLiteral("SNR"),      QStringLiteral("Drift"),    QStringLiteral("Grid"),
            QStringLiteral("dBm"),      QStringLiteral("Watts"),    QStringLiteral("Reporter"),
            QStringLiteral("RGrid"),    QStringLiteral("KM"),       QStringLiteral("Miles"),
            QString()};
}

QVector<int> perBandColumnWidths(bool diagColumns, bool hideTxMi)
{
    const int narrow = 1;
    return {110, 80, 80, 40, 30, 60,
            hideTxMi ? narrow : 40, hideTxMi ? narrow : 50,
            80, 60, 40,
            hideTxMi ? narrow : 40,
            diagColumns ? 100 : 0};
}

QVector<int> allBandsColumnWidths()
{
    return QVector<int>(kAllBandsColumns, 52);
}

SpotGridModel::SpotGridModel(QObject* parent) : QAbstractTableModel(parent), m_header(perBandHeaders())
{
}

void SpotGridModel::setLayout(GridLayout layout, const QStringList& headers)
{
    beginResetModel();
    m_layout = layout;
    m_columns = int(headers.size());
    m_header = headers;
    m_spotRows.clear();
    m_bandRows.clear();
    endResetModel();
}

void SpotGridModel::setPerBandLayout()
{
    setLayout(GridLayout::PerBand, perBandHeaders());
}

void SpotGridModel::setAllBandsLayout()
{
    setLayout(GridLayout::AllBands, allBandsHeaders());
}

bool SpotGridModel::perBandHeaderInPlace() const
{
    return cellView(0, 1) == u"Reported";
}

void SpotGridModel::setPerBandRows(const QList<SpotRow>& rows)
{
    beginResetModel();
    m_bandRows.clear();
    m_spotRows = rows;
    endResetModel();
}

void SpotGridModel::setPerBandRows(const QVector<QStringList>& rows)
{
    QList<SpotRow> spotRows;
    spotRows.reserve(rows.size());
    for (const QStringList& row : rows)
        spotRows.append(SpotRow::fromCells(row));
    setPerBandRows(spotRows);
}

void SpotGridModel::setAllBandsColumns(const QVector<QStringList>& columns)
{
    qsizetype longest = 0;
    for (const QStringList& column : columns)
        longest = std::max(longest, column.size());
    beginResetModel();
    m_spotRows.clear();
    m_bandRows.clear();
    m_bandRows.reserve(longest);
    for (qsizetype r = 0; r < longest; ++r) {
        QStringList row;
        row.resize(m_columns);
        for (int c = 0; c < m_columns && c < columns.size(); ++c) {
            if (r < columns[c].size())
                row[c] = columns[c][r];
        }
        m_bandRows.append(std::move(row));
    }
    endResetModel();
}

void SpotGridModel::setRowCount(int rows)
{
    rows = std::max(rows, 1);
    const int old = this->rows();
    if (rows < old) {
        beginRemoveRows({}, rows, old - 1);
        m_spotRows.resize(std::min<qsizetype>(m_spotRows.size(), rows - 1));
        m_bandRows.resize(std::min<qsizetype>(m_bandRows.size(), rows - 1));
        endRemoveRows();
    } else if (rows > old) {
        beginInsertRows({}, old, rows - 1);
        if (holdsSpotRows()) {
            m_spotRows.resize(rows - 1);
        } else {
            QStringList empty;
            empty.resize(m_columns);
            m_bandRows.insert(m_bandRows.size(), rows - old, empty);
        }
        endInsertRows();
    }
}

bool SpotGridModel::contains(int row, int column) const
{
    return row >= 0 && row < rows() && column >= 0 && column < m_columns;
}

bool SpotGridModel::setCell(int row, int column, const QString& text)
{
    if (!contains(row, column))
        return false;
    if (row == 0) {
        m_header[column] = text;
    } else if (holdsSpotRows()) {
        // Rare (a test, a message in a cell): the row is made again from its texts.
        QStringList cells = m_spotRows[row - 1].cells();
        cells[column] = text;
        m_spotRows[row - 1] = SpotRow::fromCells(cells);
    } else {
        m_bandRows[row - 1][column] = text;
    }
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole});
    return true;
}

int SpotGridModel::rows() const
{
    return 1 + int(m_spotRows.size() + m_bandRows.size());
}

// Whichever rows were given last; the layout's kind when there are none.
bool SpotGridModel::holdsSpotRows() const
{
    return !m_spotRows.isEmpty() || (m_bandRows.isEmpty() && m_layout == GridLayout::PerBand);
}

QStringView SpotGridModel::cellView(int row, int column) const
{
    if (!contains(row, column))
        return {};
    if (row == 0)
        return m_header[column];
    if (holdsSpotRows())
        return m_spotRows[row - 1].cellView(column);
    return m_bandRows[row - 1][column];
}

QString SpotGridModel::cell(int row, int column) const
{
    if (!contains(row, column))
        return {};
    if (row == 0)
        return m_header[column];
    if (holdsSpotRows())
        return m_spotRows[row - 1].cell(column);
    return m_bandRows[row - 1][column];
}

QStringList SpotGridModel::rowCells(int row) const
{
    if (!contains(row, 0))
        return {};
    if (row == 0)
        return m_header;
    if (holdsSpotRows())
        return m_spotRows[row - 1].cells();
    return m_bandRows[row - 1];
}

int SpotGridModel::searchedColumns() const
{
    return m_layout == GridLayout::PerBand ? kTagColumn : m_columns;
}

int SpotGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows();
}

int SpotGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant SpotGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return cell(index.row(), index.column());
}

Qt::ItemFlags SpotGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace beamtide
