#include "settings/BandPresets.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::TempFolder;

namespace {

BandPreset someControls()
{
    BandPreset p;
    p.spotted = "VK,ZL,FK";
    p.spotter = "G4";
    p.logic = "OR";
    p.updateInterval = 12;
    p.minDistanceBar = 3;
    p.maxDistanceBar = 40;
    p.elapsedTime = 60;
    p.maxLines = 250;
    p.snrBar = 45;
    p.toneBar = 9;
    p.vhfDistMode = true;
    p.alerts = true;
    p.entriesSet = true;
    return p;
}

} // namespace

TEST(BandPresets, FileRoundTripsAndKeepsItsLayout)
{
    TempFolder dir;
    const BandPresets presets(dir.path(), "HOST#");
    const BandPreset saved = someControls();
    ASSERT_TRUE(presets.save(" 40 ", saved).ok);
    EXPECT_EQ(dir.read("HOST#Band-40.txt"),
              "Spotted,VK,ZL,FK\r\nSpotter,G4\r\nLogic,OR\r\nUI,12\r\nMinDVal,3\r\nMaxDVal,40\r\n"
              "ETVal,60\r\nECVal,250\r\nSNRVal,45\r\nATNVal,9\r\nVDMOn,True\r\nSKMOn,False\r\n"
              "HTXOn,False\r\nALOn,True\r\nALTOn,False\r\nTIMESELOn,False\r\nECOn,True\r\n"
              "SNROn,False\r\n");
    const std::optional<PresetRead> read = presets.load("40", BandPreset());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->preset, saved);
    EXPECT_TRUE(read->problems.isEmpty());

    EXPECT_FALSE(presets.load("20", saved)) << "no file for the band";
    EXPECT_FALSE(BandPresets(dir.path(), "").load("40", saved)) << "another computer's prefix";
}

TEST(BandPresets, LineRules)
{
    const BandPreset current = someControls();
    struct Case
    {
        const char* name;
        QStringList lines;
        std::function<void(BandPreset&)> expect;
        int problems = 0;
    };
    const Case cases[] = {
        {"missing keys keep their control", {"UI,7"}, [](BandPreset& p) { p.updateInterval = 7; }},
        {"last line wins", {"UI,7", "UI,9"}, [](BandPreset& p) { p.updateInterval = 9; }},
        {"only exact True ticks", {"VDMOn,true", "ALOn,TRUE", "SKMOn,True"},
         [](BandPreset& p) { p.vhfDistMode = false; p.alerts = false; p.sortByKm = true; }},
        {"key anywhere before the comma", {"  xSpotter,W1"}, [](BandPreset& p) { p.spotter = "W1"; }},
        {"a filter holding a key name sets only the filter", {"Spotted,VK2UI,ALOn,ECOn"},
         [](BandPreset& p) { p.spotted = "VK2UI,ALOn,ECOn"; }},
        {"bar values are clamped", {"ECVal,0", "SNRVal,900"},
         [](BandPreset& p) { p.maxLines = 5; p.snrBar = 60; }},
        {"a bar value that is no number leaves the bar", {"UI,fast", "ETVal,7"},
         [](BandPreset& p) { p.elapsedTime = 7; }, 1},
        {"empty value clears a filter", {"Spotted,"}, [](BandPreset& p) { p.spotted.clear(); }},
        {"lines without a key are ignored", {"", "hello", ",UI"}, [](BandPreset&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BandPreset expected = current;
        c.expect(expected);
        const PresetRead read = readBandPreset(c.lines, current);
        EXPECT_EQ(read.preset, expected);
        EXPECT_EQ(read.problems.size(), c.problems);
    }
}

TEST(BandPresets, BandTextsThatNameNoFile)
{
    const BandPresets presets("/tmp/x", "");
    for (const char* band : {"", "  ", "../evil", "a/b", "..", "c:\\x", "a\\b"}) {
        SCOPED_TRACE(band);
        EXPECT_EQ(presets.pathFor(band), QString());
        EXPECT_FALSE(presets.save(band, BandPreset()).ok);
    }
    EXPECT_EQ(presets.pathFor(" MyCall "), "/tmp/x/Band-MyCall.txt");
}

TEST(BandPresets, SwitchPlan)
{
    struct Case
    {
        const char* name;
        const char* previous;
        const char* next;
        bool useLast;
        std::optional<QString> save;
        bool showDistance;
        std::optional<QString> load;
        bool allBands;
    };
    const Case cases[] = {
        {"first switch of a run saves nothing", "", "20", true, std::nullopt, false, "20", false},
        {"use last off saves but loads nothing", "40", "20", false, "40", false, std::nullopt, false},
        {"use last on saves and loads", " 40 ", " 20", true, "40", false, "20", false},
        {"band 8 shows the distance controls", "20", "8", false, "20", true, std::nullopt, false},
        {"band u", "8", "u", true, "8", true, "u", false},
        {"432", "All", "432", false, "All", true, std::nullopt, false},
        {"all bands", "6", "All", true, "6", false, "All", true},
        {"an emptied box loads nothing", "20", "", true, "20", false, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BandSwitchPlan plan = planBandSwitch(c.previous, c.next, c.useLast);
        EXPECT_EQ(plan.saveBand, c.save);
        EXPECT_EQ(plan.showDistanceControls, c.showDistance);
        EXPECT_EQ(plan.loadBand, c.load);
        EXPECT_EQ(plan.allBandsLayout, c.allBands);
        EXPECT_EQ(plan.previousBand, c.next);
    }
    EXPECT_FALSE(isVhfStartupBand(u"8"));
    EXPECT_TRUE(isVhfStartupBand(u" 6 "));
}

TEST(BandPresets, SwitchesThroughFiles)
{
    // 40 -> 20 -> 40 with "Use Last" ticked: leaving 40 writes it, 20 has no file so the
    // controls stay, leaving 20 writes it, and coming back to 40 brings 40's values.
    TempFolder dir;
    const BandPresets presets(dir.path(), "");
    BandPreset controls = someControls();
    QString previous = "40";

    auto switchTo = [&](const QString& band) {
        const BandSwitchPlan plan = planBandSwitch(previous, band, true);
        if (plan.saveBand) {
            ASSERT_TRUE(presets.save(*plan.saveBand, controls).ok);
        }
        if (plan.loadBand) {
            if (const std::optional<PresetRead> read = presets.load(*plan.loadBand, controls))
                controls = read->preset;
        }
        previous = plan.previousBand;
    };

    switchTo("20");
    EXPECT_TRUE(dir.exists("Band-40.txt"));
    EXPECT_EQ(controls, someControls());
    controls.spotted = "JA";
    controls.updateInterval = 30;
    switchTo("40");
    EXPECT_TRUE(dir.exists("Band-20.txt"));
    EXPECT_EQ(controls, someControls());
    switchTo("20");
    EXPECT_EQ(controls.spotted, "JA");
    EXPECT_EQ(controls.updateInterval, 30);
}
