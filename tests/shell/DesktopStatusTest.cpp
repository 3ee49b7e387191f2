#include "shell/DesktopStatus.h"

#include <gtest/gtest.h>

using namespace beamtide;

TEST(DesktopStatus, ToolTipNamesTheCopyBandUpdateAndAlerts)
{
    TrayStatus s;
    s.instance = 2;
    s.band = QStringLiteral("20");
    EXPECT_EQ(trayToolTip(s), QStringLiteral("Beamtide #2 \u00B7 band 20 \u00B7 no update yet \u00B7 0 alerts today"));

    s.lastUpdate = QDateTime(QDate(2026, 12, 10), QTime(13, 42, 55));
    s.alertsToday = 1;
    EXPECT_EQ(trayToolTip(s), QStringLiteral("Beamtide #2 \u00B7 band 20 \u00B7 last update 13:42 \u00B7 1 alert today"));
    s.alertsToday = 3;
    EXPECT_EQ(trayToolTip(s), QStringLiteral("Beamtide #2 \u00B7 band 20 \u00B7 last update 13:42 \u00B7 3 alerts today"));
}

TEST(DesktopStatus, AlertsTodayCountsTheLinesOfThatUtcDate)
{
    const QStringList lines{
        QStringLiteral("2026-12-09 23:58,VK2AAA,50.293,-12dBm,W1AW,712Km. "),
        QStringLiteral("2026-12-10 00:02,VK2BBB,50.293,-12dBm,W1AW,712Km. "),
        QStringLiteral("2026-12-10 13:40,VK2CCC,50.293,-12dBm,W1AW,712Km. "),
        QStringLiteral("garbage 2026-12-10 13:40"),
        QString(),
    };
    EXPECT_EQ(alertsOnDate(lines, QDate(2026, 12, 10)), 2);
    EXPECT_EQ(alertsOnDate(lines, QDate(2026, 12, 9)), 1);
    EXPECT_EQ(alertsOnDate({}, QDate(2026, 12, 10)), 0);
}

TEST(DesktopStatus, NotificationBodyIsPlainTextOfReadableLength)
{
    const QString line = QStringLiteral("2026-12-10 13:40,VK2AAA,50.293010,-12dBm,W1AW,712Km. ");
    const QString longLine = QStringLiteral("2026-12-10 13:40,") + QString(5000, u'x');
    struct Case
    {
        const char* name;
        QString line;
        bool markup;
        QString body;
    };
    const Case cases[] = {
        {"an ordinary line loses its trailing blank", line, true,
         QStringLiteral("2026-12-10 13:40,VK2AAA,50.293010,-12dBm,W1AW,712Km.")},
        {"markup is escaped for a service that reads markup",
         QStringLiteral("<b>K1</b> &amp; <a href=\"x\">"), true,
         QStringLiteral("&lt;b&gt;K1&lt;/b&gt; &amp;amp; &lt;a href=&quot;x&quot;&gt;")},
        {"markup stays as typed for a service that shows plain text",
         QStringLiteral("<b>K1</b> &amp;"), false, QStringLiteral("<b>K1</b> &amp;")},
        {"line breaks and controls become single blanks",
         QStringLiteral("a\r\n\tb\u2028c\u0007d"), false, QStringLiteral("a b c d")},
        {"a 5000-character line is cut with an ellipsis", longLine, false,
         longLine.left(kNotificationBodyLength - 1) + u'\u2026'},
        {"a cut does not split a surrogate pair",
         QString(kNotificationBodyLength - 2, u'y') + QStringLiteral("\U0001F4E1\U0001F4E1"), false,
         QString(kNotificationBodyLength - 2, u'y') + u'\u2026'},
        {"a line of exactly the length is kept whole", QString(kNotificationBodyLength, u'z'), false,
         QString(kNotificationBodyLength, u'z')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(notificationBody(c.line, c.markup), c.body);
    }
}
