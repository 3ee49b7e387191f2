// The History panel on a real history file: the charts drawn from the history thread's
// answers, the figures under the pointer, and a screenshot on demo data for the README
// (BEAMTIDE_SCREENSHOT names the file to write).
#include "window/history/HistoryCharts.h"
#include "window/history/HistoryPanel.h"
#include "window/history/HistoryServerDialog.h"

#include "base/Clock.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "history/History.h"
#include "spots/SpotRules.h"

#include "ClickHouseFixture.h"
#include "TempFolder.h"

#include <QComboBox>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <cmath>

using namespace beamtide;

namespace {

constexpr qint64 kNow = 29947680 + 20 * 60 + 30; // 2026-12-10 20:30 UTC

// A month of two bands: 20 m open by day, 40 m by night, and a far spot each day.
QStringList demoSpots(int days)
{
    QStringList lines;
    const auto spot = [&](qint64 minute, const QString& call, const QString& mhz, const QString& reporter, int km) {
        lines << QStringLiteral("%1,%2,%3,-18,0,FN42,+37,5,%4,JO31,%5,%6")
                     .arg(dateTimeTextOf(minute * 60000 + 1000).left(16), call, mhz, reporter, QString::number(km),
                          QString::number(km * 621 / 1000));
    };
    for (qint64 minute = kNow - qint64(days) * 1440; minute <= kNow; minute += 10) {
        const int hour = int(minute / 60 % 24);
        const qint64 day = minute / 1440;
        const double sun = std::sin((hour - 7) * M_PI / 12); // 20 m opens at 07, closes at 19
        const int n20 = std::max(0, int(6 * sun + (day % 3)));
        const int n40 = std::max(0, int(-4 * sun + 1));
        for (int i = 0; i < n20; ++i)
            spot(minute, QStringLiteral("K%1ABC").arg(i), QStringLiteral("14.0970%1").arg(10 + i),
                 QStringLiteral("DL%1XY").arg(minute % 7), 5000 + 300 * i + int(day % 5) * 900);
        for (int i = 0; i < n40; ++i)
            spot(minute, QStringLiteral("G%1AAA").arg(i), QStringLiteral("7.0400%1").arg(10 + i),
                 QStringLiteral("DL%1XY").arg(minute % 5), 800 + 50 * i);
    }
    return lines;
}

struct PanelRig
{
    PanelRig()
    {
        log.setSink([](const QString&) {});
        HistoryPanel::Sources sources;
        sources.band = [this] { return band; };
        sources.filter = [] {
            HeatFilter f;
            f.spotted = QStringLiteral("K1");
            f.logic = QStringLiteral("AND");
            f.minKm = 6000;
            return f;
        };
        sources.alerts = [] { return QList<qint64>{kNow - 125, kNow - 30}; };
        sources.nowMinute = [this] { return nowMinute; };
        sources.wsprLiveUrl = [this] { return wsprLiveUrl; };
        sources.dataFile = [this](const QString& name) { return folder.file(name); };
        sources.server = [this] { return history.server(); };
        panel = std::make_unique<HistoryPanel>(history, std::move(sources));
    }

    bool waitForAnswer()
    {
        QSignalSpy updated(panel.get(), &HistoryPanel::updated);
        return updated.wait(60000);
    }

    test::TempFolder folder;
    SystemClock clock;
    Identity identity;
    RunLog log{identity, clock};
    History history{folder.file(QStringLiteral("BeamtideHistory.sqlite")), log};
    QString band = QStringLiteral("20");
    QString wsprLiveUrl;
    qint64 nowMinute = kNow;
    std::unique_ptr<HistoryPanel> panel;
};

} // namespace

