#include "window/grid/SpotGrid.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace beamtide {

SpotGrid::SpotGrid(QTableView& view, QObject* parent)
    : QObject(parent), m_view(view), m_model(new SpotGridModel(this)),
      m_delegate(new SpotGridDelegate(this))
{
    m_view.setModel(m_model);
    m_view.setItemDelegate(m_delegate);
    m_view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view.setShowGrid(false); // the delegate draws the light grey lines
    m_view.setWordWrap(false);
    m_view.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_view.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QHeaderView* columns = m_view.horizontalHeader();
    columns->setVisible(false);
    columns->setMinimumSectionSize(0);
    columns->setSectionsMovable(false);
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setDefaultSectionSize(60);
    QHeaderView* rows = m_view.verticalHeader();
    rows->setVisible(false);
    rows->setMinimumSectionSize(0);
    rows->setSectionsMovable(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kGridRowHeight);

    QFont font(QStringLiteral("MS Sans Serif"));
    // Where that face is missing, one with the same narrow metrics keeps the columns readable.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(11);
    m_view.setFont(font);

    m_delegate->setBandSource([this] { return bandText(); });
    applyWidths();
}

void SpotGrid::setBandSource(std::function<QString()> bandText)
{
    m_bandText = std::move(bandText);
}

QString SpotGrid::bandText() const
{
    return m_bandText ? m_bandText() : QString();
}

void SpotGrid::setColourSource(std::function<GridColours()> colours)
{
    m_delegate->setColourSource(std::move(colours));
}

void SpotGrid::setDiagColumns(bool on)
{
    m_diagColumns = on;
    applyWidths();
}

void SpotGrid::setHideTxMi(bool hide)
{
    m_hideTxMi = hide;
    applyWidths();
}

void SpotGrid::setPerBandLayout()
{
    m_model->setPerBandLayout();
    applyWidths();
}

void SpotGrid::setAllBandsLayout()
{
    m_model->setAllBandsLayout();
    applyWidths();
}

void SpotGrid::applyWidths()
{
    const QVector<int> widths = m_model->layout() == GridLayout::PerBand
                                    ? perBandColumnWidths(m_diagColumns, m_hideTxMi)
                                    : allBandsColumnWidths();
    for (int c = 0; c < widths.size(); ++c)
        m_view.setColumnWidth(c, widths[c]);
}

int SpotGrid::topRow() const
{
    return m_view.verticalScrollBar()->value();
}

void SpotGrid::setTopRow(int row)
{
    m_view.verticalScrollBar()->setValue(row);
}

int SpotGrid::fullyVisibleRows() const
{
    return m_view.viewport()->height() / kGridRowHeight;
}

void SpotGrid::setFindHighlight(const FindHighlight& find)
{
    if (find == m_delegate->findHighlight())
        return;
    m_delegate->setFindHighlight(find);
    m_view.viewport()->update();
}

void SpotGrid::repaintNow()
{
    m_view.viewport()->repaint();
}

} // namespace beamtide
