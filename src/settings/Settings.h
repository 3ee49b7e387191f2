#pragma once

#include "base/SpotSource.h"
#include "settings/ColourNames.h"
#include "settings/SettingsStore.h"

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>
#include <QVariant>

#include <array>

namespace beamtide {

struct BarRange
{
    int min;
    int max;
    int clamp(int value) const { return value < min ? min : (value > max ? max : value); }
};

// Ranges of the window's bars; a stored position outside is moved to the nearest end.
namespace bars {
inline constexpr BarRange kUpdateInterval{1, 120};  // ScrollBar1
inline constexpr BarRange kMinDistance{0, 100};     // ScrollBar2
inline constexpr BarRange kSnr{0, 60};              // ScrollBar3
inline constexpr BarRange kMaxLines{5, 1000};       // ScrollBar4
inline constexpr BarRange kElapsedTime{2, 120};     // ScrollBar5
inline constexpr BarRange kMaxDistance{0, 100};     // ScrollBar6
inline constexpr BarRange kTone{4, 20};             // ScrollBar7, hundreds of Hz
inline constexpr BarRange kDistanceScale{5, 100};   // ScrollBar8
inline constexpr BarRange kFarAlert{0, 200};        // ScrollBar9
} // namespace bars

// The stored window geometry moved and shrunk as little as needed to lie on the screen's
// available area: never larger than it, never off it. Sizes below 1 become 1.
QRect keepOnScreen(int left, int top, int width, int height, const QRect& screen);

// What the last save wrote besides the table: the working folder and the last retrieval time.
struct SaveContext
{
    QString folder;
    QDateTime lastRetrieval; // local time; invalid before the first retrieval
};

// Every stored value, in the order the load applies them. Each field names its value
// (WSPR.../Beamtide...) and the control or working value it is bound to.
struct StoredSettings
{
    // 1. Window geometry
    int windowLeft = 100;    // BeamtideLeft
    int windowTop = 100;     // BeamtideTop
    int windowWidth = 430;   // BeamtideWidth
    int windowHeight = 450;  // BeamtideHeight
    // 2.
    int launchCount = 0;     // WSPRRunCount; Label38
    // 3. Before the distance bars, so they use the loaded scale.
    int distanceScale = 50;  // BeamtideDScale; ScrollBar8, Edit19
    // 4.
    bool useLast = false;    // WSPRLastSet; CheckBox16
    // 5.
    QString band = QStringLiteral("All");                     // WSPRBand; ComboBox1 text
    QString spotted;                                          // WSPRSpotted; Edit1
    QString spotter;                                          // WSPRSpotter; Edit2
    QString logic = QStringLiteral("AND");                    // WSPRLogic; ComboBox3 text
    QString emailTo = QStringLiteral("Your email");           // WSPREmail; Edit21
    QString smtpUserName = QStringLiteral("SMTP user Name");  // WSPRSMPTUserName; Edit26, SMTP client
    // 6.
    QString smtpHost = QStringLiteral("Your SMTP Host address"); // WSPRSMTPHost; Edit22, SMTP client
    // 7.
    QString smtpPassword;    // WSPRSMTPpwd; Edit23, SMTP client (default: the built-in relay's)
    // 8.
    int smtpPort = 587;      // WSPRSMTPport; SMTP client (ComboBox2 is not set)
    // 9.
    QString exclusionList;   // WSPRNoSpot; Edit27
    // 10. The bars, in this order
    int updateInterval = 2;  // WSPRUpdInterval; ScrollBar1, Edit7
    int minDistanceBar = 1;  // WSPRDist; ScrollBar2, Edit8
    int farAlertBar = 10;    // WSPRLDThresh; ScrollBar9, Edit20
    int snrBar = 1;          // WSPRdBmVal; ScrollBar3, Edit10
    int maxLines = 20;       // WSPRGridNos; ScrollBar4, Edit11
    int elapsedTime = 30;    // WSPRet; ScrollBar5, Edit12
    int maxDistanceBar = 0;  // WSPRMaxD; ScrollBar6, Edit13
    // 11.
    bool sortByKm = false;     // WSPRSortDistance; CheckBox1
    bool hideTxMi = false;     // WSPRHideCols; CheckBox2
    bool historical = false;   // WSPRHistorical; CheckBox3
    bool snrAlert = false;     // WSPRdBmAlert; CheckBox4
    bool farAlert = false;     // WSPRDistAlert; CheckBox17
    QString lastAlert;         // WSPRLastAlert; last announced alert
    bool alerts = false;       // WSPRSigAlert; CheckBox5
    bool alertTones = false;   // WSPRToneAlert; CheckBox8
    int toneFrequency = 1200;  // WSPRToneF, Hz; ScrollBar7 at a hundredth
    bool timeSet = false;      // WSPRTimeSet; CheckBox6
    bool linesSet = false;     // WSPRLinesSet; CheckBox7
    bool vhfDistMode = false;  // WSPRDistMode; CheckBox9
    // The desktop: a notification per announced alert, and minimising to the tray.
    bool desktopNotify = true;    // BeamtideNotify; CheckBox18
    bool minimiseToTray = false;  // BeamtideMinToTray; CheckBox19
    // 12. WSPRF1..WSPRF5 and WSPRF1B..WSPRF5B (ComboBox4..8, CheckBox11..15), indexed by TextClass
    std::array<TextLook, kTextClassCount> textLooks;
    // WSPROddLine, WSPREvenLine, WSPRHighlightLine (ComboBox9..11), indexed by Background
    std::array<QString, kBackgroundCount> backgroundColours;
    // 13. Where the spots come from; an unknown stored name gives the default.
    SpotSource source = SpotSource::Automatic; // BeamtideSource; ComboBoxSource

