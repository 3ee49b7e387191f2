#pragma once

#include "base/CsvField.h"
#include "base/SpotSource.h"
#include "base/TextFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

namespace beamtide {

class AlertsHistory;
class Clock;
class Openers;
class Prompt;
class RunLog;
class SpotGridModel;
struct Identity;

// "yyyymmdd hhmmss" from the local date and long time texts.
QString exportStamp(const QDateTime& local);
// "<prefix>BeamtideExp <yyyymmdd> <hhmmss>.csv", without the folder.
QString exportFileName(const QString& prefix, const QDateTime& local);
// One line per grid row from the header row down, every cell of the layout included.
QStringList exportLines(const SpotGridModel& model);

// The grid's CSV export, and the files and pages handed to outside programs (the text
// editor, the browser, the summary) behind the buttons and links of the top row.
class ExportAndViewers final
{
    Q_DISABLE_COPY_MOVE(ExportAndViewers)

public:
    // All four must outlive this; identity is read at each action, so it may be filled in
    // after construction (start-up). spotDatabaseUrl: the base address the site link opens.
    ExportAndViewers(const Identity& identity, const Clock& clock, Prompt& prompt, Openers& openers,
               const QString& spotDatabaseUrl);

    // Where a file that could not be saved is also noted; none by default. It must outlive this.
    void setLog(const RunLog* log) { m_log = log; }

    // The "/texteditor=" value; the platform's editor by default.
    void setTextEditor(const QString& command);
    QString textEditor() const { return m_editor; }

    // "-> CSV": writes the file and says where, or shows why it could not. Returns the
    // path written, or nothing.
    std::optional<QString> exportCsv(const SpotGridModel& model);
    // "Alerts History": saves the list first so the editor shows what the program holds,
    // in the file the filter pass saves it to.
    void openAlertsHistory(const AlertsHistory& history);
    // "All spots": the spot list file as the last fetch saved it.
    void openAllSpots();
    // "My Spots": nothing without a MyCall call sign.
    void openMySpots(const QStringList& myCallSpots);
    // "Summary": saves the MyCall spots, then starts the summary program if it is there.
    void startSummary(const QStringList& myCallSpots);
    bool summaryAvailable() const;
    void openUpdateLink();
    // The page of the source whose spots are on screen.
    void openSourcePage(SpotSource shown);

    QString spotListFile() const;
    QString myCallSpotsFile() const;
    QString summaryProgram() const;
    QUrl updateLinkUrl() const;
    QUrl spotDatabaseUrl() const;

private:
    bool save(const QString& path, const QStringList& lines);
    void saveFailed(const SaveResult& saved, const QString& title);
    void openInEditor(const QString& path);

    const Identity& m_identity;
    const Clock& m_clock;
    Prompt& m_prompt;
    Openers& m_openers;
    QString m_spotDatabaseUrl;
    const RunLog* m_log = nullptr;
    QString m_editor;
};

} // namespace beamtide
