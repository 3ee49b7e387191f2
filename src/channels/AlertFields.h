#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace beamtide {

// One announced alert as the channels send it. The alert line gives the time, call, MHz,
// SNR, reporter and distance; the other fields come from the spot behind the line when it
// is on screen, and stay empty otherwise.
struct AlertFields
{
    QString line;       // the alert line as recorded
    QDateTime time;     // UTC
    QString band;       // "20m"; empty when the frequency is outside the band table
    QString call;
    QString grid;
    QString reporter;
    QString rgrid;
    std::optional<int> km;
    std::optional<int> snr;
    std::optional<double> mhz;
    std::optional<int> dbm;
    QString source;
    QString instance;

    // The fields the alert line itself holds ("yyyy-MM-dd hh:mm,call,MHz,SNRdBm,reporter,
    // kmKm. "); a line of another shape gives the line alone.
    static AlertFields fromLine(const QString& line);
};

// The placeholders of a template, each named as in "{call}", in the default JSON's order.
const QStringList& placeholderNames();

// The default body: one member per placeholder, numbers as numbers, empty fields as null.
QByteArray defaultAlertJson(const AlertFields& alert);

// Where a template's text goes, which decides how each value is escaped.
enum class TemplateUse {
    Json, // inside a string: JSON-escaped; outside one: a JSON value (number, string or null)
    Form, // application/x-www-form-urlencoded: percent-encoded
    Url,  // percent-encoded
};

struct Expansion
{
    QByteArray text;
    QStringList unknown; // placeholders not known, left as they stand; each named once
};

Expansion expandTemplate(const QString& pattern, const AlertFields& alert, TemplateUse use);

// A body template reads as JSON when its first character that is no blank opens an object
// or an array; otherwise it is a form.
TemplateUse bodyUse(const QString& pattern);

} // namespace beamtide
