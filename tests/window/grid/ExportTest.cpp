#include "base/Clock.h"
#include "base/Config.h"
#include "base/Identity.h"
#include "platform/gui/Openers.h"
#include "spots/AlertsHistory.h"
#include "window/grid/ExportAndViewers.h"
#include "window/grid/SpotGridModel.h"
#include "window/main/Prompt.h"

#include "TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

// Records what would have been started; nothing runs.
struct RecordingOpeners final : Openers
{
    struct Start
    {
        QString program;
        QStringList arguments;
        QString folder;
    };
    void startProgram(const QString& program, const QStringList& arguments,
                      const QString& folder) override
    {
        starts.append({program, arguments, folder});
    }
    void openUrl(const QUrl& url) override { urls.append(url); }

    QList<Start> starts;
    QList<QUrl> urls;
};

const QDateTime kExportTime(QDate(2024, 3, 6), QTime(9, 5, 3), Qt::UTC);

struct ExportFixture
{
    test::TempFolder temp;
    Identity identity;
    ManualClock clock{kExportTime};
    Prompt prompt;
    PromptRecorder recorder;
    RecordingOpeners openers;
    ExportAndViewers exporter{identity, clock, prompt, openers, QStringLiteral("http://spots.example:8080")};

    ExportFixture()
    {
        identity.instance = 1;
        identity.folder = temp.path();
        prompt.setSink(&recorder);
    }
};

} // namespace

TEST(ExportTest, FileNameCarriesPrefixDateAndTime)
{
    EXPECT_EQ(exportFileName("", kExportTime), "BeamtideExp 20240306 090503.csv");
    EXPECT_EQ(exportFileName("SHACK#", QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59), Qt::UTC)),
              "SHACK#BeamtideExp 20251231 235959.csv");
}

