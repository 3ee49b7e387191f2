#include "map/Geo.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace beamtide {

namespace {

constexpr double kPi = std::numbers::pi;

double radians(double degrees) { return degrees * kPi / 180.0; }
double degrees(double radians) { return radians * 180.0 / kPi; }

// Into [-180, 180).
double wrapLongitude(double lon)
{
    lon = std::fmod(lon + 180.0, 360.0);
    if (lon < 0)
        lon += 360.0;
    return lon - 180.0;
}

using Vec = std::array<double, 3>;

Vec unitVector(const GeoPoint& p)
{
    const double lat = radians(p.lat);
    const double lon = radians(p.lon);
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

GeoPoint pointOf(const Vec& v)
{
    const double norm = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double z = std::clamp(v[2] / norm, -1.0, 1.0);
    return {degrees(std::asin(z)), degrees(std::atan2(v[1], v[0]))};
}

double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec cross(const Vec& a, const Vec& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vec& v) { return std::sqrt(dot(v, v)); }

} // namespace

std::optional<GeoPoint> locatorCentre(QStringView locator)
{
    const QString text = locator.trimmed().toString().toUpper();
    const qsizetype size = text.size();
    if (size != 2 && size != 4 && size != 6)
        return std::nullopt;
    const auto in = [&text](qsizetype i, char16_t first, char16_t last) {
        const char16_t c = text[i].unicode();
        return c >= first && c <= last;
    };
    const auto at = [&text](qsizetype i, char16_t first) { return text[i].unicode() - first; };

    if (!in(0, u'A', u'R') || !in(1, u'A', u'R'))
        return std::nullopt;
    double lon = -180.0 + 20.0 * at(0, u'A');
    double lat = -90.0 + 10.0 * at(1, u'A');
    double width = 20.0;
    double height = 10.0;
    if (size >= 4) {
        if (!in(2, u'0', u'9') || !in(3, u'0', u'9'))
            return std::nullopt;
        lon += 2.0 * at(2, u'0');
        lat += 1.0 * at(3, u'0');
        width = 2.0;
        height = 1.0;
    }
    if (size == 6) {
        if (!in(4, u'A', u'X') || !in(5, u'A', u'X'))
            return std::nullopt;
        width = 2.0 / 24.0;
        height = 1.0 / 24.0;
        lon += width * at(4, u'A');
        lat += height * at(5, u'A');
    }
    return GeoPoint{lat + height / 2.0, lon + width / 2.0};
}

double haversineKm(const GeoPoint& a, const GeoPoint& b)
{
    const double dLat = radians(b.lat - a.lat);
    const double dLon = radians(b.lon - a.lon);
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(radians(a.lat)) * std::cos(radians(b.lat)) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2.0 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

QVector<GeoPiece> greatCirclePath(const GeoPoint& a, const GeoPoint& b, double maxStepDegrees)
{
    const Vec u = unitVector(a);
    Vec v = unitVector(b);
    const double angle = std::atan2(length(cross(u, v)), dot(u, v));
    if (angle < 1e-12)
        return {GeoPiece{a, a}};

    // w: the unit vector at right angles to u in the plane of the path. For antipodes every
    // great circle is a shortest path; the one over the nearer pole is taken.
    Vec w = cross(cross(u, v), u);
    if (length(w) < 1e-9)
        w = cross(cross(u, Vec{0, 0, a.lat >= 0 ? 1.0 : -1.0}), u);
    if (length(w) < 1e-9) // a pole to the other pole: any meridian will do
        w = {1, 0, 0};
    const double wl = length(w);
    w = {w[0] / wl, w[1] / wl, w[2] / wl};

    const int steps = std::max(1, int(std::ceil(degrees(angle) / std::max(maxStepDegrees, 0.01))));
    QVector<GeoPiece> pieces(1);
    pieces.back().reserve(steps + 1);
    GeoPoint previous = a;
    pieces.back().append(a);
    for (int i = 1; i <= steps; ++i) {
        GeoPoint p = b;
        if (i < steps) {
            const double t = angle * i / steps;
            p = pointOf({u[0] * std::cos(t) + w[0] * std::sin(t),
                         u[1] * std::cos(t) + w[1] * std::sin(t),
                         u[2] * std::cos(t) + w[2] * std::sin(t)});
        }
        if (std::abs(p.lon - previous.lon) > 180.0) {
            // Crossing the ±180° meridian: end this piece on its edge, start the next at the
            // same latitude on the other edge.
            const double edge = previous.lon > 0 ? 180.0 : -180.0;
            const double toEdge = edge - previous.lon;
            const double span = toEdge + (p.lon - (-edge));
            const double f = span == 0 ? 0.5 : toEdge / span;
            const double lat = previous.lat + (p.lat - previous.lat) * f;
            pieces.back().append({lat, edge});
            pieces.append(GeoPiece{{lat, -edge}});
        }
        pieces.back().append(p);
        previous = p;
    }
    return pieces;
}

GeoPoint subSolarPoint(const QDateTime& utc)
{
    // Days from the J2000.0 epoch (2000-01-01 12:00 UTC).
    const double n = double(utc.toMSecsSinceEpoch()) / 86400000.0 + 2440587.5 - 2451545.0;
    const double meanLongitude = 280.460 + 0.9856474 * n;
    const double meanAnomaly = radians(357.528 + 0.9856003 * n);
    const double eclipticLongitude = radians(meanLongitude + 1.915 * std::sin(meanAnomaly)
                                             + 0.020 * std::sin(2 * meanAnomaly));
    const double obliquity = radians(23.439 - 0.0000004 * n);
    const double declination = std::asin(std::sin(obliquity) * std::sin(eclipticLongitude));
    const double rightAscension = std::atan2(std::cos(obliquity) * std::sin(eclipticLongitude),
                                             std::cos(eclipticLongitude));
    const double siderealTime = 280.46061837 + 360.98564736629 * n;
    return {degrees(declination), wrapLongitude(degrees(rightAscension) - siderealTime)};
}

double sunElevation(const GeoPoint& p, const GeoPoint& subSolar)
{
    const double s = dot(unitVector(p), unitVector(subSolar));
    return degrees(std::asin(std::clamp(s, -1.0, 1.0)));
}

} // namespace beamtide
