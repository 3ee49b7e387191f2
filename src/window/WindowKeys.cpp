#include "window/WindowKeys.h"

#include "retrieval/FetchRules.h"
#include "window/grid/FindPanel.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace beamtide {

WindowKeys::WindowKeys(MainWindow& window, FindPanel& find, Prompt& prompt,
                       std::function<void()> askRefresh, std::function<void()> filterPass,
                       QObject* parent)
    : QObject(parent), m_window(window), m_find(find), m_prompt(prompt),
      m_askRefresh(std::move(askRefresh)), m_filterPass(std::move(filterPass))
{
    window.installEventFilter(this);
    window.spottedFilter->installEventFilter(this);
    window.spotterFilter->installEventFilter(this);
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::KeyPress) {
        // The window's own keys: a key typed into a control (a call filter, the find text)
        // reaches the window only because the control passed it on, and is not the window's.
        QWidget* focus = m_window.focusWidget();
        if (focus && focus != &m_window)
            return QObject::eventFilter(watched, event);
        return m_find.handleWindowKey(*static_cast<QKeyEvent*>(event))
            || QObject::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress
        || (watched != m_window.spottedFilter && watched != m_window.spotterFilter))
        return QObject::eventFilter(watched, event);
    // Only one call filter may hold a comma list; judged on the texts before this key.
    if (m_window.spottedFilter->text().contains(u',') && m_window.spotterFilter->text().contains(u',')) {
        m_prompt.ask(QStringLiteral("Oh-Oh"),
                      QStringLiteral("Only ONE spot filter can contain multiple terms separated by commas"));
        m_window.spotterFilter->clear();
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // The rows stay until the refresh or the pass replaces them in one step.
        if (m_window.bandBox->currentText() != kBandAll) {
            // The filter pass follows the fetch of this refresh.
            m_askRefresh();
            return true;
        }
        m_filterPass();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace beamtide