TEST(ExportTest, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    struct Case
    {
        const char* name;
        QString field;
        QString written;
    };
    const Case cases[] = {
        {"plain", "G4ABC", "G4ABC"},
        {"empty stays empty", "", ""},
        {"blank", "UTC Date", "\"UTC Date\""},
        {"comma", "a,b", "\"a,b\""},
        {"quote doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"lone quote", "\"", "\"\"\"\""},
        {"tab is a control character", "a\tb", "\"a\tb\""},
        {"tag with colon and blank", "mc :G4ABC DL1AA", "\"mc :G4ABC DL1AA\""},
        {"minus and dot need nothing", "-12.5", "-12.5"},
        {"a signed number stays a number", "+37", "+37"},
        {"a negative report stays a number", "-21", "-21"},
        // Text that a spreadsheet would run as a formula gets a leading apostrophe.
        {"formula", "=2+5", "'=2+5"},
        {"link formula, quoted for its commas", "=HYPERLINK(\"http://x\",\"y\")",
         "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"plus text", "+A1", "'+A1"},
        {"minus text", "-1+2", "'-1+2"},
        {"at", "@SUM(A1)", "'@SUM(A1)"},
        {"leading tab", "\t=1", "\"'\t=1\""},
        {"leading carriage return", "\r=1", "\"'\r=1\""},
        {"a formula sign later is harmless", "G4=1", "G4=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(csvField(c.field), c.written);
    }
}

TEST(ExportTest, WritesEveryRowAndCellAndSaysWhere)
{
    ExportFixture f;
    f.identity.filePrefix = "SHACK#";
    SpotGridModel model;
    model.setPerBandRows({{"2024-03-06 09:04", "G4ABC", "14.097100", "-12", "0", "JO01", "37",
                           "5.012", "DL1AA", "JO62", "1200", "745", "al"},
                          {"2024-03-06 09:02", "K1\"X\"", "", "", "", "", "", "", "", "", "",
                           "", ""}});

    const auto written = f.exporter.exportCsv(model);
    const QString name = "SHACK#BeamtideExp 20240306 090503.csv";
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, f.temp.file(name));
    EXPECT_EQ(f.temp.read(name),
              "\"UTC Date\",Reported,Freq,SNR,Drift,Grid,dBm,Watts,Reporter,RGrid,KM,Miles,\r\n"
              "\"2024-03-06 09:04\",G4ABC,14.097100,-12,0,JO01,37,5.012,DL1AA,JO62,1200,745,al\r\n"
              "\"2024-03-06 09:02\",\"K1\"\"X\"\"\",,,,,,,,,,,\r\n");
    ASSERT_EQ(f.recorder.requests.size(), 1);
    EXPECT_EQ(f.recorder.requests[0].title, "File Export");
    // The folder as the operator's system writes it: backslashes on Windows.
    EXPECT_EQ(f.recorder.requests[0].text, "Saved as " + name + " in " + QDir::toNativeSeparators(f.temp.path()));

    // A second export in the same second replaces the first.
    model.setRowCount(1);
    ASSERT_TRUE(f.exporter.exportCsv(model));
    EXPECT_EQ(f.temp.read(name),
              "\"UTC Date\",Reported,Freq,SNR,Drift,Grid,dBm,Watts,Reporter,RGrid,KM,Miles,\r\n");
}

TEST(ExportTest, AllBandsOverviewExportsSeventeenFields)
{
    ExportFixture f;
    SpotGridModel model;
    model.setAllBandsLayout();
    QVector<QStringList> columns(17);
    columns[16] = {"OH1UHF"};
    model.setAllBandsColumns(columns);
    ASSERT_TRUE(f.exporter.exportCsv(model));
    EXPECT_EQ(f.temp.read("BeamtideExp 20240306 090503.csv"),
              "2190/600,160,80,60,40,30,20,17,15,12,10,8,6,4,2,220,432\r\n"
              ",,,,,,,,,,,,,,,,OH1UHF\r\n");
}

TEST(ExportTest, AFileThatCannotBeWrittenIsReportedNotClaimed)
{
    ExportFixture f;
    f.identity.folder = f.temp.file("no such folder");
    SpotGridModel model;
    EXPECT_FALSE(f.exporter.exportCsv(model));
    ASSERT_EQ(f.recorder.requests.size(), 1);
    EXPECT_FALSE(f.recorder.requests[0].text.startsWith("Saved as "));
    EXPECT_FALSE(f.recorder.requests[0].text.isEmpty());
}

TEST(ExportTest, ViewersSaveFirstThenOpenInTheEditor)
{
    ExportFixture f;
    f.identity.myCall = "G4ABC";
    f.exporter.setTextEditor("kate");

    AlertsHistory alerts(f.temp.file("WSPR_Alerts1.txt"));
    f.exporter.openAlertsHistory(alerts);
    EXPECT_TRUE(f.temp.exists("WSPR_Alerts1.txt")) << "an empty list is written too";
    alerts.record("2024-03-06 09:04,G4ABC,50.294500,-12dBm,DL1AA,1200Km. ");
    f.exporter.openAlertsHistory(alerts);
    EXPECT_EQ(f.temp.read("WSPR_Alerts1.txt"),
              "2024-03-06 09:04,G4ABC,50.294500,-12dBm,DL1AA,1200Km. \r\n");
    f.exporter.openAllSpots();
    f.exporter.openMySpots({"a spot"});
    EXPECT_EQ(f.temp.read("G4ABC-spots.txt"), "a spot\r\n");

    ASSERT_EQ(f.openers.starts.size(), 4);
    const QString expected[] = {"WSPR_Alerts1.txt", "WSPR_Alerts1.txt", "WSPRRep1.csv",
                                "G4ABC-spots.txt"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(f.openers.starts[i].program, "kate");
        EXPECT_EQ(f.openers.starts[i].arguments, QStringList{f.temp.file(expected[i])});
        EXPECT_EQ(f.openers.starts[i].folder, f.temp.path());
    }

    f.exporter.setTextEditor("");
    EXPECT_EQ(f.exporter.textEditor(), defaultTextEditor());
}

// Opening the old file would show a list the program no longer holds, as if saved.
TEST(ExportTest, AListThatCannotBeSavedIsReportedAndNotOpened)
{
    ExportFixture f;
    f.identity.myCall = "G4ABC";
    f.identity.folder = f.temp.file("no such folder");
    AlertsHistory alerts(f.temp.file("no such folder/WSPR_Alerts1.txt"));
    alerts.record("an alert");
    f.exporter.openAlertsHistory(alerts);
    f.exporter.openMySpots({"a spot"});
    f.exporter.startSummary({"a spot"});
    EXPECT_TRUE(f.openers.starts.isEmpty());
    ASSERT_EQ(f.recorder.requests.size(), 3);
    EXPECT_EQ(f.recorder.requests[0].title, "WSPR_Alerts1.txt");
    EXPECT_EQ(f.recorder.requests[1].title, "G4ABC-spots.txt");
    EXPECT_FALSE(f.recorder.requests[0].text.isEmpty());
}

TEST(ExportTest, MySpotsAndSummaryNeedAMyCall)
{
    ExportFixture f;
    f.temp.write(summaryProgramName(), "#!/bin/sh\n");
    f.exporter.openMySpots({"x"});
    f.exporter.startSummary({"x"});
    EXPECT_TRUE(f.openers.starts.isEmpty());
    EXPECT_FALSE(f.temp.exists("-spots.txt"));
}

TEST(ExportTest, SummaryGetsTheLiteralSuffixAndOnlyWhenItIsThere)
{
    ExportFixture f;
    f.identity.myCall = "G4ABC";
    f.identity.filePrefix = "SHACK#";

    f.exporter.startSummary({"one"});
    EXPECT_EQ(f.temp.read("SHACK#G4ABC-spots.txt"), "one\r\n") << "saved even without it";
    EXPECT_TRUE(f.openers.starts.isEmpty());

    f.temp.write(summaryProgramName(), "#!/bin/sh\n");
    EXPECT_TRUE(f.exporter.summaryAvailable());
    f.exporter.startSummary({"one", "two"});
    ASSERT_EQ(f.openers.starts.size(), 1);
    EXPECT_EQ(f.openers.starts[0].program, f.temp.file(summaryProgramName()));
    EXPECT_EQ(f.openers.starts[0].arguments, QStringList{"-spots.txt"});
    EXPECT_EQ(f.temp.read("SHACK#G4ABC-spots.txt"), "one\r\ntwo\r\n");
}

TEST(ExportTest, LinksOpenTheDownloadAndTheSpotDatabase)
{
    ExportFixture f;
    const QString base = QStringLiteral("http://spots.example:8080");
    f.exporter.openUpdateLink();
    f.exporter.openSourcePage(SpotSource::WsprNet);
    f.identity.myCall = "G4ABC";
    f.exporter.openSourcePage(SpotSource::WsprNet);
    f.exporter.openSourcePage(SpotSource::WsprLive);

    ASSERT_EQ(f.openers.urls.size(), 4);
    EXPECT_EQ(f.openers.urls[0].path(), "/web/images/UserFiles/File/Beamtide/Beamtide.zip");
    EXPECT_EQ(f.openers.urls[0].host(), config::kDownloadHost);
    EXPECT_EQ(f.openers.urls[1].toString(), base + "/");
    EXPECT_EQ(f.openers.urls[2].toString(),
              base + "/olddb?mode=html&band=all&limit=1000&findcall=G4ABC&findreporter=&sort=date");
    EXPECT_EQ(f.openers.urls[3].toString(), "https://wspr.live/");
}
