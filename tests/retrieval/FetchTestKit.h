#pragma once

#include "base/Clock.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"

#include "HttpFixture.h"
#include "TempFolder.h"

#include <QEventLoop>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace beamtide::test {

// A real server, a real worker thread and a temporary working folder, with the run log's
// lines collected. Declared in this order so the worker stops before the log goes.
class FetchTestKit : public ::testing::Test
{
protected:
    FetchTestKit()
    {
        id.instance = 1;
        id.folder = dir.path();
        log.setSink([this](const QString& line) { logLines << line; });
    }

    // Runs the event loop until the object's finished signal hands over its outcome.
    template <typename Outcome, typename Object, typename Start>
    Outcome waitFor(Object& object, Start start)
    {
        Outcome outcome;
        QEventLoop loop;
        QObject guard;
        QObject::connect(&object, &Object::finished, &guard, [&](const Outcome& o) {
            outcome = o;
            loop.quit();
        });
        if (start())
            loop.exec();
        else
            ADD_FAILURE() << "did not start";
        return outcome;
    }

    QString deadBaseUrl() const
    {
        int port = 0;
        {
            HttpFixture gone;
            port = gone.port();
        }
        return QStringLiteral("http://127.0.0.1:%1").arg(port);
    }

    HttpFixture server;
    TempFolder dir;
    ManualClock clock{QDateTime(QDate(2024, 5, 1), QTime(10, 3, 17), Qt::UTC)};
    Identity id;
    QStringList logLines; // written under the run log's lock, read once a job has finished
    RunLog log{id, clock};
    std::shared_ptr<HttpClient> client = std::make_shared<HttpClient>();
    NetWorker worker;
};

} // namespace beamtide::test
