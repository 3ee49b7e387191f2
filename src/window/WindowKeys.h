#pragma once

#include <QObject>

#include <functional>

namespace beamtide {

class FindPanel;
class MainWindow;
class Prompt;

// The keys the window handles itself: the find keys when no control has the focus, and in
// the call filters the one-comma-list rule and Enter, which refreshes (or, on the all-bands
// view, runs the filter pass).
class WindowKeys final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowKeys)

public:
    WindowKeys(MainWindow& window, FindPanel& find, Prompt& prompt,
               std::function<void()> askRefresh, std::function<void()> filterPass,
               QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& m_window;
    FindPanel& m_find;
    Prompt& m_prompt;
    std::function<void()> m_askRefresh;
    std::function<void()> m_filterPass;
};

} // namespace beamtide
