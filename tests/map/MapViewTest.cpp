#include "map/MapView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace beamtide;

namespace {

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
}

// A 720 x 360 viewport shows the whole Earth at 2 pixels a degree.
const QSizeF kExact(720, 360);

} // namespace

TEST(MapView, PlacesPointsOnTheWidget)
{
    struct Case
    {
        const char* name;
        QSizeF viewport;
        double zoom;  // about the middle
        QPointF drag; // then
        GeoPoint point;
        QPointF widget;
    };
    const Case cases[] = {
        {"the origin in the middle", kExact, 1, {}, {0, 0}, {360, 180}},
        {"north-west corner of the Earth on the widget's top left", kExact, 1, {}, {90, -180}, {0, 0}},
        {"a wide viewport leaves room left and right", {1000, 360}, 1, {}, {90, -180}, {140, 0}},
        {"a tall viewport leaves room above and below", {360, 720}, 1, {}, {-90, 180}, {360, 450}},
        {"zoomed and dragged", kExact, 2, {-40, 20}, {52.5, 13.4}, {373.6, -10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapView view;
        view.setViewport(c.viewport);
        view.zoomAbout({c.viewport.width() / 2, c.viewport.height() / 2}, c.zoom);
        view.panBy(c.drag);
        expectNear(view.toWidget(c.point), c.widget);
        expectNear(view.toWorld(c.widget), {c.point.lon, -c.point.lat});
    }
}

TEST(MapView, ZoomsAboutThePointerWithinTheEarth)
{
    struct Step
    {
        QPointF at;
        double factor;
    };
    struct Case
    {
        const char* name;
        std::vector<Step> steps;
        double zoom;
        QPointF centre;
        bool pointStays; // the world under the last step's pointer is still under it
    };
    const Case cases[] = {
        {"in about the middle", {{{360, 180}, 2}}, 2, {0, 0}, true},
        {"in about a point off the middle", {{{500, 100}, 2}}, 2, {35, -20}, true},
        {"in about the top-left corner", {{{0, 0}, 2}}, 2, {-90, -45}, true},
        {"in about the bottom-right corner", {{{720, 360}, 4}}, 4, {135, 67.5}, true},
        {"in no further than the most", {{{360, 180}, 100}}, MapView::kMaxZoom, {0, 0}, true},
        {"out no further than the whole Earth", {{{100, 100}, 0.5}}, 1, {0, 0}, false},
        {"out to the whole Earth centres it", {{{0, 0}, 2}, {{720, 360}, 0.5}}, 1, {0, 0}, false},
        {"out part way stops at the edge it would show past",
         {{{0, 0}, 4}, {{720, 360}, 0.5}}, 2, {-90, -45}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapView view;
        view.setViewport(kExact);
        QPointF world;
        for (const Step& step : c.steps) {
            world = view.toWorld(step.at);
            view.zoomAbout(step.at, step.factor);
        }
        EXPECT_NEAR(view.zoom(), c.zoom, 1e-9);
        expectNear(view.centre(), c.centre);
        if (c.pointStays)
            expectNear(view.toWidget(world), c.steps.back().at);
    }
}

TEST(MapView, DragsNoFurtherThanTheEdges)
{
    struct Case
    {
        const char* name;
        QSizeF viewport;
        double zoom; // about the middle
        QPointF drag;
        QPointF centre;
    };
    const Case cases[] = {
        {"a drag to the right shows more of the west", kExact, 2, {40, -20}, {-10, 5}},
        {"stops at the west and north edges", kExact, 2, {2000, 2000}, {-90, -45}},
        {"stops at the east and south edges", kExact, 2, {-2000, -2000}, {90, 45}},
        {"the whole Earth does not move", kExact, 1, {50, 50}, {0, 0}},
        {"narrower than the viewport it stays in the middle across", {1000, 360}, 1.25, {100, -100}, {0, 18}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapView view;
        view.setViewport(c.viewport);
        view.zoomAbout({c.viewport.width() / 2, c.viewport.height() / 2}, c.zoom);
        view.panBy(c.drag);
        expectNear(view.centre(), c.centre);
    }
}

TEST(MapView, ResizingKeepsTheEarthInsideAndResetShowsItAll)
{
    MapView view;
    view.setViewport(kExact);
    view.zoomAbout({0, 0}, 2);
    expectNear(view.centre(), {-90, -45});

    // Twice as wide at the same zoom: the Earth now fits across, not down.
    view.setViewport({1440, 360});
    view.clampCentre();
    expectNear(view.centre(), {0, -45});

    view.reset();
    EXPECT_EQ(view.zoom(), 1.0);
    EXPECT_EQ(view.centre(), QPointF());
}

TEST(MapView, AViewWithoutASizeStillMapsBothWays)
{
    MapView view; // before the widget was laid out
    EXPECT_GT(view.scale(), 0.0);
    const QPointF widget = view.toWidget(GeoPoint{52.5, 13.4});
    EXPECT_TRUE(std::isfinite(widget.x()) && std::isfinite(widget.y()));
    const QPointF world = view.toWorld(widget);
    EXPECT_NEAR(world.x(), 13.4, 1e-6);
    EXPECT_NEAR(world.y(), -52.5, 1e-6);
    view.zoomAbout({0, 0}, 2);
    EXPECT_TRUE(std::isfinite(view.centre().x()) && std::isfinite(view.centre().y()));
}
