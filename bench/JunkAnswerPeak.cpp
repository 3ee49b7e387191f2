// Peak resident memory of a wspr.live fetch whose answer is 64 MB of junk (one-character
// rows, none of which reads), against the same program that fetches nothing, each in a
// process of its own. Run without arguments: it serves the answer from a local server,
// starts itself once per case and prints both peaks, their difference and its ratio to the
// answer's size.
#include "base/Clock.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"
#include "retrieval/SpotFetcher.h"

#include "HttpFixture.h"
#include "ProcessPeak.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace beamtide;
using bench::peakKilobytes;
using bench::runCase;

namespace {

constexpr qsizetype kAnswerBytes = 64 * 1024 * 1024; // the largest answer taken

// The fetcher and its thread as the program has them; with a base address, one fetch.
int run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Identity identity;
    identity.instance = 1;
    identity.folder = dir.path();
    SystemClock clock;
    RunLog log(identity, clock);
    NetWorker worker;
    SpotFetcher fetcher(worker, std::make_shared<HttpClient>(), log, clock);
    if (argc >= 3) {
        fetcher.setWsprLiveBaseUrl(QString::fromLocal8Bit(argv[2]));
        FetchRequest request;
        request.publicAddress = QStringLiteral("203.0.113.9");
        request.band = QStringLiteral("20");
        request.identity = identity;
        request.source = SpotSource::WsprLive;
        QEventLoop loop;
        std::optional<QString> failure;
        QObject::connect(&fetcher, &SpotFetcher::finished, &loop, [&](const FetchOutcome& outcome) {
            failure = FetchFailure(outcome);
            loop.quit();
        });
        if (!fetcher.FetchSpots(request))
            return 1;
        loop.exec();
        if (!failure) {
            std::fprintf(stderr, "the junk answer was taken as an answer\n");
            return 1;
        }
        std::fprintf(stderr, "fetch failed as it should: %s\n", qPrintable(*failure));
    }
    std::printf("%ld\n", peakKilobytes());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "run") == 0)
        return run(argc, argv);

    QCoreApplication app(argc, argv);
    test::HttpFixture server;
    QByteArray junk;
    junk.reserve(kAnswerBytes);
    while (junk.size() < kAnswerBytes)
        junk += "j\n";
    server.setBody(QStringLiteral("/"), junk);
    junk.clear();

    const long idle = runCase({QStringLiteral("run")});
    const long fetched = runCase({QStringLiteral("run"), server.baseUrl()});
    if (idle <= 0 || fetched <= 0) {
        std::fprintf(stderr, "a case failed\n");
        return 1;
    }
    const double answerMb = double(kAnswerBytes) / (1024 * 1024);
    const double extraMb = double(fetched - idle) / 1024;
    std::printf("peak resident memory, wspr.live answer of %.0f MB junk rows\n"
                "  without a fetch:   %7.1f MB\n"
                "  with the fetch:    %7.1f MB\n"
                "  the fetch's part:  %7.1f MB = %.2f x the answer (4 at most)\n",
                answerMb, double(idle) / 1024, double(fetched) / 1024, extraMb, extraMb / answerMb);
    return 0;
}
