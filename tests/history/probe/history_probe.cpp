// Writes spots into a history file as a copy of the program does: lets a test run writers
// side by side as real processes, or end one with SIGKILL in the middle of a write.
//   history_probe <file> <tag> <batches> <spots per batch>
// Each batch holds spots of its own (the tag in the call) and as many shared by every
// writer. "ready" is printed after the first batch; a failed store ends the program with 1.
#include "history/HistoryStore.h"

#include <cstdio>
#include <cstdlib>

using namespace beamtide;

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    HistoryStore store;
    if (store.open(QString::fromLocal8Bit(argv[1])) != HistoryStore::State::Open) {
        std::fprintf(stderr, "%s\n", qPrintable(store.why()));
        return 1;
    }
    const QString tag = QString::fromLocal8Bit(argv[2]);
    const int batches = std::atoi(argv[3]);
    const int perBatch = std::atoi(argv[4]);
    const qint64 start = kHistoryEpochMinute + 3600 * 24 * 60; // in 2026
    for (int b = 0; batches == 0 || b < batches; ++b) {
        QList<HistorySpot> spots;
        for (int i = 0; i < perBatch; ++i) {
            for (const QString& owner : {tag, QStringLiteral("SHARED")}) {
                HistorySpot spot;
                spot.minute = start + b * 2;
                spot.call = owner + QString::number(i);
                spot.grid = QStringLiteral("JO%1").arg(i % 100, 2, 10, QLatin1Char('0'));
                spot.reporter = QStringLiteral("RX%1").arg(b);
                spot.reporterGrid = QStringLiteral("FN42");
                spot.hz = 14097000 + i % 200;
                spot.km = i;
                spots.append(spot);
            }
        }
        const HistoryStore::StoreResult result = store.store(spots, start + b * 2);
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
            return 1;
        }
        if (b == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
    return 0;
}
