#include "settings/ColourNames.h"

namespace beamtide {

namespace {

struct NamedColour
{
    const char16_t* name;
    quint32 rgb;
};

// Order matters: a text takes the last row it begins with.
constexpr std::array<NamedColour, 26> kColours{{
    {u"Lime", 0x00FF00},
    {u"Fuchsia", 0xFF00FF},
    {u"Gray", 0x808080},
    {u"LtGray", 0xC0C0C0},
    {u"MedGray", 0xA0A0A4},
    {u"DkGray", 0x808080}, // the same as "Gray"; stored files rely on how it looks
    {u"Aqua", 0x00FFFF},
    {u"Teal", 0x008080},
    {u"Olive", 0x808000},
    {u"Purple", 0x800080},
    {u"Navy", 0x000080},
    {u"SkyBlue", 0xA6CAF0},
    {u"Blue", 0x0000FF},
    {u"Black", 0x000000},
    {u"Red", 0xFF0000},
    {u"Green", 0x008000},
    {u"MoneyGreen", 0xC0DCC0},
    {u"White", 0xFFFFFF},
    {u"Yellow", 0xFFFF00},
    {u"CustomLtBlue", 0xD8F8FA},
    {u"CustomPaleBlue", 0xF1FBFE},
    {u"CustomLtYellow", 0xFFFFD2},
    {u"CustomLtGreen", 0xBCFAE9},
    {u"CustomLtRed", 0xFAC9C9},
    {u"CustomLtOrange", 0xF8EDC2},
    {u"CustomLtPurple", 0xFEE9FE},
}};

constexpr quint32 kSilver = 0xC0C0C0;

constexpr std::array<TextClassInfo, kTextClassCount> kTextClasses{{
    {TextClass::Normal, u"Normal", u"WSPRF1", u"WSPRF1B", u"Black", false},
    {TextClass::Alerts, u"Dist + dB", u"WSPRF2", u"WSPRF2B", u"White", true},
    {TextClass::BetweenDistances, u"<> Dist", u"WSPRF3", u"WSPRF3B", u"Blue", true},
    {TextClass::SigAboveThreshold, u"> dB", u"WSPRF4", u"WSPRF4B", u"Red", false},
    {TextClass::BeyondDistance, u"> Dist", u"WSPRF5", u"WSPRF5B", u"Olive", false},
}};

constexpr std::array<BackgroundInfo, kBackgroundCount> kBackgrounds{{
    {Background::OddLine, u"Odd Lines", u"WSPROddLine", u"CustomLtBlue"},
    {Background::EvenLine, u"Even lines", u"WSPREvenLine", u"CustomLtYellow"},
    {Background::Highlight, u"Highlight Lines", u"WSPRHighlightLine", u"Black"},
}};

QStringList basicColours()
{
    return {u"Lime"_qs, u"Fuchsia"_qs, u"Silver"_qs, u"Gray"_qs, u"LtGray"_qs, u"MedGray"_qs,
            u"DkGray"_qs, u"Aqua"_qs, u"Teal"_qs, u"Olive"_qs, u"Purple"_qs, u"Navy"_qs,
            u"SkyBlue"_qs, u"Blue"_qs, u"Black"_qs, u"Red"_qs, u"Green"_qs, u"MoneyGreen"_qs,
            u"Yellow"_qs, u"White"_qs};
}

} // namespace

std::optional<quint32> findColour(QStringView name)
{
    std::optional<quint32> found;
    for (const NamedColour& row : kColours) {
        if (name.startsWith(QStringView(row.name)))
            found = row.rgb;
    }
    if (!found && name.startsWith(u"Silver"))
        found = kSilver;
    return found;
}

quint32 colourRgb(QStringView name, quint32 fallback)
{
    return findColour(name).value_or(fallback);
}

quint32 backgroundRgb(Background background, QStringView name)
{
    if (const std::optional<quint32> rgb = findColour(name))
        return *rgb;
    return colourRgb(QStringView(backgroundInfo(background).defaultColour));
}

FontStyle fontStyle(QStringView name)
{
    if (name == u"Bold")
        return FontStyle::Bold;
    if (name == u"Italic")
        return FontStyle::Italic;
    return FontStyle::Normal;
}

const std::array<TextClassInfo, kTextClassCount>& textClasses()
{
    return kTextClasses;
}

const TextClassInfo& textClassInfo(TextClass textClass)
{
    return kTextClasses[static_cast<std::size_t>(textClass)];
}

const std::array<BackgroundInfo, kBackgroundCount>& backgrounds()
{
    return kBackgrounds;
}

const BackgroundInfo& backgroundInfo(Background background)
{
    return kBackgrounds[static_cast<std::size_t>(background)];
}

QStringList textColourList()
{
    return basicColours() + QStringList{u"CustomPaleBlue"_qs, u"CustomLtYellow"_qs, u"CustomLtGreen"_qs,
                                        u"CustomLtRed"_qs, u"CustomLtOrange"_qs, u"CustomLtPurple"_qs};
}

QStringList lineBackgroundList()
{
    return QStringList{u"CustomLtBlue"_qs, u"CustomPaleBlue"_qs, u"CustomLtYellow"_qs, u"CustomLtGreen"_qs,
                       u"CustomLtRed"_qs, u"CustomLtOrange"_qs, u"CustomLtPurple"_qs}
        + basicColours();
}

QStringList highlightColourList()
{
    return QStringList{u"CustomLtRed"_qs, u"CustomLtOrange"_qs, u"CustomLtPurple"_qs} + basicColours();
}

} // namespace beamtide