TEST(HistoryPanel, DrawsTheStoredSpotsAndNamesTheFiguresUnderThePointer)
{
    PanelRig rig;
    QSignalSpy stored(&rig.history, &History::stored);
    rig.history.store(demoSpots(30), SpotSource::WsprNet, kNow);
    ASSERT_TRUE(stored.wait(60000));

    rig.panel->resize(900, 800);
    rig.panel->showForBand();
    // The question goes to the history thread; the window thread is free meanwhile.
    EXPECT_TRUE(rig.panel->working());
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_FALSE(rig.panel->working());
    EXPECT_EQ(rig.panel->findChild<QComboBox*>(QStringLiteral("BoxHistoryBand"))->currentText(), QStringLiteral("20"));
    EXPECT_EQ(rig.panel->findChild<QSpinBox*>(QStringLiteral("SpinHistoryKeep"))->value(), 30);

    // The heat map's rows are days, oldest first; the 20 m band is closed at 02 UTC.
    HeatMapChart& heat = rig.panel->heatMap();
    const qint64 all20 = heat.total();
    EXPECT_GT(all20, 0);
    int lastRow = heat.height() - 1; // the lowest line of cells: today
    while (lastRow > 0 && heat.hoverText(QPoint(heat.width() / 2, lastRow)).isEmpty())
        --lastRow;
    const auto cellText = [&](int hour) {
        for (int x = 0; x < heat.width(); ++x) {
            const QString t = heat.hoverText(QPoint(x, lastRow));
            if (t.contains(QStringLiteral(" %1:00-").arg(hour, 2, 10, QLatin1Char('0'))))
                return t;
        }
        return QString();
    };
    EXPECT_EQ(cellText(2), QStringLiteral("2026-12-10 02:00-03:00 UTC: 0 spots"));
    EXPECT_TRUE(cellText(13).startsWith(QStringLiteral("2026-12-10 13:00-14:00 UTC: "))) << cellText(13).toStdString();
    EXPECT_FALSE(cellText(13).endsWith(QStringLiteral(": 0 spots")));

    // The best distance of a day names its spot.
    BestDistanceChart& best = rig.panel->best();
    QString bestText;
    for (int x = 0; x < best.width() && bestText.isEmpty(); ++x)
        bestText = best.hoverText(QPoint(x, best.height() - 30));
    EXPECT_TRUE(bestText.contains(QStringLiteral(" km: K"))) << bestText.toStdString();
    EXPECT_TRUE(bestText.contains(QStringLiteral("heard by DL"))) << bestText.toStdString();

    // The alerts sit on the spots-per-hour time axis.
    HourlyChart& hourly = rig.panel->hourly();
    QString alertText;
    for (int x = 0; x < hourly.width() && alertText.isEmpty(); ++x)
        if (hourly.hoverText(QPoint(x, hourly.height() / 2)).contains(QStringLiteral("alert at 18:25")))
            alertText = hourly.hoverText(QPoint(x, hourly.height() / 2));
    EXPECT_TRUE(alertText.contains(QStringLiteral("20 m: "))) << alertText.toStdString();

    if (const QString shot = qEnvironmentVariable("BEAMTIDE_SCREENSHOT"); !shot.isEmpty()) {
        rig.panel->findChild<QComboBox*>(QStringLiteral("BoxHistoryHours"))->setCurrentIndex(1);
        ASSERT_TRUE(rig.waitForAnswer());
        rig.panel->grab().save(shot);
        rig.panel->findChild<QComboBox*>(QStringLiteral("BoxHistoryHours"))->setCurrentIndex(0);
        ASSERT_TRUE(rig.waitForAnswer());
    }
    // The export writes the days and band on screen: as many spots as the heat map counts.
    QSignalSpy exported(rig.panel.get(), &HistoryPanel::exported);
    auto* exportButton = rig.panel->findChild<QPushButton*>(QStringLiteral("ButtonHistoryExport"));
    ASSERT_TRUE(exportButton && exportButton->isEnabled());
    exportButton->click();
    ASSERT_TRUE(exported.wait(60000));
    EXPECT_TRUE(exported[0][0].toBool());
    const QString csv = QStringLiteral("BeamtideHistory 20261111-20261210 20m.csv");
    const QLabel* status = rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"));
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("%1 spots saved as ").arg(all20))) << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith(csv)) << status->text().toStdString();
    EXPECT_EQ(rig.folder.read(csv).count("\r\n"), all20 + 1);

    // Narrowed by the call filters and the far distance: a scan, fewer spots.
    rig.panel->findChild<QCheckBox*>(QStringLiteral("CheckHistoryCalls"))->setChecked(true);
    rig.panel->findChild<QCheckBox*>(QStringLiteral("CheckHistoryFar"))->setChecked(true);
    EXPECT_TRUE(rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"))->text().startsWith(QStringLiteral("Working")));
    ASSERT_TRUE(rig.waitForAnswer());
    const qint64 narrowed = heat.total();
    EXPECT_GT(narrowed, 0);
    EXPECT_LT(narrowed, all20);

    // Days kept go to the file, for every copy.
    rig.panel->findChild<QSpinBox*>(QStringLiteral("SpinHistoryKeep"))->setValue(14);
    int kept = 0;
    rig.history.query<int>([](HistoryStore& s) { return s.retentionDays(); }, rig.panel.get(), [&](int d) { kept = d; });
    rig.history.finish();
    QCoreApplication::processEvents();
    EXPECT_EQ(kept, 14);

}

