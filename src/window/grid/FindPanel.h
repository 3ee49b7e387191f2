#pragma once

#include <QFrame>

#include <optional>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace beamtide {

class Prompt;
class SpotGrid;
class SpotGridModel;

struct GridCell
{
    int row = 0;
    int column = 0;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

// The first cell, from startRow down and left to right within a row, whose text begins
// with the search text, both taken in upper case. The tag column of the per-band layout
// is not searched, an empty cell never matches, and the scan does not wrap.
std::optional<GridCell> scanGrid(const SpotGridModel& model, const QString& text, int startRow);

// The band a column header of the all-bands overview stands for: "2190/600" gives "2190".
QString bandOfHeader(const QString& header);

// The find panel laid over the grid, and the grid's own keys and cell picks.
class FindPanel final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindPanel)

public:
    // Watches the grid's keys and cell selection from now on. Hidden at first.
    FindPanel(SpotGrid& grid, Prompt& prompt, QWidget* parent = nullptr);

    // Stops watching the grid: before the grid goes while the panel stays, as the window's
    // widget, until the window goes too.
    void stopWatching();

    void showPanel(bool focusSearch);
    void find();
    void next();
    // A key that reached the window itself: Ctrl+F or F3 show the panel (focus stays);
    // F3 also steps to the next match. True when the key was used.
    bool handleWindowKey(const QKeyEvent& event);

    QLineEdit* searchEdit() const { return m_edit; }
    QPushButton* findButton() const { return m_find; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* closeButton() const { return m_close; }

Q_SIGNALS:
    // A cell of the all-bands overview was picked. The window puts the band into the band
    // box, applies the distance controls rule, sets up the per-band layout and refreshes.
    void bandPicked(const QString& band);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeOverGrid();
    void searchTextChanged();
    void stepFrom(int row, bool fromFind);
    void showMatch(const GridCell& match);
    void pickBand(int column);
    bool canStep() const;

    SpotGrid& m_grid;
    Prompt& m_prompt;
    QLabel* m_label;
    QLineEdit* m_edit;
    QPushButton* m_find;
    QPushButton* m_next;
    QPushButton* m_close;
    bool m_keyNavigation = false;
};

} // namespace beamtide
