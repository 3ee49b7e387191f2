#include "channels/Throttle.h"

#include <gtest/gtest.h>

#include <vector>

using namespace beamtide;

namespace {

QDateTime at(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

struct Offer
{
    const char* when;
    const char* call;
    const char* band;
    bool delivered;
    const char* reasonHas = ""; // part of the reason when held back
};

struct Case
{
    const char* name;
    ThrottleLimits limits;
    std::vector<Offer> offers;
};

} // namespace

TEST(Throttle, Table)
{
    const std::vector<Case> cases = {
        {"cooldown per call and band",
         {30, 50, {}},
         {{"2026-03-01 10:00", "K1ABC", "20m", true},
          {"2026-03-01 10:10", "K1ABC", "20m", false, "within 30 min"},
          {"2026-03-01 10:10", "k1abc", "20m", false, "within 30 min"},
          {"2026-03-01 10:10", "K1ABC", "40m", true},
          {"2026-03-01 10:10", "G4XYZ", "20m", true},
          {"2026-03-01 10:29", "K1ABC", "20m", false},
          {"2026-03-01 10:30", "K1ABC", "20m", true},
          {"2026-03-01 10:31", "K1ABC", "20m", false}}},
        {"a held alert starts no cooldown of its own",
         {30, 50, {}},
         {{"2026-03-01 10:00", "K1ABC", "20m", true},
          {"2026-03-01 10:20", "K1ABC", "20m", false},
          {"2026-03-01 10:35", "K1ABC", "20m", true}}},
        {"cooldown 0 delivers every alert",
         {0, 0, {}},
         {{"2026-03-01 10:00", "K1ABC", "20m", true},
          {"2026-03-01 10:00", "K1ABC", "20m", true}}},
        {"daily cap counted per local day",
         {0, 2, {}},
         {{"2026-03-01 22:00", "A1A", "20m", true},
          {"2026-03-01 23:00", "B1B", "20m", true},
          {"2026-03-01 23:59", "C1C", "20m", false, "daily cap of 2"},
          {"2026-03-02 00:00", "C1C", "20m", true},
          {"2026-03-02 00:01", "D1D", "20m", true},
          {"2026-03-02 00:02", "E1E", "20m", false, "daily cap"}}},
        {"held alerts use none of the cap",
         {30, 2, {}},
         {{"2026-03-01 10:00", "A1A", "20m", true},
          {"2026-03-01 10:01", "A1A", "20m", false, "within"},
          {"2026-03-01 10:02", "A1A", "20m", false, "within"},
          {"2026-03-01 10:03", "B1B", "20m", true},
          {"2026-03-01 10:04", "C1C", "20m", false, "cap"}}},
        {"quiet hours across midnight",
         {0, 0, QStringLiteral("22:00-07:00")},
         {{"2026-03-01 21:59", "A1A", "20m", true},
          {"2026-03-01 22:00", "A1A", "20m", false, "quiet hours 22:00-07:00"},
          {"2026-03-01 23:59", "A1A", "20m", false, "quiet"},
          {"2026-03-02 00:00", "A1A", "20m", false, "quiet"},
          {"2026-03-02 06:59", "A1A", "20m", false, "quiet"},
          {"2026-03-02 07:00", "A1A", "20m", true}}},
        {"quiet hours within one day",
         {0, 0, QStringLiteral("12:30-13:00")},
         {{"2026-03-01 12:29", "A1A", "20m", true},
          {"2026-03-01 12:30", "A1A", "20m", false, "quiet"},
          {"2026-03-01 13:00", "A1A", "20m", true},
          {"2026-03-01 23:00", "A1A", "20m", true}}},
        {"an alert held in quiet hours starts no cooldown",
         {30, 50, QStringLiteral("22:00-07:00")},
         {{"2026-03-01 06:50", "A1A", "20m", false, "quiet"},
          {"2026-03-01 07:00", "A1A", "20m", true}}},
        {"unreadable quiet hours hold nothing",
         {0, 0, QStringLiteral("late evening")},
         {{"2026-03-01 23:00", "A1A", "20m", true}}},
        {"a clock set back by hours does not silence a call",
         {30, 0, {}},
         {{"2026-03-01 12:00", "A1A", "20m", true},
          {"2026-03-01 11:50", "A1A", "20m", false},
          {"2026-03-01 09:00", "A1A", "20m", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Throttle throttle(c.limits);
        for (const Offer& o : c.offers) {
            SCOPED_TRACE(std::string(o.when) + " " + o.call + " " + o.band);
            const ThrottleDecision d = throttle.admit(QString::fromLatin1(o.call),
                                                      QString::fromLatin1(o.band), at(o.when));
            EXPECT_EQ(d.deliver, o.delivered) << d.reason.toStdString();
            if (!o.delivered) {
                EXPECT_TRUE(d.reason.contains(QString::fromLatin1(o.reasonHas)))
                    << d.reason.toStdString();
            }
        }
    }
}

TEST(Throttle, QuietHoursText)
{
    EXPECT_FALSE(QuietHours::parse(QString()));
    EXPECT_FALSE(QuietHours::parse(QStringLiteral("25:00-07:00")));
    EXPECT_FALSE(QuietHours::parse(QStringLiteral("22:00")));
    const auto q = QuietHours::parse(QStringLiteral(" 7:05 - 9:30 "));
    ASSERT_TRUE(q);
    EXPECT_EQ(q->from, QTime(7, 5));
    EXPECT_EQ(q->to, QTime(9, 30));
}
