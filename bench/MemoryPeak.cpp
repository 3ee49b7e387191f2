// Peak resident memory of a 5000-row refresh against a bare QTableView showing the same
// 5000 x 13 cells, all on the offscreen platform, each in a process of its own so each
// peak is its own. Two refreshes: the grid alone, and the whole program (window, controller,
// a Historical refresh through the network thread) with an Earth image on disk and the map
// closed. Run without arguments: it serves the page from a local server, starts itself once
// per case and prints the peaks and their ratios.
#include "base/Clock.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"
#include "retrieval/SpotFetcher.h"
#include "spots/AlertsHistory.h"
#include "spots/AllBandsTable.h"
#include "spots/FilterSpots.h"
#include "spots/MyCallSpots.h"
#include "window/Controller.h"
#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"

#include "HttpFixture.h"
#include "LocalServices.h"
#include "ProcessPeak.h"
#include "PageMaker.h"
#include "QuietOpeners.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace beamtide;
using bench::peakKilobytes;
using bench::runCase;

namespace {

constexpr int kRows = 5000;
constexpr int kColumns = 13;

void showAndPaint(QTableView& view)
{
    view.resize(865 - 140, 574 - 100);
    view.show();
    QApplication::processEvents();
    view.grab();
    QApplication::processEvents();
}

// The same texts the refresh shows, held the plainest way.
class BareModel final : public QAbstractTableModel
{
public:
    BareModel()
    {
        for (const test::PageSpot& s : test::assortedSpots(kRows))
            m_rows.append({s.time, s.call, s.mhz, s.snr, s.drift, s.grid, s.dbm, s.watts,
                           s.reporter, s.rgrid, s.km, s.miles, QString()});
    }
    int rowCount(const QModelIndex& = {}) const override { return int(m_rows.size()); }
    int columnCount(const QModelIndex& = {}) const override { return kColumns; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return m_rows[index.row()][index.column()];
    }

private:
    QList<QStringList> m_rows;
};

int bareTable(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareModel model;
    QTableView view;
    view.setModel(&model);
    showAndPaint(view);
    std::printf("%ld\n", peakKilobytes());
    return 0;
}

// One refresh as the program makes it: the fetch on the network thread (activity test,
// spot query, saved copies, parse), then the filter pass with every spot shown, the model
// reset and a repaint on this thread.
int refresh(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString baseUrl = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    Identity identity;
    identity.instance = 1;
    identity.folder = dir.path();
    identity.myCall = QStringLiteral("K1JT");
    SystemClock clock;
    RunLog log(identity, clock);
    NetWorker worker;
    SpotFetcher fetcher(worker, std::make_shared<HttpClient>(), log, clock);
    fetcher.setBaseUrl(baseUrl);

    QTableView view;
    SpotGrid grid(view);
    grid.setBandSource([] { return QStringLiteral("MyCall"); });
    grid.setPerBandLayout();
    showAndPaint(view);

    QStringList spots;
    QEventLoop loop;
    QObject::connect(&fetcher, &SpotFetcher::finished, &loop, [&](const FetchOutcome& outcome) {
        spots += outcome.spots;
        loop.quit();
    });
    FetchRequest request;
    request.publicAddress = QStringLiteral("203.0.113.9");
    request.band = QStringLiteral("MyCall");
    request.identity = identity;
    if (!fetcher.FetchSpots(request))
        return 1;
    loop.exec();

    AllBandsTable table;
    AlertsHistory alerts(dir.filePath(QStringLiteral("WSPR_Alerts1.txt")));
    MyCallSpots mine(dir.filePath(QStringLiteral("K1JT-spots.txt")));
    FilterControls controls;
    controls.bandText = QStringLiteral("MyCall");
    controls.fetchedBand = controls.bandText;
    controls.myCall = identity.myCall;
    controls.spottedFilter.clear();
    controls.spotterFilter.clear();
    const FilterResult r = FilterSpots(spots, controls, clock, table, alerts, mine);
    grid.model().setPerBandRows(r.rows);
    grid.model().setRowCount(r.rowCount);
    grid.repaintNow();
    showAndPaint(view);
    if (grid.model().rows() != kRows + 1) {
        std::fprintf(stderr, "refresh showed %d rows\n", grid.model().rows() - 1);
        return 1;
    }
    std::printf("%ld\n", peakKilobytes());
    return 0;
}

// The whole program as main() builds it, its Historical refresh of every spot on the page,
// the map never opened while an Earth image of the real one's size lies on disk (argv[3]).
int program(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString baseUrl = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir folder;
    const QString settingsFile = folder.filePath(QStringLiteral("settings.ini"));
    {
        QSettings ini(settingsFile, QSettings::IniFormat);
        for (const auto& [name, value] : {std::pair{"WSPRBand1", "6"}, {"WSPRLinesSet1", "0"},
                                         {"WSPRHistorical1", "1"}, {"WSPRRunCount1", "7"},
                                         {"BeamtideSource1", "WSPRnet"}})
            ini.setValue(QStringLiteral("Drovix/") + QLatin1String(name), QLatin1String(value));
    }
    const QString earth = QString::fromLocal8Bit(argv[3]);
    Identity identity;
    identity.instance = 1;
    identity.folder = folder.path();
    ManualClock clock(QDateTime(QDate(2024, 5, 3), QTime(0, 5), Qt::UTC));
    test::QuietOpeners openers;
    Services services = test::localServices(baseUrl, settingsFile, openers);
    services.earthImagePath = earth;
    MainWindow window;
    Controller controller(window, identity, clock, services);
    QSignalSpy finished(&controller, &Controller::refreshFinished);
    controller.startUp();
    controller.timer().stop();
    window.show();
    if (!QTest::qWaitFor([&] { return !finished.isEmpty() && !controller.refreshRunning(); }, 60000))
        return 1;
    QTest::qWait(200); // the first paint of the new rows
    if (controller.grid().model().rows() != kRows + 1) {
        std::fprintf(stderr, "the program showed %d rows\n", controller.grid().model().rows() - 1);
        return 1;
    }
    std::printf("%ld\n", peakKilobytes());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "bare") == 0)
        return bareTable(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "refresh") == 0)
        return refresh(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "program") == 0)
        return program(argc, argv);

    QCoreApplication app(argc, argv);
    test::HttpFixture server;
    server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
    server.setBody(QStringLiteral("/"), "203.0.113.7");
    std::vector<test::PageSpot> spots = test::assortedSpots(kRows);
    // The program's grid shows one band.
    for (test::PageSpot& s : spots)
        s.mhz = QStringLiteral("50.294500");
    // The MyCall query asks for /olddb, a band's for /olddb.php.
    const QByteArray page = test::reportPage(spots).toUtf8();
    server.setBody(QStringLiteral("/olddb"), page);
    server.setBody(QStringLiteral("/olddb.php"), page);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const long bare = runCase({QStringLiteral("bare")}, env);
    const long refreshed = runCase({QStringLiteral("refresh"), server.baseUrl()}, env);
    // Written here: the 8 MB of its making would otherwise be the program case's own peak.
    QTemporaryDir folder;
    const QString earth = folder.filePath(QStringLiteral("earth.jpg"));
    QImage image(2048, 1024, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 140));
    if (!image.save(earth, "JPG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(earth));
        return 1;
    }
    image = QImage();
    const long program = runCase({QStringLiteral("program"), server.baseUrl(), earth}, env);
    if (bare <= 0 || refreshed <= 0 || program <= 0) {
        std::fprintf(stderr, "a case failed\n");
        return 1;
    }
    std::printf("peak resident memory, 5000 rows x 13 cells on the offscreen platform\n"
                "  bare QTableView:                       %6.1f MB\n"
                "  5000-row refresh, grid alone:          %6.1f MB  ratio %4.2f\n"
                "  whole program, image on disk, no map:  %6.1f MB  ratio %4.2f\n",
                double(bare) / 1024, double(refreshed) / 1024, double(refreshed) / double(bare),
                double(program) / 1024, double(program) / double(bare));
    return 0;
}
