#include "retrieval/SpotParser.h"

#include <array>

namespace beamtide {

QStringView GetFieldView(QStringView text, QChar separator, int n)
{
    if (n <= 0)
        return {};
    qsizetype start = 0;
    for (int k = 1;; ++k) {
        const qsizetype at = text.indexOf(separator, start);
        if (at < 0)
            return k == n ? text.mid(start) : QStringView();
        if (k == n)
            return text.mid(start, at - start);
        start = at + 1;
    }
}

QString GetField(QStringView text, QChar separator, int n)
{
    return GetFieldView(text, separator, n).toString();
}

namespace {

bool matchesAt(const QChar* data, qsizetype size, qsizetype at, QStringView word)
{
    if (at + word.size() > size)
        return false;
    for (qsizetype k = 1; k < word.size(); ++k)
        if (data[at + k] != word[k])
            return false;
    return true;
}

constexpr auto kSpecial = [] {
    std::array<bool, 128> table{};
    for (char c : {';', '<', '>', '&', 'N'})
        table[size_t(c)] = true;
    return table;
}();

struct RowScan
{
    QString spotLine;
    bool tableEnd = false; // the line holds "</table>"
    bool noPosts = false;  // the line holds "No posts found!"
};

// One pass over a row line: pieces end at ";", a piece's text is cut before its first
// "&nbsp", and text holding "<" or ">" is markup. The spot line ends with the piece that
// holds "</tr>"; the rest of the line is only looked at for the two page landmarks.
RowScan scanRow(QStringView line, bool wantLandmarks)
{
    static constexpr QStringView nbsp = u"&nbsp";
    static constexpr QStringView trEnd = u"</tr>";
    static constexpr QStringView tableEnd = u"</table>";
    static constexpr QStringView noPosts = u"No posts found!";

    const QChar* data = line.data();
    const qsizetype size = line.size();
    RowScan scan;
    QString& result = scan.spotLine;
    result.reserve(size / 4);

    bool rowDone = false;
    bool cellOpened = false; // the previous piece was markup ending in the entity
    qsizetype start = 0;
    while (start <= size) {
        qsizetype cut = -1;
        bool markup = false;
        bool endsRow = false;
        qsizetype i = start;
        for (; i < size; ++i) {
            const char16_t c = data[i].unicode();
            // Most characters are plain text; one table look-up passes them over.
            if (c >= 128 || !kSpecial[c])
                continue;
            if (c == u';')
                break;
            if (c == u'<') {
                if (cut < 0)
                    markup = true;
                if (i + 1 < size && data[i + 1] == u'/') {
                    if (matchesAt(data, size, i, trEnd))
                        endsRow = true;
                    else if (wantLandmarks && matchesAt(data, size, i, tableEnd))
                        scan.tableEnd = true;
                }
            } else if (c == u'>') {
                if (cut < 0)
                    markup = true;
            } else if (c == u'&') {
                if (cut < 0 && matchesAt(data, size, i, nbsp))
                    cut = i;
            } else if (wantLandmarks && matchesAt(data, size, i, noPosts)) {
                scan.noPosts = true;
            }
        }
        const qsizetype end = i;
        if (!rowDone) {
            const qsizetype keptEnd = cut < 0 ? end : cut;
            if (keptEnd > start) {
                if (!markup) {
                    result += line.mid(start, keptEnd - start);
                    result += u',';
                }
            } else if (cellOpened && end - start == nbsp.size()) {
                // Two entities with nothing between: an empty cell. It keeps its place as
                // an empty field so the fields after it are not shifted.
                result += u',';
            }
            cellOpened = cut >= 0 && cut + nbsp.size() == end && markup;
            if (endsRow) {
                rowDone = true;
                if (!wantLandmarks)
                    break;
            }
        }
        start = end + 1;
    }
    return scan;
}

qsizetype findFrom(const QStringList& lines, qsizetype from, QStringView needle)
{
    for (qsizetype i = from; i < lines.size(); ++i)
        if (lines[i].contains(needle))
            return i;
    return -1;
}

bool anyContains(const QStringList& lines, qsizetype from, qsizetype to, QStringView needle)
{
    for (qsizetype i = from; i < to; ++i)
        if (lines[i].contains(needle))
            return true;
    return false;
}

} // namespace

QString RowToSpotLine(QStringView rowLine)
{
    return scanRow(rowLine, false).spotLine;
}

ParseResult ParseSpotPage(const QStringList& lines, QStringList& spots)
{
    static constexpr QStringView noPosts = u"No posts found!";
    ParseResult result;
    auto finish = [&] {
        result.completed = true;
        result.entries = int(spots.size());
        return result;
    };

    if (lines.size() <= 101)
        return finish();

    // The landmarks; a page that ends before one ends the scan there.
    const qsizetype tableStart = findFrom(lines, 1, u"<table style=\"font-family: monospace;");
    const qsizetype firstRowEnd = tableStart < 0 ? -1 : findFrom(lines, tableStart + 1, u"</tr>");
    qsizetype header = -1;
    if (firstRowEnd >= 0) {
        for (qsizetype i = firstRowEnd + 1; i < lines.size() && header < 0; ++i)
            if (lines[i].indexOf(u"href=\"olddb?sort=", 1) > 0)
                header = i;
    }
    qsizetype headerEnd = -1;
    if (header >= 0) {
        for (qsizetype i = header; i + 1 < lines.size(); ++i) {
            if (lines[i + 1].contains(u"</tr>")) {
                headerEnd = i + 1;
                break;
            }
        }
    }

    // "No posts found!" anywhere in the page means no rows. The row lines are searched by
    // the row scan itself, every other line here.
    const qsizetype firstRow = headerEnd < 0 ? lines.size() : headerEnd + 1;
    const qsizetype spotsBefore = spots.size();
    auto noPostsFound = [&] {
        spots.resize(spotsBefore);
        result.noPosts = true;
        result.entries = int(spots.size());
        return result;
    };
    if (anyContains(lines, 0, firstRow, noPosts))
        return noPostsFound();
    if (headerEnd < 0) {
        result.incomplete = true;
        return finish();
    }

    static constexpr QStringView rowStart = u"<tr id=\"";
    bool tableEnded = false;
    qsizetype i = firstRow;
    for (; i < lines.size(); ++i) {
        const QString& line = lines[i];
        // The first line after the header is always examined; later ones up to "</table>".
        if (line.startsWith(rowStart)) {
            RowScan scan = scanRow(line, true);
            if (scan.noPosts)
                return noPostsFound();
            if (scan.tableEnd && i > firstRow) {
                tableEnded = true;
                break;
            }
            spots.append(std::move(scan.spotLine));
        } else {
            if (line.contains(noPosts))
                return noPostsFound();
            if (line.contains(u"</table>") && i > firstRow) {
                tableEnded = true;
                break;
            }
        }
    }
    if (anyContains(lines, i, lines.size(), noPosts))
        return noPostsFound();
    result.incomplete = !tableEnded;
    return finish();
}

} // namespace beamtide
