#include "settings/ColourNames.h"

#include <gtest/gtest.h>

using namespace beamtide;

TEST(ColourNames, LookupByBeginning)
{
    struct Case
    {
        const char* name;
        const char16_t* text;
        std::optional<quint32> rgb;
    };
    const Case cases[] = {
        {"olive", u"Olive", 0x808000},
        {"teal", u"Teal", 0x008080},
        {"dark gray is not darker", u"DkGray", 0x808080},
        {"medium gray", u"MedGray", 0xA0A0A4},
        {"light gray is not gray", u"LtGray", 0xC0C0C0},
        {"green is not gray", u"Green", 0x008000},
        {"black is not blue", u"Black", 0x000000},
        {"sky blue is not blue", u"SkyBlue", 0xA6CAF0},
        {"custom light blue", u"CustomLtBlue", 0xD8F8FA},
        {"custom light purple", u"CustomLtPurple", 0xFEE9FE},
        {"longer text takes the name it begins with", u"CustomLtRedish", 0xFAC9C9},
        {"silver has a colour of its own", u"Silver", 0xC0C0C0},
        {"case matters", u"olive", std::nullopt},
        {"unknown", u"Mauve", std::nullopt},
        {"empty", u"", std::nullopt},
        {"name inside the text is not its beginning", u"xRed", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findColour(QStringView(c.text)), c.rgb);
    }
    EXPECT_EQ(colourRgb(u"Mauve"), 0x000000u);
    EXPECT_EQ(colourRgb(u"Mauve", 0xFFFFFF), 0xFFFFFFu);
}

TEST(ColourNames, EveryListedNameHasAColour)
{
    for (const QStringList& list : {textColourList(), lineBackgroundList(), highlightColourList()}) {
        for (const QString& name : list) {
            SCOPED_TRACE(name.toStdString());
            EXPECT_TRUE(findColour(name).has_value());
        }
    }
    EXPECT_EQ(textColourList().size(), 26);
    EXPECT_EQ(lineBackgroundList().size(), 27);
    EXPECT_EQ(highlightColourList().size(), 23);
    for (const TextClassInfo& info : textClasses())
        EXPECT_TRUE(findColour(QStringView(info.defaultColour)).has_value());
}

TEST(ColourNames, FontStyles)
{
    EXPECT_EQ(fontStyle(u"Normal"), FontStyle::Normal);
    EXPECT_EQ(fontStyle(u"Bold"), FontStyle::Bold);
    EXPECT_EQ(fontStyle(u"Italic"), FontStyle::Italic);
    EXPECT_EQ(fontStyle(u"bold"), FontStyle::Normal);
    EXPECT_EQ(fontStyle(u""), FontStyle::Normal);
}
