#include "window/grid/SpotGrid.h"

#include <QAbstractItemModelTester>
#include <QFontInfo>
#include <QImage>
#include <QTableView>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

constexpr quint32 kOdd = 0xD8F8FA;  // CustomLtBlue, the odd-line default
constexpr quint32 kEven = 0xFFFFD2; // CustomLtYellow

GridColours testColours()
{
    GridColours colours = GridColours::defaults();
    colours.classes[size_t(TextClass::Normal)] = {"Red", true};
    colours.classes[size_t(TextClass::BeyondDistance)] = {"Olive", false};
    return colours;
}

QStringList spotRow(const QString& call, const QString& reporter, const QString& tag = {})
{
    return {"2024-03-06 09:04", call, "50.294500", "-12", "0", "JO01", "37", "5.012",
            reporter, "IO91", "1200", "745", tag};
}

} // namespace

TEST(GridTest, CellLookFollowsTagBandRowAndFind)
{
    struct Case
    {
        const char* name;
        CellContext cell;
        CellLook expected;
    };
    const FindHighlight off;
    const FindHighlight onAlertCell{true, 3, 1};
    const Case cases[] = {
        {"band 6, untagged: Normal colour and weight",
         {1, 0, "", "6", true, off}, {kOdd, 0xFF0000, true}},
        {"band 20: no text colour at all, Normal bold still applies",
         {1, 0, "", "20", true, off}, {kOdd, std::nullopt, true}},
        {"even row takes the even-line background",
         {2, 0, "", "6", true, off}, {kEven, 0xFF0000, true}},
        {"header row is green and bold and never takes tag colours",
         {0, 1, "al", "2", true, off}, {0xC0DCC0, std::nullopt, true}},
        {"alert on band 2: Alerts look on the highlight background",
         {1, 2, "al", "2", true, off}, {0x000000, 0xFFFFFF, true}},
        {"far distance on 432: black bold on lime",
         {3, 0, "ld: 2500 2000", "432", true, off}, {0x00FF00, 0x000000, true}},
        {"MyCall on 6: red bold on white",
         {2, 0, "mc :G4ABC G4XYZ", "6", true, off}, {0xFFFFFF, 0xFF0000, true}},
        {"Beyond Distance can take the weight away again",
         {1, 0, "md", "4", true, off}, {kOdd, 0x808000, false}},
        {"Between Distances", {1, 0, "bd", "6", true, off}, {kOdd, 0x0000FF, true}},
        {"typed band 43 passes the band test",
         {1, 0, "sh", "43", true, off}, {kOdd, 0xFF0000, false}},
        {"empty band text does not", {1, 0, "sh", "", true, off}, {kOdd, std::nullopt, true}},
        {"band 220 shows no tag colours", {1, 0, "al", "220", true, off},
         {kOdd, std::nullopt, true}},
        {"band u neither", {1, 0, "al", "u", true, off}, {kOdd, std::nullopt, true}},
        {"all-bands layout on a band that would pass",
         {1, 0, "al", "6", false, off}, {kOdd, std::nullopt, true}},
        {"tag codes are case-sensitive: a call is no tag",
         {1, 0, "AL1ABC", "6", true, off}, {kOdd, 0xFF0000, true}},
        {"find highlight wins over the alert background",
         {1, 3, "al", "2", true, onAlertCell}, {0xFF00FF, 0xFFFFFF, true}},
        {"find highlight marks only its own cell",
         {1, 4, "al", "2", true, onAlertCell}, {0x000000, 0xFFFFFF, true}},
        {"inactive highlight marks nothing",
         {1, 3, "", "20", true, {false, 3, 1}}, {kOdd, std::nullopt, true}},
        {"highlight on the header row", {0, 0, "", "All", false, {true, 0, 0}},
         {0xFF00FF, std::nullopt, true}},
    };
    const GridColours colours = testColours();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CellLook look = cellLook(c.cell, colours);
        EXPECT_EQ(look.background, c.expected.background);
        EXPECT_EQ(look.text, c.expected.text);
        EXPECT_EQ(look.bold, c.expected.bold);
    }
}

