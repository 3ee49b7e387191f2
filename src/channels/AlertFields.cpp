#include "channels/AlertFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

namespace beamtide {

AlertFields AlertFields::fromLine(const QString& line)
{
    AlertFields a;
    a.line = line;
    const QStringList parts = line.split(u',');
    if (parts.size() != 6)
        return a;
    a.time = QDateTime::fromString(parts[0].trimmed(), QStringLiteral("yyyy-MM-dd HH:mm"));
    if (a.time.isValid())
        a.time.setTimeSpec(Qt::UTC);
    a.call = parts[1].trimmed();
    bool ok = false;
    const double mhz = parts[2].trimmed().toDouble(&ok);
    if (ok)
        a.mhz = mhz;
    QString snr = parts[3].trimmed();
    snr.remove(QStringLiteral("dBm"));
    const int snrValue = snr.toInt(&ok);
    if (ok)
        a.snr = snrValue;
    a.reporter = parts[4].trimmed();
    QString km = parts[5].trimmed();
    if (km.endsWith(u'.'))
        km.chop(1);
    if (km.endsWith(QStringLiteral("Km")))
        km.chop(2);
    const int kmValue = km.toInt(&ok);
    if (ok)
        a.km = kmValue;
    return a;
}

const QStringList& placeholderNames()
{
    static const QStringList names{
        QStringLiteral("line"),     QStringLiteral("time"),  QStringLiteral("band"),
        QStringLiteral("call"),     QStringLiteral("grid"),  QStringLiteral("reporter"),
        QStringLiteral("rgrid"),    QStringLiteral("km"),    QStringLiteral("snr"),
        QStringLiteral("mhz"),      QStringLiteral("dbm"),   QStringLiteral("source"),
        QStringLiteral("instance")};
    return names;
}

namespace {

QJsonValue text(const QString& s)
{
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

template <typename T>
QJsonValue number(const std::optional<T>& n)
{
    return n ? QJsonValue(double(*n)) : QJsonValue(QJsonValue::Null);
}

// Each placeholder's value as JSON; its text is the string or the number as written.
QJsonValue valueOf(const AlertFields& a, const QString& name)
{
    if (name == u"line")
        return text(a.line);
    if (name == u"time")
        return text(a.time.isValid() ? a.time.toUTC().toString(Qt::ISODate) : QString());
    if (name == u"band")
        return text(a.band);
    if (name == u"call")
        return text(a.call);
    if (name == u"grid")
        return text(a.grid);
    if (name == u"reporter")
        return text(a.reporter);
    if (name == u"rgrid")
        return text(a.rgrid);
    if (name == u"km")
        return number(a.km);
    if (name == u"snr")
        return number(a.snr);
    if (name == u"mhz")
        return number(a.mhz);
    if (name == u"dbm")
        return number(a.dbm);
    if (name == u"source")
        return text(a.source);
    if (name == u"instance")
        return text(a.instance);
    return QJsonValue(QJsonValue::Undefined);
}

// A JSON value as compact text: "K1\"X" with its quotes, 14.097, null.
QByteArray jsonText(const QJsonValue& v)
{
    QByteArray array = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QString plainText(const QJsonValue& v)
{
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::fromUtf8(jsonText(v));
    return {};
}

} // namespace

QByteArray defaultAlertJson(const AlertFields& alert)
{
    // Built by hand to keep the members in the placeholders' order.
    QByteArray out = "{";
    for (const QString& name : placeholderNames()) {
        if (out.size() > 1)
            out += ',';
        out += jsonText(name) + ':' + jsonText(valueOf(alert, name));
    }
    return out + '}';
}

TemplateUse bodyUse(const QString& pattern)
{
    for (const QChar c : pattern) {
        if (c.isSpace())
            continue;
        return c == u'{' || c == u'[' ? TemplateUse::Json : TemplateUse::Form;
    }
    return TemplateUse::Form;
}

Expansion expandTemplate(const QString& pattern, const AlertFields& alert, TemplateUse use)
{
    Expansion out;
    bool inString = false; // within a JSON string of the template
    qsizetype i = 0;
    const qsizetype n = pattern.size();
    QString literal;
    const auto flush = [&] {
        out.text += literal.toUtf8();
        literal.clear();
    };
    while (i < n) {
        const QChar c = pattern[i];
        if (c == u'{') {
            qsizetype j = i + 1;
            while (j < n && pattern[j].isLetter() && pattern[j].unicode() < 128)
                ++j;
            if (j > i + 1 && j < n && pattern[j] == u'}') {
                const QString name = pattern.mid(i + 1, j - i - 1);
                const QJsonValue value = valueOf(alert, name);
                if (value.isUndefined()) {
                    if (!out.unknown.contains(name))
                        out.unknown << name;
                    literal += pattern.mid(i, j - i + 1);
                } else {
                    flush();
                    switch (use) {
                    case TemplateUse::Json:
                        if (inString) {
                            const QByteArray quoted = jsonText(QJsonValue(plainText(value)));
                            out.text += quoted.mid(1, quoted.size() - 2);
                        } else {
                            out.text += jsonText(value);
                        }
                        break;
                    case TemplateUse::Form:
                    case TemplateUse::Url:
                        out.text += QUrl::toPercentEncoding(plainText(value));
                        break;
                    }
                }
                i = j + 1;
                continue;
            }
        }
        if (use == TemplateUse::Json) {
            if (c == u'"') {
                inString = !inString;
            } else if (c == u'\\' && inString && i + 1 < n) {
                literal += c;
                literal += pattern[i + 1];
                i += 2;
                continue;
            }
        }
        literal += c;
        ++i;
    }
    flush();
    return out;
}

} // namespace beamtide
