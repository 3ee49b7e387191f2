#include "retrieval/SpotParser.h"

#include "base/TextFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

using std::string_view;

constexpr char kNbsp[] = "&nbsp";
constexpr char kRowEnd[] = "</tr>";
constexpr char kTableEnd[] = "</table>";
constexpr char kNoPosts[] = "No posts found!";

string_view view(QByteArrayView bytes)
{
    return {bytes.data(), size_t(bytes.size())};
}

// Inline for the short fixed words the row scan compares at almost every tag.
template <size_t N>
bool matchesAt(string_view text, qsizetype at, const char (&word)[N])
{
    constexpr size_t size = N - 1;
    return size_t(at) + size <= text.size() && std::memcmp(text.data() + at, word, size) == 0;
}

// The bytes of a row that matter, for the 16 bytes from one position: bit k stands for
// the byte at position + k. Bytes past the end of the line give no bits.
struct ChunkMasks
{
    unsigned valid = 0;     // bytes inside the line
    unsigned semicolon = 0; // ";": ends a piece
    unsigned ampersand = 0; // "&": may start "&nbsp"
    unsigned angle = 0;     // "<" or ">": markup
    unsigned closing = 0;   // "</": may start "</tr>" or "</table>"
};

ChunkMasks chunkMasks(const char* data, qsizetype size, qsizetype at)
{
    ChunkMasks m;
#if defined(__SSE2__)
    if (at + 17 <= size) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
        const __m128i open = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<'));
        auto bits = [](__m128i hits) { return unsigned(_mm_movemask_epi8(hits)); };
        m.valid = 0xffff;
        m.semicolon = bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(';')));
        m.ampersand = bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('&')));
        m.angle = bits(_mm_or_si128(open, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))));
        m.closing = bits(_mm_and_si128(open, _mm_cmpeq_epi8(next, _mm_set1_epi8('/'))));
        return m;
    }
#endif
    const int count = int(std::min<qsizetype>(16, size - at));
    for (int k = 0; k < count; ++k) {
        const unsigned bit = 1u << k;
        const char c = data[at + k];
        m.valid |= bit;
        if (c == ';')
            m.semicolon |= bit;
        else if (c == '&')
            m.ampersand |= bit;
        else if (c == '>')
            m.angle |= bit;
        else if (c == '<') {
            m.angle |= bit;
            if (at + k + 1 < size && data[at + k + 1] == '/')
                m.closing |= bit;
        }
    }
    return m;
}

// Appends the fields of one row line to `out`: pieces end at ";", a piece's text is cut
// before its first "&nbsp", and text holding "<" or ">" is markup. The fields end with the
// piece that holds "</tr>". True when `wantTableEnd` and the line holds "</table>".
// Each piece is read once, 16 bytes at a time.
bool scanRow(string_view line, std::string& out, bool wantTableEnd)
{
    const char* data = line.data();
    const qsizetype size = qsizetype(line.size());
    constexpr qsizetype nbsp = sizeof(kNbsp) - 1;
    bool tableEnd = false;
    bool cellOpened = false; // the previous piece was markup ending in the entity
    qsizetype start = 0;
    while (start <= size) {
        qsizetype end = size;
        qsizetype cut = -1;
        qsizetype rowEnd = -1;
        bool markup = false;
        for (qsizetype at = start; at < size && rowEnd < 0 && end == size; at += 16) {
            const ChunkMasks m = chunkMasks(data, size, at);
            unsigned inPiece = m.valid;
            if (m.semicolon) {
                const int k = std::countr_zero(m.semicolon);
                end = at + k;
                inPiece &= (1u << k) - 1;
            }
            if (cut < 0) {
                for (unsigned a = m.ampersand & inPiece; a; a &= a - 1) {
                    const qsizetype candidate = at + std::countr_zero(a);
                    if (matchesAt(line, candidate, kNbsp)) {
                        cut = candidate;
                        break;
                    }
                }
                const unsigned kept = cut < 0 ? inPiece : inPiece & ((1u << (cut - at)) - 1);
                markup = markup || (m.angle & kept) != 0;
            }
            for (unsigned c = m.closing & inPiece; c; c &= c - 1) {
                const qsizetype tag = at + std::countr_zero(c);
                if (matchesAt(line, tag, kRowEnd)) {
                    rowEnd = tag;
                    break;
                }
                tableEnd = tableEnd || (wantTableEnd && matchesAt(line, tag, kTableEnd));
            }
        }
        // A piece that ends the row before any entity is markup: its "<" comes first.
        const qsizetype keptEnd = cut >= 0 ? cut : end;
        if (keptEnd > start) {
            if (!markup) {
                out.append(data + start, size_t(keptEnd - start));
                out += ',';
            }
        } else if (cellOpened && end - start == nbsp) {
            // Two entities with nothing between: an empty cell. It keeps its place as an
            // empty field so the fields after it are not shifted.
            out += ',';
        }
        cellOpened = cut >= 0 && cut + nbsp == end && markup;
        if (rowEnd >= 0)
            return wantTableEnd && (tableEnd || line.find(kTableEnd, size_t(rowEnd)) != string_view::npos);
        start = end + 1;
    }
    return tableEnd;
}

QString decodeSpotLine(const std::string& bytes)
{
    return QString::fromUtf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

QString RowToSpotLine(QByteArrayView rowLine)
{
    std::string spot;
    scanRow(view(rowLine), spot, false);
    return decodeSpotLine(spot);
}

ParseResult ParseSpotPage(QByteArrayView page, QStringList& spots)
{
    ParseResult result;
    auto finish = [&] {
        result.completed = true;
        result.entries = int(spots.size());
        return result;
    };

    if (countLines(page, 102) <= 101)
        return finish();

    // "No posts found!" anywhere in the page means no rows.
    if (view(page).find(kNoPosts) != string_view::npos) {
        result.noPosts = true;
        result.entries = int(spots.size());
        return result;
    }

    // The landmarks, each searched from the line after the one before; the first line is
    // never looked at. A page that ends before one ends the scan there.
    ByteLines lines(page);
    lines.next();
    auto skipTo = [&lines](auto found) {
        while (const auto line = lines.next())
            if (found(view(*line)))
                return true;
        return false;
    };
    auto holds = [](string_view word) {
        return [word](string_view line) { return line.find(word) != string_view::npos; };
    };
    const bool rowsFollow =
        skipTo(holds("<table style=\"font-family: monospace;"))
        && skipTo(holds(kRowEnd))
        && skipTo([](string_view line) {
               return line.find("href=\"olddb?sort=", 1) != string_view::npos;
           })
        && skipTo(holds(kRowEnd));
    if (!rowsFollow) {
        result.incomplete = true;
        return finish();
    }

    // The first line after the header is always examined; later ones up to "</table>".
    static constexpr string_view rowStart = "<tr id=\"";
    std::string spot;
    bool first = true;
    bool tableEnded = false;
    while (const auto bytes = lines.next()) {
        const string_view line = view(*bytes);
        if (line.starts_with(rowStart)) {
            spot.clear();
            if (scanRow(line, spot, !first)) {
                tableEnded = true;
                break;
            }
            spots.append(decodeSpotLine(spot));
        } else if (!first && line.find(kTableEnd) != string_view::npos) {
            tableEnded = true;
            break;
        }
        first = false;
    }
    result.incomplete = !tableEnded;
    return finish();
}

} // namespace beamtide
