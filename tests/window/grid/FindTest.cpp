#include "window/grid/FindPanel.h"
#include "window/grid/SpotGrid.h"
#include "window/main/Prompt.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

QStringList spotRow(const QString& call, const QString& reporter, const QString& tag = {})
{
    return {"2024-03-06 09:04", call, "14.097100", "-12", "0", "JO01", "37", "5.012",
            reporter, "IO91", "1200", "745", tag};
}

// The window's part in miniature: a grid and the find panel over it, prompts answered.
struct FindFixture
{
    QWidget window;
    QTableView* view = new QTableView(&window);
    SpotGrid grid{*view};
    Prompt prompt{&window};
    PromptRecorder recorder;
    FindPanel* panel = nullptr;
    QString band = "20";

    FindFixture()
    {
        view->setObjectName("XStringGrid1");
        prompt.setSink(&recorder);
        panel = new FindPanel(grid, prompt, &window);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(panel);
        layout->addWidget(view);
        grid.setBandSource([this] { return band; });
        grid.setPerBandLayout();
        window.show();
        QApplication::setActiveWindow(&window);
    }

    template <typename T> T* child(const char* name)
    {
        auto* found = window.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }

    // Makes exactly `rows` rows fully visible.
    void showRows(int rows)
    {
        window.resize(900, 400);
        QApplication::processEvents();
        const int frame = view->height() - view->viewport()->height();
        view->setFixedHeight(rows * kGridRowHeight + frame + 10);
        QApplication::processEvents();
        ASSERT_EQ(grid.fullyVisibleRows(), rows);
    }

    void search(const QString& text)
    {
        panel->showPanel(true);
        auto* edit = child<QLineEdit>("Edit28");
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    QStringList notFound() const
    {
        QStringList texts;
        for (const PromptRequest& r : recorder.requests)
            texts << r.title + " " + r.text;
        return texts;
    }
};

} // namespace

