#include "base/CsvField.h"

#include <QRegularExpression>

#include <algorithm>

namespace beamtide {

QString csvField(const QString& field)
{
    // A spreadsheet runs a cell that starts like a formula ("=HYPERLINK(...)", "@SUM(...)"),
    // and page text goes into these cells: such text gets a leading apostrophe. Numbers such
    // as "-21" or "+37" stay numbers.
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    QString text = field;
    if (!text.isEmpty() && formulaStarts.contains(text.front()) && !number.match(text).hasMatch())
        text.prepend(u'\'');
    const bool quote = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() <= u' ' || c == u'"' || c == u',';
    });
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace beamtide
