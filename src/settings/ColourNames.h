#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

namespace beamtide {

// Colours travel everywhere as names ("Olive", "CustomLtBlue") and become colours only when
// drawn. The core never links QtGui, so a colour here is 0xRRGGBB.

// The colour of the last table row whose name the text begins with (case-sensitive), so
// "CustomLtRed2" draws as "CustomLtRed". "Silver" is offered in the lists without a table row;
// it gives the usual silver, 0xC0C0C0. Nothing for a text that begins with no known name.
std::optional<quint32> findColour(QStringView name);

// findColour, or the fallback for an unknown text. Black keeps text readable on the light
// backgrounds the lists offer.
quint32 colourRgb(QStringView name, quint32 fallback = 0x000000);

enum class FontStyle { Normal, Bold, Italic };

// "Normal", "Bold", "Italic", exact and case-sensitive. Any other text draws plain.
FontStyle fontStyle(QStringView name);

// The five classes the spot table draws its text in.
enum class TextClass { Normal, Alerts, BetweenDistances, SigAboveThreshold, BeyondDistance };
inline constexpr int kTextClassCount = 5;

struct TextClassInfo
{
    TextClass textClass;
    const char16_t* label;       // setup panel row label
    const char16_t* colourKey;   // store value of the colour name
    const char16_t* boldKey;     // store value of the bold flag
    const char16_t* defaultColour;
    bool defaultBold;
};
const std::array<TextClassInfo, kTextClassCount>& textClasses();
const TextClassInfo& textClassInfo(TextClass textClass);

enum class Background { OddLine, EvenLine, Highlight };
inline constexpr int kBackgroundCount = 3;

struct BackgroundInfo
{
    Background background;
    const char16_t* label;
    const char16_t* key;
    const char16_t* defaultColour;
};
const std::array<BackgroundInfo, kBackgroundCount>& backgrounds();
const BackgroundInfo& backgroundInfo(Background background);

// The colour a background is drawn in, in the grid and in the setup panel's preview alike. A
// name that matches no colour draws as that background's default, which the default text
// colours stay readable on.
quint32 backgroundRgb(Background background, QStringView name);

// A colour name and weight as the working values hold them.
struct TextLook
{
    QString colour;
    bool bold = false;

    bool operator==(const TextLook&) const = default;
};

// The entries of the setup panel's colour lists, in their order.
QStringList textColourList();
QStringList lineBackgroundList();
QStringList highlightColourList();

} // namespace beamtide