TEST(HistoryPanel, TheHeatMapFromWsprLiveIsLabelledAsSuch)
{
    test::ClickHouseFixture server;
    ASSERT_TRUE(server.running()) << server.startError().toStdString();
    // 20 m: three spots at 06 UTC two days ago, five at 14 UTC yesterday (one heard in
    // JO31); 40 m: two more at 06 UTC.
    const qint64 h06 = (kNow / 1440 - 2) * 24 + 6, h14 = (kNow / 1440 - 1) * 24 + 14;
    QList<test::WsprRxRow> rows;
    const auto add = [&](qint64 hour, int band, int n, const char* rxLoc) {
        for (int i = 0; i < n; ++i) {
            test::WsprRxRow r;
            r.time = hour * 3600 + i * 120;
            r.band = band;
            r.frequency = band == 14 ? 14097000 + i : 7040000 + i;
            r.rxLoc = QString::fromLatin1(i == 0 ? rxLoc : "QF22");
            rows << r;
        }
    };
    add(h06, 14, 3, "QF22");
    add(h14, 14, 5, "JO31ab");
    add(h06, 7, 2, "QF22");
    ASSERT_EQ(server.insert(rows), QString());

    PanelRig rig;
    rig.wsprLiveUrl = server.baseUrl();
    rig.panel->resize(900, 800);
    rig.panel->showForBand();
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(rig.panel->heatMap().total(), 0); // the local file is empty
    EXPECT_EQ(rig.panel->windowTitle(), QStringLiteral("Beamtide History (local)"));

    auto* view = rig.panel->findChild<QComboBox*>(QStringLiteral("BoxHistoryView"));
    ASSERT_TRUE(view);
    view->setCurrentText(QStringLiteral("wspr.live"));
    EXPECT_TRUE(rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"))->text().startsWith(u"Working"));
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(rig.panel->windowTitle(), QStringLiteral("Beamtide History (wspr.live)"));
    EXPECT_EQ(rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"))->text(),
              QStringLiteral("8 spots in the heat map, from wspr.live"));
    // The local file's own charts step aside.
    EXPECT_FALSE(rig.panel->hourly().isVisible());
    EXPECT_FALSE(rig.panel->best().isVisible());
    HeatMapChart& heat = rig.panel->heatMap();
    QStringList cells;
    for (int y = 0; y < heat.height(); y += 2)
        for (int x = 0; x < heat.width(); x += 2)
            if (const QString t = heat.hoverText(QPoint(x, y)); !t.endsWith(u": 0 spots") && !t.isEmpty() && !cells.contains(t))
                cells << t;
    EXPECT_EQ(cells, (QStringList{QStringLiteral("2026-12-08 06:00-07:00 UTC: 3 spots"),
                                  QStringLiteral("2026-12-09 14:00-15:00 UTC: 5 spots")}));

    auto* grid = rig.panel->findChild<QLineEdit*>(QStringLiteral("EditHistoryGrid"));
    grid->setText(QStringLiteral("jo31"));
    Q_EMIT grid->editingFinished();
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(heat.total(), 1);
    // A grid that is no locator is said and not sent.
    grid->setText(QStringLiteral("JO31'--"));
    Q_EMIT grid->editingFinished();
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(heat.total(), 0);
    EXPECT_TRUE(rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"))->text().contains(u"not sent"));

    view->setCurrentText(QStringLiteral("Local history"));
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(rig.panel->windowTitle(), QStringLiteral("Beamtide History (local)"));
    EXPECT_TRUE(rig.panel->hourly().isVisible());
}

TEST(HistoryPanel, TheHistoryServersHeatMapCountsWhatTheCopiesSent)
{
    PanelRig rig;
    rig.panel->resize(900, 800);
    rig.panel->showForBand();
    ASSERT_TRUE(rig.waitForAnswer());
    auto* view = rig.panel->findChild<QComboBox*>(QStringLiteral("BoxHistoryView"));
    QSignalSpy asked(rig.panel.get(), &HistoryPanel::serverAsked);
    rig.panel->findChild<QPushButton*>(QStringLiteral("ButtonHistoryServer"))->click();
    EXPECT_EQ(asked.size(), 1);
    // None set yet: said at once, nothing asked.
    view->setCurrentText(QStringLiteral("History server"));
    EXPECT_EQ(rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"))->text(),
              QStringLiteral("No history server is set: Server... names one."));

    test::ClickHouseFixture server;
    ASSERT_TRUE(server.running()) << server.startError().toStdString();
    rig.history.setServer(HistoryServer{server.baseUrl(), QStringLiteral("club"), QStringLiteral("pa ss:word")});
    // Two days of spots, stored here and sent there; the server's clock is today's, so the
    // panel's "now" follows it.
    QSignalSpy batch(&rig.history, &History::serverBatch);
    const qint64 now = QDateTime::currentSecsSinceEpoch() / 60;
    rig.nowMinute = now;
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("%1,K%2AB,14.0971%3,-18,0,FN42,+37,5,DL1XY,JO31,5000,3105")
                     .arg(dateTimeTextOf((now - 10 - i * 13) * 60000 + 1000).left(16))
                     .arg(i % 10)
                     .arg(i % 100, 2, 10, QLatin1Char('0'));
    rig.history.store(lines, SpotSource::WsprNet, now);
    ASSERT_TRUE(batch.wait(60000));
    EXPECT_TRUE(batch[0][0].toBool());
    EXPECT_EQ(batch[0][1].toInt(), 200);
    ASSERT_TRUE(rig.waitForAnswer()); // the panel draws what was stored

    view->setCurrentText(QStringLiteral("Local history"));
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(rig.panel->heatMap().total(), 200);
    view->setCurrentText(QStringLiteral("History server"));
    ASSERT_TRUE(rig.waitForAnswer());
    EXPECT_EQ(rig.panel->windowTitle(), QStringLiteral("Beamtide History (history server)"));
    EXPECT_EQ(rig.panel->findChild<QLabel*>(QStringLiteral("LabelHistoryStatus"))->text(),
              QStringLiteral("200 spots in the heat map, from the history server"));
}

TEST(HistoryPanel, TheServerDialogMasksThePasswordAndGivesBackWhatWasTyped)
{
    HistoryServerSettings start;
    start.server = QStringLiteral("http://club.example:8123");
    start.user = QStringLiteral("shack");
    start.password = QStringLiteral("pw-topsecret");
    HistoryServerDialog dialog(start);
    EXPECT_EQ(dialog.settings(), start);
    auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("HistoryServerPassword"));
    ASSERT_TRUE(password);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    dialog.findChild<QLineEdit*>(QStringLiteral("HistoryServerAddress"))->setText(QStringLiteral("  http://other:8123 "));
    password->setText(QStringLiteral("new"));
    HistoryServerSettings typed = start;
    typed.server = QStringLiteral("http://other:8123");
    typed.password = QStringLiteral("new");
    EXPECT_EQ(dialog.settings(), typed);
}