    StoredSettings();

    // Reads every value; missing or unreadable values give the defaults above, bar positions are
    // clamped to their bars.
    static StoredSettings load(const SettingsStore& store);
    // Writes every value, BeamtideFolder and BeamtideLastGet. Unchanged values are not rewritten.
    void save(SettingsStore& store, const SaveContext& context) const;

    // The values the load derives from the bars (Edit8, Edit13, Edit20, Edit10, ScrollBar7).
    int minimumDistance() const { return minDistanceBar * distanceScale; }
    int maximumDistance() const { return maxDistanceBar * distanceScale; }
    int farAlertDistance() const { return 2000 + 50 * farAlertBar; }
    int snrThreshold() const { return snrBar - 30; }
    int toneBarPosition() const { return bars::kTone.clamp(toneFrequency / 100); }

    bool operator==(const StoredSettings&) const = default;
};

// One thing the load sets, in load order. target is a control's objectName ("ScrollBar1"), a
// property of one ("CheckBox8.visible", "MainWindow.left"), an SMTP client field ("smtp.host",
// "smtp.helo") or a working value ("launchCount", "distanceScale", "minimumDistance",
// "maximumDistance", "farAlertDistance", "smtpHost", "smtpPassword", "smtpPort", "lastAlert",
// "toneFrequency"). Setting a check box or bar from a step runs its handler when the value
// changes, as a user action would; CheckBox16 is the exception: its stored state is applied
// without the click, which would otherwise save the band preset of a band not yet loaded.
struct LoadStep
{
    QString target;
    QVariant value;
};
QList<LoadStep> loadSteps(const StoredSettings& settings);

// The SMTP client's HELO name for a host: the part after its first ".", trimmed, at most
// 255 characters; the whole host without a ".". Empty for an empty host (the client keeps its own).
QString heloName(const QString& host);

// "19-06-24 22:05:09"; before any retrieval the zero time "30-12-99 00:00:00".
QString lastGetText(const QDateTime& lastRetrieval);
// The working folder with a closing separator, in the platform's own separators.
QString folderText(const QString& folder);

// Deletes this copy's own values and the legacy unsuffixed names of the reset list; values of
// other copies stay, as do colours, the exclusion list, the distance scale, the far alert bar,
// "Use Last", "Far", the tone frequency and the last announced alert.
void resetSettings(SettingsStore& store);

// The launch count after one more start-up; 1 means a first launch of this instance number.
int raisedLaunchCount(int stored);
inline bool isFirstLaunch(int raisedCount) { return raisedCount == 1; }

} // namespace beamtide
