#include "shell/DesktopStatus.h"

namespace beamtide {

QString trayToolTip(const TrayStatus& status)
{
    static const QString dot = QStringLiteral(" \u00B7 ");
    const QString update = status.lastUpdate.isValid()
        ? QStringLiteral("last update ") + status.lastUpdate.toString(QStringLiteral("HH:mm"))
        : QStringLiteral("no update yet");
    const QString alerts = status.alertsToday == 1
        ? QStringLiteral("1 alert today")
        : QString::number(status.alertsToday) + QStringLiteral(" alerts today");
    return QStringLiteral("Beamtide #") + QString::number(status.instance) + dot
        + QStringLiteral("band ") + status.band + dot + update + dot + alerts;
}

int alertsOnDate(const QStringList& alertLines, const QDate& utcDate)
{
    // Lines begin "yyyy-mm-dd hh:mm,"; comparing the date text avoids parsing every line.
    const QString day = utcDate.toString(QStringLiteral("yyyy-MM-dd")) + u' ';
    int n = 0;
    for (const QString& line : alertLines)
        n += line.startsWith(day) ? 1 : 0;
    return n;
}

QString notificationBody(const QString& alertLine, bool serviceReadsMarkup)
{
    QString text;
    text.reserve(qMin(alertLine.size(), kNotificationBodyLength + 1));
    bool blank = false;
    for (const QChar c : alertLine) {
        // Line breaks, tabs and other controls become one blank each run.
        const bool control = c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph;
        if (control || c == u' ') {
            if (!blank && !text.isEmpty())
                text += u' ';
            blank = true;
            continue;
        }
        blank = false;
        text += c;
        if (text.size() > kNotificationBodyLength)
            break;
    }
    text = text.trimmed();
    if (text.size() > kNotificationBodyLength) {
        text.truncate(kNotificationBodyLength - 1);
        // Do not leave half a surrogate pair behind.
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
        text += u'\u2026';
    }
    return serviceReadsMarkup ? text.toHtmlEscaped() : text;
}

} // namespace beamtide