TEST(FindTest, ScanMatchesPrefixesLeftToRightWithoutWrapping)
{
    SpotGridModel perBand;
    perBand.setPerBandRows({spotRow("DL1ABC", "G4XYZ"), spotRow("G4ABC", "G4DEF", "al"),
                            spotRow("", "OZ1AA"), spotRow("VK2XYZ", "ZL1LAST")});
    SpotGridModel allBands;
    allBands.setAllBandsLayout();
    QVector<QStringList> columns(17);
    columns[6] = {"G4ABC"};
    columns[16] = {"", "OH1UHF"};
    allBands.setAllBandsColumns(columns);

    struct Case
    {
        const char* name;
        const SpotGridModel& model;
        QString text;
        int startRow;
        std::optional<GridCell> expected;
    };
    const Case cases[] = {
        {"lower case is taken in upper case", perBand, "dl1", 1, GridCell{1, 1}},
        {"text inside a cell is no match", perBand, "ABC", 1, std::nullopt},
        {"heard call left of the reporter wins", perBand, "G4", 2, GridCell{2, 1}},
        {"the rest of a row after the start row", perBand, "G4", 1, GridCell{1, 8}},
        {"an empty cell never matches", perBand, "OZ", 1, GridCell{3, 8}},
        {"a call in the last row is found", perBand, "ZL1L", 1, GridCell{4, 8}},
        {"no wrap back to the top", perBand, "DL1", 2, std::nullopt},
        {"the tag column is not searched", perBand, "AL", 1, std::nullopt},
        {"a call heard only on 432", allBands, "OH1", 1, GridCell{2, 16}},
        {"the header row is not searched from row 1", allBands, "432", 1, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(scanGrid(c.model, c.text, c.startRow), c.expected);
    }
}

TEST(FindTest, FindScrollsOnlyWhenTheMatchIsBelowTheVisibleRows)
{
    FindFixture f;
    QVector<QStringList> rows;
    for (int i = 1; i <= 60; ++i)
        rows.append(spotRow(QString("K%1AA").arg(i), "W1AW"));
    f.grid.model().setPerBandRows(rows);
    f.showRows(23);

    struct Case
    {
        const char* name;
        QString text;
        int row;
        int topRow;
    };
    const Case cases[] = {
        {"match at row 30 with 23 rows visible: row 29 on top", "K30A", 30, 29},
        {"match at row 10 leaves row 1 on top", "K10A", 10, 1},
        {"match at row 23 is still counted as visible", "K23A", 23, 1},
        {"match at row 24 scrolls", "K24A", 24, 23},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.grid.setTopRow(40);
        f.search(c.text);
        QTest::mouseClick(f.child<QPushButton>("Button17"), Qt::LeftButton);
        EXPECT_EQ(f.grid.findHighlight(), (FindHighlight{true, 1, c.row}));
        EXPECT_EQ(f.grid.topRow(), c.topRow);
        EXPECT_TRUE(f.view->hasFocus());
        EXPECT_FALSE(f.child<QPushButton>("Button17")->isEnabled());
        EXPECT_TRUE(f.child<QPushButton>("Button18")->isEnabled());
    }
    EXPECT_TRUE(f.recorder.requests.isEmpty());
}

TEST(FindTest, NextStepsOnAndStopsAfterTheLastMatch)
{
    FindFixture f;
    f.grid.model().setPerBandRows({spotRow("G4ABC", "G4DEF"), spotRow("DL1AA", "OZ1AA"),
                                   spotRow("DL2BB", "G4XYZ")});
    f.showRows(10);
    auto* next = f.child<QPushButton>("Button18");
    auto* findButton = f.child<QPushButton>("Button17");

    f.search("g4");
    QTest::keyClick(f.child<QLineEdit>("Edit28"), Qt::Key_Return);
    EXPECT_EQ(f.grid.findHighlight(), (FindHighlight{true, 1, 1}));

    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(f.grid.findHighlight(), (FindHighlight{true, 8, 3}))
        << "the rest of the highlighted row is not searched again";
    QTest::keyClick(f.view, Qt::Key_F3); // F3 in the grid is Next too
    EXPECT_FALSE(f.grid.findHighlight().active);
    EXPECT_EQ(f.notFound(), QStringList{"Find: Not found!"});
    EXPECT_FALSE(findButton->isEnabled()) << "Find stays off until the text changes";

    QTest::mouseClick(next, Qt::LeftButton);
    QTest::keyClick(f.view, Qt::Key_F3);
    EXPECT_EQ(f.recorder.requests.size(), 1) << "a further Next does nothing";

    f.search("ZZ");
    EXPECT_TRUE(findButton->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    QTest::mouseClick(findButton, Qt::LeftButton);
    EXPECT_EQ(f.recorder.requests.size(), 2);
    EXPECT_TRUE(findButton->isEnabled()) << "a failed Find leaves the buttons";
}

TEST(FindTest, HighlightMarksAPositionUntilTheSearchTextChanges)
{
    FindFixture f;
    f.grid.model().setPerBandRows({spotRow("G4ABC", "W1AW"), spotRow("DL1AA", "W1AW")});
    f.showRows(10);
    f.search("DL1");
    QTest::mouseClick(f.child<QPushButton>("Button17"), Qt::LeftButton);
    const FindHighlight found{true, 1, 2};
    ASSERT_EQ(f.grid.findHighlight(), found);

    f.grid.model().setPerBandRows({spotRow("K1AA", "W1AW"), spotRow("K2BB", "W1AW")});
    EXPECT_EQ(f.grid.findHighlight(), found) << "a refill leaves the highlight in place";

    QTest::mouseClick(f.child<QLineEdit>("Edit28"), Qt::LeftButton);
    EXPECT_EQ(f.child<QLineEdit>("Edit28")->text(), "") << "a click empties the search text";
    EXPECT_EQ(f.grid.findHighlight(), (FindHighlight{false, 0, 1}));

    f.search("K2");
    QTest::mouseClick(f.child<QPushButton>("Button17"), Qt::LeftButton);
    ASSERT_TRUE(f.grid.findHighlight().active);
    QTest::mouseClick(f.child<QPushButton>("Button19"), Qt::LeftButton);
    EXPECT_FALSE(f.panel->isVisible());
    EXPECT_EQ(f.child<QLineEdit>("Edit28")->text(), "");
    EXPECT_FALSE(f.grid.findHighlight().active);
}

TEST(FindTest, KeysShowThePanelAndF3NeedsASuccessfulFind)
{
    FindFixture f;
    f.grid.model().setPerBandRows({spotRow("G4ABC", "W1AW"), spotRow("G4DEF", "W1AW")});
    f.showRows(10);
    ASSERT_FALSE(f.panel->isVisible());

    f.view->setFocus();
    QTest::keyClick(f.view, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(f.panel->isVisible()) << "Ctrl+Shift+F is not the find key";
    QTest::keyClick(f.view, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(f.panel->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), f.child<QLineEdit>("Edit28"));

    QTest::keyClicks(f.child<QLineEdit>("Edit28"), "G4");
    f.view->setFocus();
    QTest::keyClick(f.view, Qt::Key_F3);
    EXPECT_FALSE(f.grid.findHighlight().active) << "F3 before a successful Find does nothing";
    EXPECT_TRUE(f.recorder.requests.isEmpty());

    // At window level F3 shows the panel and steps only once a Find succeeded.
    QTest::mouseClick(f.child<QPushButton>("Button19"), Qt::LeftButton);
    QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    EXPECT_TRUE(f.panel->handleWindowKey(f3));
    EXPECT_TRUE(f.panel->isVisible());
    EXPECT_FALSE(f.grid.findHighlight().active);
    QKeyEvent other(QEvent::KeyPress, Qt::Key_G, Qt::ControlModifier);
    EXPECT_FALSE(f.panel->handleWindowKey(other));

    f.search("G4");
    QTest::mouseClick(f.child<QPushButton>("Button17"), Qt::LeftButton);
    EXPECT_TRUE(f.panel->handleWindowKey(f3));
    EXPECT_EQ(f.grid.findHighlight(), (FindHighlight{true, 1, 2}));
}

TEST(FindTest, CellPickedInTheOverviewNamesItsBand)
{
    FindFixture f;
    f.band = "All";
    f.grid.setAllBandsLayout();
    QVector<QStringList> columns(17);
    for (auto& column : columns)
        column = {"G4ABC", "DL1AA"};
    f.grid.model().setAllBandsColumns(columns);
    f.showRows(5);
    QSignalSpy picked(f.panel, &FindPanel::bandPicked);

    const auto click = [&](int row, int column) {
        const QRect cell = f.view->visualRect(f.grid.model().index(row, column));
        QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, cell.center());
        QApplication::processEvents();
    };
    struct Case
    {
        const char* name;
        int row;
        int column;
        QString band;
    };
    const Case cases[] = {
        {"2190/600 gives 2190", 2, 0, "2190"},
        {"any cell of the 20 column", 1, 6, "20"},
        {"the header cell itself", 0, 6, "20"},
        {"220", 2, 15, "220"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        picked.clear();
        click(c.row, c.column);
        ASSERT_EQ(picked.size(), 1);
        EXPECT_EQ(picked[0][0].toString(), c.band);
    }

    picked.clear();
    f.view->setFocus();
    QTest::keyClick(f.view, Qt::Key_Right);
    QApplication::processEvents();
    ASSERT_EQ(picked.size(), 1) << "a cell reached by key is picked too";
    EXPECT_EQ(picked[0][0].toString(), "432");

    f.band = "20";
    f.grid.setPerBandLayout();
    f.grid.model().setPerBandRows({spotRow("G4ABC", "W1AW")});
    picked.clear();
    click(1, 3);
    EXPECT_TRUE(picked.isEmpty()) << "a per-band grid picks nothing";
}
