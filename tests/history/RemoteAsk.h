#pragma once

// What the history tests ask a remote source, through the program's own client and thread.
#include "history/RemoteHeatMap.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace beamtide::test {

using Cells = QList<std::pair<qint64, qint64>>;

inline Cells pairs(const QList<HeatCell>& list)
{
    Cells out;
    for (const HeatCell& c : list)
        out.append({c.hour, c.spots});
    return out;
}

// Asks and waits for the answer.
inline RemoteCells ask(const RemoteSource& source, const RemoteQuery& query)
{
    RemoteHeatMaps remote;
    QObject receiver;
    RemoteCells answer;
    bool done = false;
    // An event loop of its own: processEvents(WaitForMoreEvents) in a loop never woke for the
    // answer under Wine.
    QEventLoop loop;
    remote.heatMap(source, query, &receiver, [&](RemoteCells cells) {
        answer = std::move(cells);
        done = true;
        loop.quit();
    });
    if (!done)
        loop.exec();
    return answer;
}

// The window's call filters, ticked.
inline HeatFilter callFilter(const char* spotted, const char* spotter, const char* logic = "AND")
{
    HeatFilter f;
    f.calls = true;
    f.spotted = QString::fromUtf8(spotted);
    f.spotter = QString::fromUtf8(spotter);
    f.logic = QString::fromLatin1(logic);
    return f;
}

} // namespace beamtide::test
