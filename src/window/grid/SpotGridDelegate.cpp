#include "window/grid/SpotGridDelegate.h"

#include "spots/AlertBand.h"
#include "window/grid/SpotGridModel.h"

#include <QFontMetrics>
#include <QPainter>

namespace beamtide {

GridColours GridColours::defaults()
{
    // Made once: the default colour source hands a copy to every cell painted.
    static const GridColours made = [] {
        GridColours colours;
        for (const TextClassInfo& info : textClasses())
            colours.classes[size_t(info.textClass)] = {QString::fromUtf16(info.defaultColour),
                                                       info.defaultBold};
        colours.oddLine = QString::fromUtf16(backgroundInfo(Background::OddLine).defaultColour);
        colours.evenLine = QString::fromUtf16(backgroundInfo(Background::EvenLine).defaultColour);
        colours.highlight = QString::fromUtf16(backgroundInfo(Background::Highlight).defaultColour);
        return colours;
    }();
    return made;
}

GridPalette::GridPalette(const GridColours& colours)
    : oddLine(backgroundRgb(Background::OddLine, colours.oddLine)),
      evenLine(backgroundRgb(Background::EvenLine, colours.evenLine)),
      highlight(backgroundRgb(Background::Highlight, colours.highlight))
{
    for (size_t k = 0; k < colours.classes.size(); ++k) {
        text[k] = colourRgb(colours.classes[k].colour);
        bold[k] = colours.classes[k].bold;
    }
}

CellLook cellLook(const CellContext& cell, const GridColours& colours)
{
    return cellLook(cell, GridPalette(colours));
}

CellLook cellLook(const CellContext& cell, const GridPalette& palette)
{
    CellLook look;
    look.background = cell.row % 2 == 1 ? palette.oddLine : palette.evenLine;
    look.bold = palette.bold[size_t(TextClass::Normal)];
    if (cell.row == 0) {
        look.background = kHeaderBackground;
        look.bold = true;
    }

    if (cell.row > 0 && alertBandTest(cell.bandText, cell.perBandHeader)) {
        const auto take = [&look, &palette](TextClass textClass) {
            look.bold = palette.bold[size_t(textClass)];
            look.text = palette.text[size_t(textClass)];
        };
        const auto has = [&cell](QStringView code) { return cell.tag.contains(code); };
        take(TextClass::Normal);
        if (has(u"md"))
            take(TextClass::BeyondDistance);
        if (has(tags::kSignalHigh))
            take(TextClass::SigAboveThreshold);
        if (has(tags::kBetween))
            take(TextClass::BetweenDistances);
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
            take(TextClass::Alerts);
            look.background = palette.highlight;
        }
    }

    if (cell.find.active && cell.find.column == cell.column && cell.find.row == cell.row)
        look.background = kFindBackground;
    return look;
}

const CellTexts::Text& CellTexts::text(const QString& text, const QFont& font)
{
    if (font != m_font) {
        m_texts.clear();
        m_font = font;
    }
    if (const Text* known = m_texts.object(text))
        return *known;
    // One line, as a damaged page's field may hold a line break.
    QString line = text;
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    auto* made = new Text;
    made->layout.setText(line);
    made->layout.setTextFormat(Qt::PlainText); // a call sign is never markup
    made->layout.prepare(QTransform(), font);
    const QFontMetrics metrics(font);
    made->ink = metrics.boundingRect(line).translated(0, metrics.ascent());
    m_texts.insert(text, made);
    return *made;
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
    const CellLook look = cellLook(cell, palette(m_colours()));

    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, QColor::fromRgb(look.background));
    QFont font = option.font;
    font.setBold(look.bold);
    painter->setFont(font);
    painter->setPen(look.text ? QColor::fromRgb(*look.text)
                              : option.palette.color(QPalette::Active, QPalette::WindowText));
    // No inset: the text starts at the cell's top-left corner. A cell shows no more
    // characters than it is pixels wide, so a damaged page's megabyte cell is never laid out.
    const QString whole = index.data().toString();
    const QString shown = whole.size() > rect.width() ? whole.left(qMax(rect.width(), 1)) : whole;
    const CellTexts::Text& text = m_texts[look.bold ? 1 : 0].text(shown, painter->font());
    // Clipped only when the text would reach past its cell: a clip costs the raster engine
    // more than the glyphs themselves.
    if (!rect.contains(text.ink.translated(rect.topLeft())))
        painter->setClipRect(rect);
    painter->drawStaticText(rect.topLeft(), text.layout);
    // The view's own grid lines are off; each cell draws its right and bottom edge, as
    // one-pixel fills: the same pixels as lines, for less.
    const QColor gridLine = QColor::fromRgb(kGridLineColour);
    painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), gridLine);
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), gridLine);
    painter->restore();
}

const GridPalette& SpotGridDelegate::palette(const GridColours& colours) const
{
    if (!m_paletteValid || !(colours == m_paletteColours)) {
        m_paletteColours = colours;
        m_palette = GridPalette(colours);
        m_paletteValid = true;
    }
    return m_palette;
}

} // namespace beamtide
