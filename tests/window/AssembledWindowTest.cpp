// The assembled window on the offscreen platform: who owns the keyboard (the window's own keys
// act only when no control has the focus; a pass the timer started leaves the focus where the
// user put it) and the find panel laid over the grid.
#include "base/Clock.h"
#include "base/Identity.h"
#include "shell/Refresher.h"
#include "window/Controller.h"
#include "window/grid/FindPanel.h"
#include "window/grid/SpotGrid.h"
#include "window/grid/SpotGridModel.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"
#include "TempFolder.h"

#include <QApplication>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace beamtide;

namespace {

// The window and controller; spots come from a local server.
class AssembledWindow : public ::testing::Test
{
protected:
    AssembledWindow()
    {
        server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
        server.setBody(QStringLiteral("/olddb.php"), test::reportPage(test::assortedSpots(6)).toUtf8());
        server.setBody(QStringLiteral("/"), "203.0.113.7");
        identity.instance = 1;
        identity.folder = folder.path();
        controller = std::make_unique<Controller>(
            window, identity, clock,
            test::localServices(server.baseUrl(), folder.file(QStringLiteral("settings.ini")), openers));
        controller->prompt().setSink(&prompts);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    ~AssembledWindow() override
    {
        controller.reset();
    }

    // The start-up sequence up to its first refresh; the timer is stopped so each tick is the
    // test's. The watch sees an address of its own, so the lookup runs on a machine with
    // loopback alone.
    void fetchSpots()
    {
        QSignalSpy finished(controller.get(), &Controller::refreshFinished);
        controller->startUp();
        controller->timer().stop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty() && !controller->refreshRunning(); }, 60000));
        ASSERT_GT(controller->grid().model().rows(), 1);
    }

    void tickAt(const QTime& local)
    {
        clock.setLocal(QDateTime(QDate(2024, 5, 2), local, Qt::UTC));
        controller->cycle().tick();
    }

    test::TempFolder folder;
    test::HttpFixture server;
    // The day before the newest of the assorted spots: none lies more than a day ahead.
    ManualClock clock{QDateTime(QDate(2024, 5, 2), QTime(10, 3, 17), Qt::UTC)};
    test::QuietOpeners openers;
    PromptRecorder prompts;
    Identity identity;
    MainWindow window;
    std::unique_ptr<Controller> controller;
};

} // namespace

// The window outlives the controller at shut-down, and so does the find panel in it; the
// window's last events must not reach the panel's watch on the grid that went (valgrind
// sees the fault, a plain run may not).
TEST_F(AssembledWindow, TheWindowsLastEventsDoNotReachTheGridThatWent)
{
    controller.reset();
    QTest::keyClick(window.grid, Qt::Key_F3);
    window.resize(window.size() + QSize(10, 10));
    window.hide();
    QCoreApplication::processEvents();
}

