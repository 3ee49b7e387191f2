#include "base/SpotSource.h"

#include <gtest/gtest.h>

using namespace beamtide;

TEST(SpotSource, NamesGoBothWays)
{
    for (SpotSource s : {SpotSource::WsprNet, SpotSource::WsprLive, SpotSource::Automatic})
        EXPECT_EQ(spotSourceFromName(spotSourceName(s)), std::optional(s));
    EXPECT_EQ(spotSourceName(SpotSource::WsprLive), QStringLiteral("wspr.live"));
    EXPECT_FALSE(spotSourceFromName(u"automatic"));
    EXPECT_FALSE(spotSourceFromName(u""));
}

TEST(SpotSource, SourceOption)
{
    struct Case
    {
        const char* commandLine;
        bool given;
        std::optional<SpotSource> source;
    };
    const Case cases[] = {
        {"", false, std::nullopt},
        {" /log", false, std::nullopt},
        {" /source=wsprnet", true, SpotSource::WsprNet},
        {" /source=WSPRLive /log", true, SpotSource::WsprLive},
        {" /mycall=vk2xyz /source=auto", true, SpotSource::Automatic},
        {" /source=", true, std::nullopt},
        {" /source=wspr.live", true, std::nullopt},
        {" /source=autox", true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        const SourceOption option = sourceOptionFor(QString::fromLatin1(c.commandLine));
        EXPECT_EQ(option.given, c.given);
        EXPECT_EQ(option.source, c.source);
    }
    EXPECT_EQ(sourceOptionFor(QStringLiteral(" /source=bogus /log")).text, QStringLiteral("bogus"));
}
