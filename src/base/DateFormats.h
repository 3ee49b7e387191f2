#pragma once

#include <QDateTime>
#include <QString>

namespace beamtide {

// The program's date and time texts: dates "yyyy-mm-dd", short times "hh:mm".
// The long time format (clock fields, log stamps) is "hh:mm:ss" here for every user.
QString longTime(const QTime& time);
QString shortDate(const QDate& date);
// "yyyy-mm-dd hh:mm:ss", with the time left out at exactly midnight.
QString dateTimeText(const QDateTime& dateTime);

// Reads "yyyy-mm-dd hh:mm" (seconds optional); an invalid QDateTime when it cannot.
QDateTime readDateTime(QStringView text);

} // namespace beamtide
