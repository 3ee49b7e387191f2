#include "retrieval/SourceChoice.h"

#include <gtest/gtest.h>

using namespace beamtide;
using End = SourceChoice::End;

namespace {

const QDateTime kStart(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);

QDateTime minutes(int m)
{
    return kStart.addSecs(qint64(m) * 60);
}

// What a fetch asks: "db", "db then live", "live".
QString asks(const SourceChoice::Plan& plan)
{
    if (plan.askLive)
        return QStringLiteral("live");
    return plan.fallback ? QStringLiteral("db then live") : QStringLiteral("db");
}

} // namespace

// One fetch after another, each with how its sources ended, and what the next one asks.
TEST(SourceChoice, TableOfOutcomes)
{
    struct Fetch
    {
        int at;        // minutes from the start
        End database;  // how the spot database's part ended
        End live;      // how wspr.live's part ended
        QString asked; // what this fetch was planned to ask
    };
    struct Case
    {
        const char* name;
        SpotSource setting;
        std::vector<Fetch> fetches;
        QString nextAsks; // at the minute after the last fetch
        int nextAt;
    };
    const QString db = QStringLiteral("db"), both = QStringLiteral("db then live"), live = QStringLiteral("live");
    const Case cases[] = {
        {"automatic, the spot database answers", SpotSource::Automatic,
         {{0, End::Answered, End::NotAsked, both}}, both, 1},
        {"fallback answered: wspr.live alone for 30 minutes", SpotSource::Automatic,
         {{0, End::Failed, End::Answered, both}, {5, End::NotAsked, End::Answered, live}}, live, 29},
        {"the stay counts from the fallback, not from later answers", SpotSource::Automatic,
         {{0, End::Failed, End::Answered, both}, {25, End::NotAsked, End::Answered, live}}, both, 30},
        {"both failed: the next fetch asks the spot database", SpotSource::Automatic,
         {{0, End::Failed, End::Failed, both}}, both, 1},
        {"wspr.live fails during the stay: back to the spot database", SpotSource::Automatic,
         {{0, End::Failed, End::Answered, both}, {5, End::NotAsked, End::Failed, live}}, both, 6},
        {"the shut-down aborted the spot database", SpotSource::Automatic,
         {{0, End::Aborted, End::NotAsked, both}}, both, 1},
        {"the shut-down aborted wspr.live during the stay", SpotSource::Automatic,
         {{0, End::Failed, End::Answered, both}, {5, End::NotAsked, End::Aborted, live}}, live, 6},
        {"spot database chosen: never wspr.live", SpotSource::WsprNet,
         {{0, End::Failed, End::NotAsked, db}}, db, 1},
        {"wspr.live chosen: never the spot database", SpotSource::WsprLive,
         {{0, End::NotAsked, End::Failed, live}}, live, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SourceChoice choice;
        for (const Fetch& f : c.fetches) {
            EXPECT_EQ(asks(choice.plan(c.setting, minutes(f.at))), f.asked) << "at minute " << f.at;
            choice.record(c.setting, f.database, f.live, f.database == End::Failed ? QStringLiteral("why") : QString(),
                          minutes(f.at));
        }
        EXPECT_EQ(asks(choice.plan(c.setting, minutes(c.nextAt))), c.nextAsks);
    }
}

TEST(SourceChoice, TheStayNamesItsReasonAndEndAndSaysWhenItIsOver)
{
    SourceChoice choice;
    (void)choice.plan(SpotSource::Automatic, minutes(0));
    choice.record(SpotSource::Automatic, End::Failed, End::Answered, QStringLiteral("activity result 12"), minutes(0));
    EXPECT_EQ(choice.stayUntil(), minutes(30));
    EXPECT_EQ(choice.stayReason(), QStringLiteral("activity result 12"));
    EXPECT_TRUE(choice.plan(SpotSource::Automatic, minutes(29)).notice.isEmpty());

    const SourceChoice::Plan after = choice.plan(SpotSource::Automatic, minutes(30));
    EXPECT_EQ(after.notice, QStringLiteral("30 minutes on wspr.live are over, asking the spot database again"));
    EXPECT_FALSE(choice.stayUntil().isValid());
    EXPECT_TRUE(choice.stayReason().isEmpty());
    EXPECT_TRUE(choice.plan(SpotSource::Automatic, minutes(31)).notice.isEmpty());
}
