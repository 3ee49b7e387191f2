#include "window/grid/SpotGridDelegate.h"

#include "spots/AlertBand.h"
#include "window/grid/SpotGridModel.h"

#include <QPainter>

namespace beamtide {

GridColours GridColours::defaults()
{
    GridColours colours;
    for (const TextClassInfo& info : textClasses())
        colours.classes[size_t(info.textClass)] = {QString::fromUtf16(info.defaultColour),
                                                   info.defaultBold};
    colours.oddLine = QString::fromUtf16(backgroundInfo(Background::OddLine).defaultColour);
    colours.evenLine = QString::fromUtf16(backgroundInfo(Background::EvenLine).defaultColour);
    colours.highlight = QString::fromUtf16(backgroundInfo(Background::Highlight).defaultColour);
    return colours;
}

CellLook cellLook(const CellContext& cell, const GridColours& colours)
{
    CellLook look;
    const TextLook& normal = colours.look(TextClass::Normal);
    look.background = cell.row % 2 == 1 ? backgroundRgb(Background::OddLine, colours.oddLine)
                                        : backgroundRgb(Background::EvenLine, colours.evenLine);
    look.bold = normal.bold;
    if (cell.row == 0) {
        look.background = kHeaderBackground;
        look.bold = true;
    }

    if (cell.row > 0 && alertBandTest(cell.bandText, cell.perBandHeader)) {
        const auto take = [&look](const TextLook& textLook) {
            look.bold = textLook.bold;
            look.text = colourRgb(textLook.colour);
        };
        const auto has = [&cell](QStringView code) { return cell.tag.contains(code); };
        take(normal);
        if (has(u"md"))
            take(colours.look(TextClass::BeyondDistance));
        if (has(tags::kSignalHigh))
            take(colours.look(TextClass::SigAboveThreshold));
        if (has(tags::kBetween))
            take(colours.look(TextClass::BetweenDistances));
        if (has(u"mc")) {
            look.bold = true;
            look.text = 0xFF0000;
            look.background = 0xFFFFFF;
        }
        if (has(tags::kFar)) {
            look.bold = true;
            look.text = 0x000000;
            look.background = 0x00FF00;
        }
        if (has(tags::kAlert)) {
            take(colours.look(TextClass::Alerts));
            look.background = backgroundRgb(Background::Highlight, colours.highlight);
        }
    }

    if (cell.find.active && cell.find.column == cell.column && cell.find.row == cell.row)
        look.background = kFindBackground;
    return look;
}

SpotGridDelegate::SpotGridDelegate(QObject* parent)
    : QStyledItemDelegate(parent), m_colours([] { return GridColours::defaults(); })
{
}

void SpotGridDelegate::setBandSource(std::function<QString()> bandText)
{
    m_bandText = std::move(bandText);
}

void SpotGridDelegate::setColourSource(std::function<GridColours()> colours)
{
    m_colours = std::move(colours);
}

void SpotGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QAbstractItemModel* model = index.model();
    CellContext cell;
    cell.row = index.row();
    cell.column = index.column();
    if (cell.row > 0 && model->columnCount() > kTagColumn)
        cell.tag = model->index(cell.row, kTagColumn).data().toString();
    cell.bandText = m_bandText ? m_bandText() : QString();
    cell.perBandHeader = model->index(0, 1).data().toString() == u"Reported";
    cell.find = m_find;
    const CellLook look = cellLook(cell, m_colours());

    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, QColor::fromRgb(look.background));
    QFont font = option.font;
    font.setBold(look.bold);
    painter->setFont(font);
    painter->setPen(look.text ? QColor::fromRgb(*look.text)
                              : option.palette.color(QPalette::Active, QPalette::WindowText));
    painter->setClipRect(rect);
    // No inset: the text starts at the cell's top-left corner. A cell shows no more
    // characters than it is pixels wide, so a damaged page's megabyte cell is never laid out.
    const QString text = index.data().toString();
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      text.size() > rect.width() ? text.left(qMax(rect.width(), 1)) : text);
    // The view's own grid lines are off; each cell draws its right and bottom edge.
    painter->setPen(QColor::fromRgb(kGridLineColour));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
}

} // namespace beamtide
