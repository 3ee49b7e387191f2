#include "PageMaker.h"

namespace beamtide::test {

QString PageSpot::spotLine() const
{
    QString line;
    for (const QString& cell : {time, call, mhz, snr, drift, grid, dbm, watts, reporter, rgrid,
                                km, miles})
        line += cell + u',';
    for (const QString& cell : extra)
        line += cell + u',';
    return line;
}

QString cellsRow(const QStringList& cells, bool even)
{
    QString row = QStringLiteral("<tr id=\"") + (even ? u"evenrow" : u"oddrow") + u"\">";
    for (const QString& cell : cells)
        row += QStringLiteral("<td align=left>&nbsp;") + cell + QStringLiteral("&nbsp;</td>");
    row += QStringLiteral("</tr>");
    return row;
}

QString spotRow(const PageSpot& s, bool even)
{
    QStringList cells{s.time, s.call,     s.mhz,   s.snr, s.drift, s.grid,
                      s.dbm,  s.watts,    s.reporter, s.rgrid, s.km, s.miles};
    cells += s.extra;
    return cellsRow(cells, even);
}

QString reportPage(const QStringList& rowLines)
{
    QStringList lines;
    lines << QStringLiteral("<!DOCTYPE html>") << QStringLiteral("<html>")
          << QStringLiteral("<head><title>Spot report</title>");
    for (int i = 0; i < 96; ++i)
        lines << QStringLiteral("<meta name=\"filler%1\" content=\"page head\">").arg(i);
    lines << QStringLiteral("</head><body>")
          << QStringLiteral("<table style=\"font-family: monospace; font-size: 12px\">")
          << QStringLiteral("<tr><td>Query form</td></tr>") << QStringLiteral("<tr>")
          << QStringLiteral(" <th><a href=\"olddb?sort=date\">Timestamp</a></th>")
          << QStringLiteral(" <th><a href=\"olddb?sort=call\">Call</a></th>")
          << QStringLiteral(" <th>MHz</th>") << QStringLiteral("</tr>");
    lines += rowLines;
    lines << QStringLiteral("</table>") << QStringLiteral("</body>") << QStringLiteral("</html>");
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString reportPage(const std::vector<PageSpot>& spots)
{
    QStringList rows;
    bool even = true;
    for (const PageSpot& s : spots) {
        rows << spotRow(s, even);
        even = !even;
    }
    return reportPage(rows);
}

QByteArray hugeCellPage()
{
    std::vector<PageSpot> spots = assortedSpots(100);
    spots[50].call = QString(3 * 1024 * 1024, u'K');
    return reportPage(spots).toUtf8();
}

std::vector<PageSpot> assortedSpots(int n)
{
    static const char* const mhz[] = {"14.097100", "7.040100", "50.294500", "10.140200",
                                      "144.490500", "3.570100", "28.126100", "0.475700"};
    static const char* const calls[] = {"VK2XYZ", "ZL1ABC", "K1JT", "VK4TQ", "G4ABC", "JA1XX"};
    std::vector<PageSpot> spots;
    spots.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        PageSpot s;
        const int minutes = 24 * 60 * 2 - i / 4 * 2;
        s.time = QStringLiteral("2024-05-0%1 %2:%3")
                     .arg(1 + minutes / (24 * 60))
                     .arg((minutes / 60) % 24, 2, 10, QLatin1Char('0'))
                     .arg(minutes % 60, 2, 10, QLatin1Char('0'));
        s.call = QString::fromLatin1(calls[i % 6]);
        s.mhz = QString::fromLatin1(mhz[i % 8]);
        s.snr = QString::number(-30 + i % 40);
        s.reporter = QString::fromLatin1(calls[(i / 6 + 1) % 6]) + QString::number(i % 10);
        s.km = QString::number(100 + (i * 37) % 9000);
        s.miles = QString::number((100 + (i * 37) % 9000) * 621 / 1000);
        spots.push_back(s);
    }
    return spots;
}

} // namespace beamtide::test
