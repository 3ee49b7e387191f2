#pragma once

#include <QDateTime>
#include <QStringView>
#include <QVector>

#include <optional>

namespace beamtide {

// A position on the Earth in degrees: latitude north positive, longitude east positive,
// longitude in [-180, 180].
struct GeoPoint
{
    double lat = 0;
    double lon = 0;
    friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

inline constexpr double kEarthRadiusKm = 6371.0;

// The centre of a Maidenhead locator of 2, 4 or 6 characters ("FN", "FN20", "FN20xr"),
// case ignored, blanks around it ignored. Any other text, a wrong length or a letter or
// digit out of its range gives nothing: a spot without a readable locator has no place.
std::optional<GeoPoint> locatorCentre(QStringView locator);

// Great-circle distance on a sphere of the Earth's mean radius.
double haversineKm(const GeoPoint& a, const GeoPoint& b);

// The great-circle path from a to b as pieces of points about maxStepDegrees of arc apart.
// The path is cut where it crosses the ±180° meridian: the first piece ends on one edge and
// the next begins at the same latitude on the other, so no piece runs across the map.
// A path to the same point is one piece of that point twice.
using GeoPiece = QVector<GeoPoint>;
QVector<GeoPiece> greatCirclePath(const GeoPoint& a, const GeoPoint& b, double maxStepDegrees = 1.0);

// The point where the sun stands overhead at a UTC time (accurate to a few hundredths of
// a degree in this century, plenty for drawing the day and the night).
GeoPoint subSolarPoint(const QDateTime& utc);

// The sun's height above the horizon, in degrees, seen from p when it stands over subSolar.
// Below 0 is night; 0 to -12 the greyline's twilight.
double sunElevation(const GeoPoint& p, const GeoPoint& subSolar);

} // namespace beamtide
