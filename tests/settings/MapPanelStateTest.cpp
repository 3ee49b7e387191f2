#include "settings/MapPanelState.h"
#include "settings/SettingsStore.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::TempFolder;

TEST(MapPanelState, ReadsItsTextAndDamageGivesAClosedPanel)
{
    const MapPanelState closed;
    struct Case
    {
        const char* name;
        const char* text;
        MapPanelState expected;
    };
    const Case cases[] = {
        {"open", "1,120,80,900,480", {true, QRect(120, 80, 900, 480)}},
        {"closed, elsewhere", "0,-300,40,640,320", {false, QRect(-300, 40, 640, 320)}},
        {"blanks around numbers", " 1, 10 ,20,300 ,200", {true, QRect(10, 20, 300, 200)}},
        {"missing", "", closed},
        {"four numbers", "1,10,20,300", closed},
        {"six numbers", "1,10,20,300,200,5", closed},
        {"not a number", "1,10,x,300,200", closed},
        {"open flag neither 0 nor 1", "2,10,20,300,200", closed},
        {"too narrow to show a map", "1,10,20,20,200", closed},
        {"negative height", "1,10,20,300,-200", closed},
        {"far off any screen", "1,900000,20,300,200", closed},
        {"an older word", "true", closed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MapPanelState::fromText(QString::fromLatin1(c.text)), c.expected);
    }
}

TEST(MapPanelState, SurvivesTheStoreOfItsOwnCopy)
{
    TempFolder folder;
    const QString path = folder.path() + "/settings.ini";
    const MapPanelState state{true, QRect(-40, 60, 1000, 520)};
    {
        SettingsStore store(path, 2);
        store.writeText(kMapPanelKey, state.toText());
        ASSERT_TRUE(store.sync().ok);
    }
    const SettingsStore second(path, 2);
    EXPECT_EQ(MapPanelState::fromText(second.readText(kMapPanelKey, {})), state);
    // Another copy keeps its own.
    const SettingsStore first(path, 1);
    EXPECT_EQ(MapPanelState::fromText(first.readText(kMapPanelKey, {})), MapPanelState());
}
