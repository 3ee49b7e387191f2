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

SpotGridModel::SpotGridModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_rows.append(perBandHeaders());
}

void SpotGridModel::setLayout(GridLayout layout, const QStringList& headers)
{
    beginResetModel();
    m_layout = layout;
    m_columns = int(headers.size());
    m_rows = {headers};
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
    return cell(0, 1) == u"Reported";
}

void SpotGridModel::setPerBandRows(const QVector<QStringList>& rows)
{
    beginResetModel();
    m_rows.resize(1);
    m_rows.reserve(rows.size() + 1);
    for (const QStringList& row : rows) {
        m_rows.append(row); // shared, not copied
        // Short rows are padded; a resize of a shared list would copy every full one too.
        if (row.size() != m_columns)
            m_rows.last().resize(m_columns);
    }
    endResetModel();
}

void SpotGridModel::setAllBandsColumns(const QVector<QStringList>& columns)
{
    qsizetype longest = 0;
    for (const QStringList& column : columns)
        longest = std::max(longest, column.size());
    beginResetModel();
    m_rows.resize(1);
    for (qsizetype r = 0; r < longest; ++r) {
        QStringList row;
        row.resize(m_columns);
        for (int c = 0; c < m_columns && c < columns.size(); ++c) {
            if (r < columns[c].size())
                row[c] = columns[c][r];
        }
        m_rows.append(std::move(row));
    }
    endResetModel();
}

void SpotGridModel::setRowCount(int rows)
{
    rows = std::max(rows, 1);
    const int old = this->rows();
    if (rows < old) {
        beginRemoveRows({}, rows, old - 1);
        m_rows.resize(rows);
        endRemoveRows();
    } else if (rows > old) {
        beginInsertRows({}, old, rows - 1);
        QStringList empty;
        empty.resize(m_columns);
        m_rows.insert(old, rows - old, empty);
        endInsertRows();
    }
}

bool SpotGridModel::setCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= rows() || column < 0 || column >= m_columns)
        return false;
    m_rows[row][column] = text;
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole});
    return true;
}

QString SpotGridModel::cell(int row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column >= m_columns)
        return {};
    return m_rows[row][column];
}

QStringList SpotGridModel::rowCells(int row) const
{
    if (row < 0 || row >= rows())
        return {};
    return m_rows[row];
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