TEST(GridTest, LayoutsHoldHeadersInRowZeroAndRowsBelow)
{
    SpotGridModel model;
    // Every change below must keep the model's signals and counts consistent for the view.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setPerBandLayout();
    EXPECT_EQ(model.rows(), 1);
    EXPECT_EQ(model.columns(), 13);
    EXPECT_EQ(model.rowCells(0).first(), "UTC Date");
    EXPECT_EQ(model.cell(0, 12), "");
    EXPECT_TRUE(model.perBandHeaderInPlace());

    model.setPerBandRows({spotRow("G4ABC", "DL1XYZ", "al"), {"short", "row"}});
    EXPECT_EQ(model.rows(), 3);
    EXPECT_EQ(model.cell(1, 12), "al");
    EXPECT_EQ(model.rowCells(2).size(), 13) << "short rows are padded to the layout";
    EXPECT_EQ(model.searchedColumns(), 12);

    model.setRowCount(1); // a refresh shrinks to the header row
    EXPECT_EQ(model.rows(), 1);
    EXPECT_EQ(model.cell(0, 1), "Reported");

    model.setAllBandsLayout();
    EXPECT_FALSE(model.perBandHeaderInPlace());
    EXPECT_EQ(model.columns(), 17);
    EXPECT_EQ(model.cell(0, 0), "2190/600");
    EXPECT_EQ(model.cell(0, 16), "432");
    QVector<QStringList> bands(17);
    bands[6] = {"G4ABC", "DL1XYZ", "VK2AAA"};
    bands[16] = {"OZ1ABC"};
    model.setAllBandsColumns(bands);
    EXPECT_EQ(model.rows(), 4);
    EXPECT_EQ(model.cell(3, 6), "VK2AAA");
    EXPECT_EQ(model.cell(1, 16), "OZ1ABC");
    EXPECT_EQ(model.cell(2, 16), "");
    EXPECT_EQ(model.searchedColumns(), 17);
    EXPECT_FALSE(model.setCell(9, 0, "x")) << "writing outside the grid is refused";
}

TEST(GridTest, PerBandRowsShareTheSpotLinesAndMakeCellsOnDemand)
{
    SpotGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QString line = QStringLiteral(" 2024-03-06 09:04 , G4ABC , 50.294500 , -12 , 0 , JO01 , 37 , "
                                        "5 , DL1XYZ , IO91 , 1200 , 745 ,");
    const SpotFields fields = splitSpotLine(line, true);
    model.setPerBandRows(QList<SpotRow>{SpotRow(line, fields, QStringLiteral("5.012"), QStringLiteral("al"))});
    ASSERT_EQ(model.rows(), 2);
    EXPECT_EQ(model.rowCells(1), spotRow("G4ABC", "DL1XYZ", "al"));
    // The cell is the spot line's own characters, not a copy of them.
    const QStringView call = model.cellView(1, field::Call);
    EXPECT_GE(call.data(), line.constData());
    EXPECT_LT(call.data(), line.constData() + line.size());
    EXPECT_EQ(model.index(1, field::Reporter).data().toString(), "DL1XYZ");

    // A grid grown by the row count shows empty rows; a cell written is kept with the rest.
    model.setRowCount(4);
    EXPECT_EQ(model.rowCells(3), QStringList(13));
    EXPECT_TRUE(model.setCell(3, field::Call, "K1JT"));
    EXPECT_EQ(model.cell(3, field::Call), "K1JT");
    EXPECT_TRUE(model.setCell(1, field::Snr, "-20"));
    EXPECT_EQ(model.rowCells(1), (QStringList{"2024-03-06 09:04", "G4ABC", "50.294500", "-20", "0", "JO01",
                                              "37", "5.012", "DL1XYZ", "IO91", "1200", "745", "al"}));

    // Spot rows handed to the all-bands layout still show (padded with empty band columns).
    model.setAllBandsLayout();
    model.setPerBandRows({spotRow("G4ABC", "DL1XYZ")});
    EXPECT_EQ(model.rows(), 2);
    EXPECT_EQ(model.cell(1, field::Call), "G4ABC");
    EXPECT_EQ(model.cell(1, 16), "");
    model.setRowCount(3);
    EXPECT_EQ(model.rows(), 3);
}

TEST(GridTest, ColumnWidthsFollowLayoutHideTxMiAndDiagColumns)
{
    QTableView view;
    SpotGrid grid(view);
    const auto widths = [&view] {
        QVector<int> w;
        for (int c = 0; c < view.model()->columnCount(); ++c)
            w.append(view.columnWidth(c));
        return w;
    };
    const QVector<int> shown{110, 80, 80, 40, 30, 60, 40, 50, 80, 60, 40, 40, 0};
    const QVector<int> hidden{110, 80, 80, 40, 30, 60, 1, 1, 80, 60, 40, 1, 0};

    grid.setPerBandLayout();
    EXPECT_EQ(widths(), shown);
    grid.setHideTxMi(true);
    EXPECT_EQ(widths(), hidden);
    grid.setPerBandLayout();
    EXPECT_EQ(widths(), hidden) << "a new layout keeps the hide state";
    grid.setHideTxMi(false);
    EXPECT_EQ(widths(), shown);

    grid.setDiagColumns(true);
    EXPECT_EQ(view.columnWidth(12), 100);

    grid.setHideTxMi(true);
    grid.setAllBandsLayout();
    EXPECT_EQ(widths(), QVector<int>(17, 52)) << "band columns are never narrowed";
}

