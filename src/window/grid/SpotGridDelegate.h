#pragma once

#include "settings/ColourNames.h"

#include <QCache>
#include <QFont>
#include <QStaticText>
#include <QStyledItemDelegate>

#include <array>
#include <functional>
#include <optional>

namespace beamtide {

// The colour working values the grid draws with: a look per text class (indexed by
// TextClass) and the three background names.
struct GridColours
{
    std::array<TextLook, kTextClassCount> classes;
    QString oddLine;
    QString evenLine;
    QString highlight;

    const TextLook& look(TextClass textClass) const { return classes[size_t(textClass)]; }
    static GridColours defaults();
    friend bool operator==(const GridColours&, const GridColours&) = default;
};

// One cell position marked by find; it stays on the position whatever text moves there.
struct FindHighlight
{
    bool active = false;
    int column = 0;
    int row = 0;
    friend bool operator==(const FindHighlight&, const FindHighlight&) = default;
};

struct CellContext
{
    int row = 0;
    int column = 0;
    QString tag;            // column 12 of the cell's row
    QString bandText;       // the band box as it reads now
    bool perBandHeader = false; // row 0 of column 1 reads "Reported"
    FindHighlight find;
};

struct CellLook
{
    quint32 background = 0xFFFFFF;
    std::optional<quint32> text; // nothing: the grid's own text colour
    bool bold = false;
    friend bool operator==(const CellLook&, const CellLook&) = default;
};

inline constexpr quint32 kHeaderBackground = 0xC0DCC0;
inline constexpr quint32 kFindBackground = 0xFF00FF;
inline constexpr quint32 kGridLineColour = 0xC0C0C0;

// GridColours with every name looked up: what a cell's look is decided from.
struct GridPalette
{
    GridPalette() = default;
    explicit GridPalette(const GridColours& colours);

    std::array<quint32, kTextClassCount> text{};
    std::array<bool, kTextClassCount> bold{};
    quint32 oddLine = 0;
    quint32 evenLine = 0;
    quint32 highlight = 0;
};

// Background, text colour and weight of one cell; later rules override earlier ones.
CellLook cellLook(const CellContext& cell, const GridColours& colours);
CellLook cellLook(const CellContext& cell, const GridPalette& palette);

// The laid-out texts of the cells painted lately. Shaping a cell's text cost more than all
// the rest of its paint, and a repaint mostly shows texts painted before: the same times,
// bands, grids and reporters in row after row, the same rows after a scroll or a refresh.
// Bounded, and emptied when the grid's font changes.
class CellTexts
{
public:
    struct Text
    {
        QStaticText layout;
        QRect ink; // the pixels it may cover, from its top-left corner
    };
    // Laid out with `font`; valid until the next call.
    const Text& text(const QString& text, const QFont& font);

private:
    static constexpr int kKept = 1500; // a maximised grid shows about 800 cells
    QFont m_font;
    QCache<QString, Text> m_texts{kKept};
};

// Paints the spot grid. It only colours: recording alerts belongs to the filter pass, so
// an alert never depends on a row being on screen.
class SpotGridDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotGridDelegate)

public:
    explicit SpotGridDelegate(QObject* parent = nullptr);

    // Read at every paint, so a changed band or colour setting shows at the next repaint.
    void setBandSource(std::function<QString()> bandText);
    void setColourSource(std::function<GridColours()> colours);
    GridColours colours() const { return m_colours(); }

    void setFindHighlight(const FindHighlight& find) { m_find = find; }
    const FindHighlight& findHighlight() const { return m_find; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const GridPalette& palette(const GridColours& colours) const;

    std::function<QString()> m_bandText;
    std::function<GridColours()> m_colours;
    FindHighlight m_find;
    // The colours of the last cell painted and their palette: the names are looked up again
    // only when the colours change, not for every cell.
    mutable GridColours m_paletteColours;
    mutable GridPalette m_palette;
    mutable bool m_paletteValid = false;
    mutable CellTexts m_texts[2]; // regular, bold
};

} // namespace beamtide
