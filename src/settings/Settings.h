#pragma once

#include "base/Bars.h"
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
    int launchCount = 0;     // WSPRRunCount
    // 3. Before the distance bars, so they use the loaded scale.
    int distanceScale = 50;  // BeamtideDScale
    // 4.
    bool useLast = false;    // WSPRLastSet
    // 5.
    QString band = QStringLiteral("All");                     // WSPRBand
    QString spotted;                                          // WSPRSpotted
    QString spotter;                                          // WSPRSpotter
    QString logic = QStringLiteral("AND");                    // WSPRLogic
    QString emailTo = QStringLiteral("Your email");           // WSPREmail
    QString smtpUserName = QStringLiteral("SMTP user Name");  // WSPRSMPTUserName; SMTP client
    // 6.
    QString smtpHost = QStringLiteral("Your SMTP Host address"); // WSPRSMTPHost; SMTP client
    // 7.
    QString smtpPassword;    // WSPRSMTPpwd; SMTP client (default: the built-in relay's)
    // 8.
    int smtpPort = 587;      // WSPRSMTPport; SMTP client (the port box is not set)
    // 9.
    QString exclusionList;   // WSPRNoSpot
    // 10. The bars, in this order
    int updateInterval = 2;  // WSPRUpdInterval
    int minDistanceBar = 1;  // WSPRDist
    int farAlertBar = 10;    // WSPRLDThresh
    int snrBar = 1;          // WSPRdBmVal
    int maxLines = 20;       // WSPRGridNos
    int elapsedTime = 30;    // WSPRet
    int maxDistanceBar = 0;  // WSPRMaxD
    // 11.
    bool sortByKm = false;     // WSPRSortDistance
    bool hideTxMi = false;     // WSPRHideCols
    bool historical = false;   // WSPRHistorical
    bool snrAlert = false;     // WSPRdBmAlert
    bool farAlert = false;     // WSPRDistAlert
    QString lastAlert;         // WSPRLastAlert; last announced alert
    bool alerts = false;       // WSPRSigAlert
    bool alertTones = false;   // WSPRToneAlert
    int toneFrequency = 1200;  // WSPRToneF, Hz; the tone bar shows it in hundreds
    bool timeSet = false;      // WSPRTimeSet
    bool linesSet = false;     // WSPRLinesSet
    bool vhfDistMode = false;  // WSPRDistMode
    // The desktop: a notification per announced alert, and minimising to the tray.
    bool desktopNotify = true;    // BeamtideNotify
    bool minimiseToTray = false;  // BeamtideMinToTray
    bool history = true;          // BeamtideHistory: this copy stores and shows the spot history
    // 12. WSPRF1..WSPRF5 and WSPRF1B..WSPRF5B, indexed by TextClass
    std::array<TextLook, kTextClassCount> textLooks;
    // WSPROddLine, WSPREvenLine, WSPRHighlightLine, indexed by Background
    std::array<QString, kBackgroundCount> backgroundColours;
    // 13. Where the spots come from; an unknown stored name gives the default.
    SpotSource source = SpotSource::Automatic; // BeamtideSource

    StoredSettings();

    // Reads every value; missing or unreadable values give the defaults above, bar positions are
    // clamped to their bars.
    static StoredSettings load(const SettingsStore& store);
    // Writes every value, BeamtideFolder and BeamtideLastGet. Unchanged values are not rewritten.
    void save(SettingsStore& store, const SaveContext& context) const;

    // The values the load derives from the bars.
    int minimumDistance() const { return minDistanceBar * distanceScale; }
    int maximumDistance() const { return maxDistanceBar * distanceScale; }
    int farAlertDistance() const { return bars::farAlertDistance(farAlertBar); }
    int snrThreshold() const { return bars::snrThreshold(snrBar); }
    int toneBarPosition() const { return bars::kTone.clamp(toneFrequency / 100); }

    bool operator==(const StoredSettings&) const = default;
};

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