TEST_F(AssembledWindow, WindowKeysActOnlyWhenNoControlHasTheFocus)
{
    fetchSpots();
    FindPanel& find = controller->findPanel();
    QLineEdit* search = find.searchEdit();
    struct Case
    {
        const char* name;
        QWidget* typedInto;
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case typedIntoControls[] = {
        {"Ctrl+F in the Spotted filter", window.spottedFilter, Qt::Key_F, Qt::ControlModifier},
        {"F3 in the Spotted filter", window.spottedFilter, Qt::Key_F3, Qt::NoModifier},
        {"F3 in the Spotter filter", window.spotterFilter, Qt::Key_F3, Qt::NoModifier},
    };
    for (const Case& c : typedIntoControls) {
        SCOPED_TRACE(c.name);
        find.hide();
        c.typedInto->setFocus();
        QTest::keyClick(c.typedInto, c.key, c.modifiers);
        EXPECT_TRUE(find.isHidden());
    }

    // F3 typed into the find text after a successful Find does not step on to the next match.
    find.showPanel(true);
    QTest::keyClicks(search, QStringLiteral("VK"));
    find.findButton()->click();
    ASSERT_TRUE(prompts.requests.isEmpty()) << "the grid has no call beginning VK";
    const int highlighted = controller->grid().findHighlight().row;
    search->setFocus();
    QTest::keyClick(search, Qt::Key_F3);
    EXPECT_EQ(controller->grid().findHighlight().row, highlighted);
    EXPECT_TRUE(prompts.requests.isEmpty());

    // With no control focused the window's own key shows the panel.
    find.hide();
    window.setFocus();
    ASSERT_EQ(window.focusWidget(), &window);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(find.isHidden());
}

TEST_F(AssembledWindow, TimerPassesLeaveTheFocusWhereTheUserTypes)
{
    fetchSpots();
    QTableView* grid = window.grid;
    struct Case
    {
        const char* name;
        std::function<void()> pass;
    };
    const Case cases[] = {
        {"the minute's pass", [&] { tickAt(QTime(10, 4, 0)); }},
        {"the pending re-filter", [&] {
             controller->cycle().markPendingRefilter();
             for (int second = 1; second <= 4; ++second)
                 tickAt(QTime(10, 4, second));
             ASSERT_FALSE(controller->cycle().refilterPending());
         }},
        {"the refresh the tick starts when it is due", [&] {
             QSignalSpy finished(controller.get(), &Controller::refreshFinished);
             const QDateTime due = controller->nextUpdateTime();
             ASSERT_TRUE(due.isValid());
             tickAt(due.time().addSecs(1));
             ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty() && !controller->refreshRunning(); }, 60000));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The pass selects the top left cell: that shows it ran.
        grid->setCurrentIndex(grid->model()->index(2, 1));
        window.spottedFilter->setFocus();
        QTest::keyClicks(window.spottedFilter, QStringLiteral("G4"));
        c.pass();
        EXPECT_EQ(grid->currentIndex().row(), 0);
        EXPECT_EQ(window.focusWidget(), window.spottedFilter);
        QTest::keyClicks(window.focusWidget(), QStringLiteral("X"));
        EXPECT_TRUE(window.spottedFilter->text().endsWith(QStringLiteral("G4X")));
    }

    // A pass or a refresh the user starts still hands the focus to the grid.
    window.spottedFilter->setFocus();
    window.clearSpotted->click();
    EXPECT_EQ(window.focusWidget(), grid);
    QSignalSpy finished(controller.get(), &Controller::refreshFinished);
    window.spottedFilter->setFocus();
    window.updateNow->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty() && !controller->refreshRunning(); }, 60000));
    EXPECT_EQ(window.focusWidget(), grid);
}

TEST_F(AssembledWindow, FindPanelShowsEveryCaptionAndACallSignWhole)
{
    window.resize(865, 574);
    FindPanel& find = controller->findPanel();
    find.showPanel(true);
    QApplication::processEvents();
    QLineEdit* search = find.searchEdit();
    QTest::keyClicks(search, QStringLiteral("VK2XYZ/P"));

    auto* caption = find.findChild<QLabel*>(QStringLiteral("Label45"));
    ASSERT_NE(caption, nullptr);
    for (QWidget* w : std::initializer_list<QWidget*>{caption, find.findButton(), find.nextButton(), find.closeButton()}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_GE(w->width(), w->sizeHint().width());
        EXPECT_GE(w->height(), w->sizeHint().height());
    }
    const QMargins margins = search->textMargins();
    EXPECT_GT(search->width() - margins.left() - margins.right(),
              search->fontMetrics().horizontalAdvance(QStringLiteral("VK2XYZ/P")) + 10);
    // Over the grid, inside the area it shares with it.
    EXPECT_EQ(find.parentWidget(), window.gridArea);
    EXPECT_TRUE(window.gridArea->rect().contains(find.geometry()));
}
