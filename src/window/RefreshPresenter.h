#pragma once

#include "shell/Refresher.h"

#include <QObject>

#include <functional>

namespace beamtide {

class MainWindow;
class Prompt;
class SpotGrid;

// Shows the life of a refresh in the window: the status row (address, indicator, last and
// next update, source, entries), the busy pointer, the emptied grid and the boxes of files
// that could not be saved. The controls a fetch reads and the filter pass that ends it are
// the Controller's, handed in.
class RefreshPresenter final : public QObject, public RefreshView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RefreshPresenter)

public:
    struct Hooks
    {
        std::function<FetchRequest()> controls;
        std::function<qsizetype()> spotCount; // the spot list after the fetch
        std::function<void()> filterPass;
    };
    RefreshPresenter(MainWindow& window, SpotGrid& grid, Prompt& prompt, Hooks hooks,
                     QObject* parent = nullptr);

    FetchRequest fetchControls() const override { return m_hooks.controls(); }
    int updateInterval() const override;
    void showAddressLabel(const QString& text) override;
    void showAddressProblem(const QString& reason) override;
    void showIndicator(Indicator indicator, bool visible) override;
    void showBusy(bool busy) override;
    void showFetchOutcome(const FetchOutcome& outcome) override;
    void showNextUpdate(const QString& text) override;
    void showFetchProblem(const QString& hint) override;
    void myCallControls() override;
    void refreshFilterPass() override { m_hooks.filterPass(); }
    void repaintWindow() override;

Q_SIGNALS:
    void fetchingChanged(bool fetching); // a fetch is out: the busy pointer and the lime indicator

private:
    MainWindow& m_window;
    SpotGrid& m_grid;
    Prompt& m_prompt;
    Hooks m_hooks;
};

// A hint that quotes outside text: escaped, so it never renders as markup.
QString plainHint(const QString& text);

} // namespace beamtide
