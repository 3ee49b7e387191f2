#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace beamtide::test {

// One spot as the report page prints it; the cells are written in this order.
struct PageSpot
{
    QString time = QStringLiteral("2024-05-01 10:24");
    QString call = QStringLiteral("VK2XYZ");
    QString mhz = QStringLiteral("14.097100");
    QString snr = QStringLiteral("-12");
    QString drift = QStringLiteral("0");
    QString grid = QStringLiteral("QF56");
    QString dbm = QStringLiteral("37");
    QString watts = QStringLiteral("5.012");
    QString reporter = QStringLiteral("VK3ABC");
    QString rgrid = QStringLiteral("QF22");
    QString km = QStringLiteral("712");
    QString miles = QStringLiteral("442");
    QStringList extra; // newer pages: Mode, Version

    QString spotLine() const; // what the parser makes of the row
};

// A row line as the page writes it.
QString cellsRow(const QStringList& cells, bool even = true);
QString spotRow(const PageSpot& spot, bool even = true);

// A whole report page around the rows: about 100 lines of head, the table start, the
// form row, the header with its sort links, the rows, the table end and a tail.
QString reportPage(const QStringList& rowLines);
QString reportPage(const std::vector<PageSpot>& spots);

// A page of 100 assorted spots as the server sends it, the call of the 51st being 3 MB long.
QByteArray hugeCellPage();

// n spots on assorted bands, reporters and distances, newest first.
std::vector<PageSpot> assortedSpots(int n);

} // namespace beamtide::test
