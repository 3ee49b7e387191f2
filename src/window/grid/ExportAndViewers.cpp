#include "window/grid/ExportAndViewers.h"

#include "base/Clock.h"
#include "base/Config.h"
#include "base/DateFormats.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "platform/gui/Openers.h"
#include "spots/AlertsHistory.h"
#include "window/grid/SpotGridModel.h"
#include "window/main/Prompt.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace beamtide {

namespace {

const QString kExportTitle = QStringLiteral("File Export");

// The busy pointer for as long as the export writes.
class BusyCursor final
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(BusyCursor)
};

} // namespace

QString exportStamp(const QDateTime& local)
{
    const QString date = shortDate(local.date()); // yyyy-mm-dd
    const QString day = date.mid(0, 4) + date.mid(5, 2) + date.mid(8, 2);

    // Hour, minutes and seconds out of the long time text, whatever its separator widths.
    const QString time = longTime(local.time());
    const qsizetype colon = time.indexOf(u':');
    QString hour = colon < 0 ? time : time.left(colon);
    if (hour.size() == 1)
        hour.prepend(u'0');
    QString clock = hour;
    if (colon >= 0)
        clock += time.mid(colon + 1, 2) + time.mid(colon + 4, 2);
    return day + u' ' + clock.left(8);
}

QString exportFileName(const QString& prefix, const QDateTime& local)
{
    return prefix + u"BeamtideExp " + exportStamp(local) + u".csv";
}

QStringList exportLines(const SpotGridModel& model)
{
    QStringList lines;
    lines.reserve(model.rows());
    for (int row = 0; row < model.rows(); ++row) {
        QStringList fields = model.rowCells(row);
        for (QString& field : fields)
            field = csvField(field);
        lines.append(fields.join(u','));
    }
    return lines;
}

ExportAndViewers::ExportAndViewers(const Identity& identity, const Clock& clock, Prompt& prompt,
                       Openers& openers, const QString& spotDatabaseUrl)
    : m_identity(identity), m_clock(clock), m_prompt(prompt), m_openers(openers),
      m_spotDatabaseUrl(spotDatabaseUrl), m_editor(defaultTextEditor())
{
}

void ExportAndViewers::setTextEditor(const QString& command)
{
    m_editor = command.isEmpty() ? defaultTextEditor() : command;
}

std::optional<QString> ExportAndViewers::exportCsv(const SpotGridModel& model)
{
    const QString name = exportFileName(m_identity.filePrefix, m_clock.nowLocal());
    const QString path = m_identity.plainFile(name);
    SaveResult saved;
    {
        BusyCursor busy;
        saved = saveLines(path, exportLines(model));
    }
    if (!saved.ok) {
        saveFailed(saved, kExportTitle);
        return std::nullopt;
    }
    const QString folder = QDir::toNativeSeparators(
        QFileInfo(path).absoluteDir().absolutePath());
    m_prompt.ask(kExportTitle, u"Saved as " + name + u" in " + folder);
    return path;
}

QString ExportAndViewers::spotListFile() const
{
    return m_identity.dataFile(u"WSPRRep", u".csv");
}

QString ExportAndViewers::myCallSpotsFile() const
{
    return m_identity.plainFile(QString(m_identity.filePrefix + m_identity.myCall + u"-spots.txt"));
}

QUrl ExportAndViewers::updateLinkUrl() const
{
    return QUrl(u"http://" + QString::fromLatin1(config::kDownloadHost)
                + u"/web/images/UserFiles/File/Beamtide/Beamtide.zip");
}

QUrl ExportAndViewers::spotDatabaseUrl() const
{
    const QString& base = m_spotDatabaseUrl;
    if (m_identity.myCall.isEmpty())
        return QUrl(base + u'/');
    const QString call = QString::fromLatin1(QUrl::toPercentEncoding(m_identity.myCall));
    return QUrl(base + u"/olddb?mode=html&band=all&limit=1000&findcall=" + call
                    + u"&findreporter=&sort=date",
                QUrl::StrictMode);
}

bool ExportAndViewers::save(const QString& path, const QStringList& lines)
{
    const SaveResult saved = saveLines(path, lines);
    // Opening the old file instead would show a list the program no longer holds.
    if (!saved.ok)
        saveFailed(saved, QFileInfo(path).fileName());
    return saved.ok;
}

void ExportAndViewers::saveFailed(const SaveResult& saved, const QString& title)
{
    if (m_log)
        m_log->writeTagged(saved.message());
    m_prompt.ask(PromptRequest{title, saved.message(), QMessageBox::Ok, QMessageBox::Warning});
}

void ExportAndViewers::openInEditor(const QString& path)
{
    m_openers.startProgram(m_editor, {path}, m_identity.folder);
}

void ExportAndViewers::openAlertsHistory(const AlertsHistory& history)
{
    if (save(history.path(), history.lines()))
        openInEditor(history.path());
}

void ExportAndViewers::openAllSpots()
{
    openInEditor(spotListFile());
}

void ExportAndViewers::openMySpots(const QStringList& myCallSpots)
{
    if (m_identity.myCall.isEmpty())
        return;
    if (save(myCallSpotsFile(), myCallSpots))
        openInEditor(myCallSpotsFile());
}

QString ExportAndViewers::summaryProgram() const
{
    return QFileInfo(m_identity.plainFile(summaryProgramName())).absoluteFilePath();
}

bool ExportAndViewers::summaryAvailable() const
{
    return QFileInfo::exists(summaryProgram());
}

void ExportAndViewers::startSummary(const QStringList& myCallSpots)
{
    if (m_identity.myCall.isEmpty() || !save(myCallSpotsFile(), myCallSpots))
        return;
    // The summary program is given the literal suffix, not our file name.
    if (summaryAvailable())
        m_openers.startProgram(summaryProgram(), {QStringLiteral("-spots.txt")}, m_identity.folder);
}

void ExportAndViewers::openUpdateLink()
{
    m_openers.openUrl(updateLinkUrl());
}

void ExportAndViewers::openSourcePage(SpotSource shown)
{
    m_openers.openUrl(shown == SpotSource::WsprLive ? QUrl(QString::fromLatin1(config::kWsprLivePage))
                                                    : spotDatabaseUrl());
}

} // namespace beamtide