// The delegate really paints what cellLook decides, including the tag column's influence
// on cells that do not show it.
TEST(GridTest, PaintedCellsShowTheirLook)
{
    QTableView view;
    SpotGrid grid(view);
    QAbstractItemModelTester tester(&grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.setBandSource([] { return QStringLiteral("2"); });
    grid.setColourSource([] { return GridColours::defaults(); });
    grid.setPerBandLayout();
    grid.model().setPerBandRows({spotRow("G4ABC", "DL1XYZ"), spotRow("G4DEF", "DL1XYZ", "al")});
    grid.setFindHighlight({true, 5, 1});
    view.resize(900, 200);
    view.show();

    const QImage image = view.viewport()->grab().toImage();
    const auto pixel = [&](int row, int column) {
        const QRect cell = view.visualRect(grid.model().index(row, column));
        return image.pixel(cell.right() - 3, cell.center().y()) & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(0, 1), 0xC0DCC0u);
    EXPECT_EQ(pixel(1, 1), kOdd);
    EXPECT_EQ(pixel(1, 5), 0xFF00FFu);
    EXPECT_EQ(pixel(2, 1), 0x000000u) << "alert row on the highlight background";
}

// A damaged page can bring a cell of megabytes: the cell shows its beginning, as a short
// cell with the same start would, without laying out the rest.
TEST(GridTest, AHugeCellShowsItsBeginningLikeAShortOne)
{
    QTableView view;
    SpotGrid grid(view);
    grid.setBandSource([] { return QStringLiteral("20"); });
    grid.setColourSource([] { return GridColours::defaults(); });
    grid.setPerBandLayout();
    view.resize(900, 200);
    view.show();
    const auto cellImage = [&](const QString& call) {
        grid.model().setPerBandRows({spotRow(call, "DL1XYZ")});
        const QRect cell = view.visualRect(grid.model().index(1, 1));
        return view.viewport()->grab(cell).toImage();
    };
    const QString huge = QStringLiteral("VK2XYZ") + QString(3 * 1024 * 1024, u'W');
    EXPECT_EQ(cellImage(huge), cellImage(huge.left(200)));
    EXPECT_NE(cellImage(huge), cellImage(QStringLiteral("VK2XYZ")));
}

// The grid keeps its cells' laid-out texts between repaints: a new font must not paint with
// the old layouts, and a text longer than its cell stays inside it.
TEST(GridTest, KeptTextsFollowTheFontAndStayInTheirCells)
{
    struct Screen
    {
        QTableView view;
        SpotGrid grid{view};
        explicit Screen(const QString& miles)
        {
            grid.setBandSource([] { return QStringLiteral("20"); });
            grid.setColourSource([] { return GridColours::defaults(); });
            grid.setPerBandLayout();
            QStringList row = spotRow("G4ABC", "DL1XYZ");
            row[11] = miles;
            QStringList second = spotRow("jW1AWX", "W1AW");
            second[11] = QStringLiteral("7450");
            grid.model().setPerBandRows({row, second});
            view.resize(900, 200);
            view.show();
        }
        QImage all() { return view.viewport()->grab().toImage(); }
        // The viewport right of the last column: nothing is painted there.
        QImage beyond()
        {
            const QRect last = view.visualRect(grid.model().index(1, 11));
            return all().copy(last.right() + 1, 0, 40, 120);
        }
    };
    const QString wide = QStringLiteral("745745745745745745745745");
    Screen shown(wide);
    Screen plain(QStringLiteral("745"));
    EXPECT_EQ(shown.beyond(), plain.beyond());
    EXPECT_NE(shown.all(), plain.all());

    // Larger, the second row's miles no longer fit their cell.
    QFont larger = shown.view.font();
    larger.setPixelSize(QFontInfo(larger).pixelSize() * 2);
    (void)shown.all(); // the texts are kept with the first font
    shown.view.setFont(larger);
    Screen fresh(wide);
    fresh.view.setFont(larger);
    EXPECT_EQ(shown.all(), fresh.all());
}
