#include "retrieval/SpotParser.h"

#include "base/TextFile.h"

#include <algorithm>
#include <optional>
#include <bit>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>
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

// A short fixed word the row scan compares at almost every tag, ready for one 8-byte
// load and a masked compare.
struct Word
{
    const char* text;
    size_t size;
    std::uint64_t bits = 0; // the bytes, the first in the lowest
    std::uint64_t mask = 0;

    constexpr Word(const char* word, size_t length) : text(word), size(length)
    {
        for (size_t k = 0; k < size && k < 8; ++k) {
            bits |= std::uint64_t(std::uint8_t(word[k])) << (8 * k);
            mask |= std::uint64_t(0xff) << (8 * k);
        }
    }
};

constexpr Word kNbspWord(kNbsp, sizeof(kNbsp) - 1);
constexpr Word kRowEndWord(kRowEnd, sizeof(kRowEnd) - 1);
constexpr Word kTableEndWord(kTableEnd, sizeof(kTableEnd) - 1);

inline bool matchesAt(string_view text, qsizetype at, const Word& word)
{
    if (std::endian::native == std::endian::little && word.size <= 8 && size_t(at) + 8 <= text.size()) {
        std::uint64_t got;
        std::memcpy(&got, text.data() + at, 8);
        return (got & word.mask) == word.bits;
    }
    return size_t(at) + word.size <= text.size()
           && std::memcmp(text.data() + at, word.text, word.size) == 0;
}

// The bytes of a row line that matter, for the 64 bytes from a multiple of 64: bit k
// stands for the byte at base + k. Bytes past the end of the line give no bits.
struct BlockMasks
{
    std::uint64_t valid = 0;     // bytes inside the line
    std::uint64_t semicolon = 0; // ";": ends a piece
    std::uint64_t ampersand = 0; // "&": may start "&nbsp"
    std::uint64_t angle = 0;     // "<" or ">": markup
    std::uint64_t closing = 0;   // "</": may start "</tr>" or "</table>"
};

BlockMasks blockMasks(const char* data, qsizetype size, qsizetype base)
{
    BlockMasks m;
    const int count = int(std::min<qsizetype>(64, size - base));
    std::uint64_t open = 0;
    std::uint64_t slash = 0;
    int k = 0;
#if defined(__SSE2__)
    auto bits = [](__m128i hits) { return std::uint64_t(unsigned(_mm_movemask_epi8(hits))); };
    for (; k + 16 <= count; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base + k));
        const __m128i lt = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<'));
        m.semicolon |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(';'))) << k;
        m.ampersand |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('&'))) << k;
        m.angle |= bits(_mm_or_si128(lt, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>')))) << k;
        open |= bits(lt) << k;
        slash |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('/'))) << k;
    }
#endif
    for (; k < count; ++k) {
        const std::uint64_t bit = std::uint64_t(1) << k;
        switch (data[base + k]) {
        case ';': m.semicolon |= bit; break;
        case '&': m.ampersand |= bit; break;
        case '>': m.angle |= bit; break;
        case '<': m.angle |= bit; open |= bit; break;
        case '/': slash |= bit; break;
        default: break;
        }
    }
    m.valid = count == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << count) - 1;
    // Every "</" may start "</tr>" or "</table>"; a "<" in the last byte has its "/" in the
    // next block, so it stays a candidate and the compare that follows decides.
    const std::uint64_t unknown = count == 64 ? std::uint64_t(1) << 63 : 0;
    m.closing = open & ((slash >> 1) | unknown);
    return m;
}

// One table row line made into the bytes of its spot line: pieces end at ";", a piece's
// text is cut before its first "&nbsp", and text holding "<" or ">" is markup. The fields
// end with the piece that holds "</tr>". Each 64-byte block of the line is looked at once:
// the pieces that end in it are taken from its masks, and a piece that goes on into the
// next block carries what was learnt so far.
class RowScan final
{
public:
    static inline bool s_plainRows = true;

    // `buffer` is reused from row to row.
    RowScan(string_view line, std::vector<char>& buffer, bool wantTableEnd)
        : m_line(line), m_size(qsizetype(line.size())), m_wantTableEnd(wantTableEnd)
    {
        // A spot line is never longer than its row line and one comma; 16 bytes more let
        // a short field be copied with one 16-byte move.
        const size_t room = line.size() + 1 + 16;
        if (buffer.size() < room)
            buffer.resize(room);
        m_out = buffer.data();
        m_outStart = m_out;
    }

    // Runs the scan; true when `wantTableEnd` and the line holds "</table>".
    bool run()
    {
        if (s_plainRows) {
            if (const std::optional<bool> tableEnd = plainRow())
                return *tableEnd;
        }
        m_out = m_outStart;
        for (qsizetype base = 0; base < m_size; base += 64) {
            const BlockMasks block = blockMasks(m_line.data(), m_size, base);
            for (std::uint64_t ends = block.semicolon; ends; ends &= ends - 1) {
                const int k = std::countr_zero(ends);
                if (take(block, base, (std::uint64_t(1) << k) - 1))
                    return finishRow();
                endPiece(base + k);
            }
            if (take(block, base, block.valid))
                return finishRow();
        }
        endPiece(m_size);
        return m_tableEnd;
    }

    string_view spot() const { return {m_outStart, size_t(m_out - m_outStart)}; }

private:
    // Almost every row is `<tr ...><td ...>&nbsp;TEXT&nbsp;</td><td ...>&nbsp;TEXT&nbsp;</td>
    // ...</td></tr>` with the same cell opening each time and text free of ";", "&", "<" and
    // ">". Such a row gives the same spot line as the piece scan below, with far less work:
    // the openings are compared whole and each text is searched 16 bytes at a time. Any other
    // row gives nothing here, and the piece scan takes it from its start.
    std::optional<bool> plainRow()
    {
        const char* const begin = m_line.data();
        const char* const end = begin + m_size;
        static constexpr Word kOpen("<td", 3);
        static constexpr Word kNbspEnd("&nbsp;", 6);
        static constexpr Word kCellEnd("</td>", 5);
        // The row's tag, then the first cell's opening up to its "&nbsp;".
        const char* p = static_cast<const char*>(std::memchr(begin, '>', size_t(m_size)));
        if (!p || hasAny(begin, p, '&') || holdsClosing(begin, p + 1))
            return std::nullopt;
        ++p;
        const char* const opening = p;
        const char* amp = static_cast<const char*>(std::memchr(p, '&', size_t(end - p)));
        if (!amp || !startsWith(p, end, kOpen) || hasAny(p, amp, ';')
            || !startsWith(amp, end, kNbspEnd))
            return std::nullopt;
        // An opening that could end the row or the table is left to the piece scan.
        if (holdsClosing(opening, amp))
            return std::nullopt;
        const string_view open(opening, size_t(amp - opening) + kNbspEnd.size);
        if (open.size() > 32)
            return std::nullopt;
#if defined(__SSE2__)
        // The opening, compared 32 bytes at a time; the bytes past it do not count.
        char padded[32] = {};
        std::memcpy(padded, open.data(), open.size());
        const __m128i want0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded));
        const __m128i want1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded + 16));
        const std::uint32_t need = open.size() == 32 ? ~0u : (1u << open.size()) - 1;
        const auto opensCell = [&](const char* at) {
            if (end - at < 32)
                return startsWith(at, end, open);
            const __m128i got0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i got1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16));
            const std::uint32_t equal =
                std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(got0, want0)))
                | (std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(got1, want1))) << 16);
            return (equal & need) == need;
        };
#else
        const auto opensCell = [&](const char* at) { return startsWith(at, end, open); };
#endif
        p = amp + kNbspEnd.size;
        for (;;) {
            // The text, up to the "&nbsp;" that closes it.
            const char* text = p;
            p = nextSpecial(p, end);
            if (p == end || *p != '&' || !startsWith(p, end, kNbspEnd))
                return std::nullopt;
            emit(text - begin, p - text);
            p += kNbspEnd.size;
            if (!startsWith(p, end, kCellEnd))
                return std::nullopt;
            p += kCellEnd.size;
            if (opensCell(p)) {
                p += open.size();
                continue;
            }
            if (!startsWith(p, end, kRowEndWord))
                return std::nullopt;
            m_rowEnd = p - begin;
            return m_wantTableEnd && m_line.find(kTableEnd, size_t(m_rowEnd)) != string_view::npos;
        }
    }

    static bool startsWith(const char* p, const char* end, string_view word)
    {
        return size_t(end - p) >= word.size() && std::memcmp(p, word.data(), word.size()) == 0;
    }

    // A fixed word of up to 8 bytes at p, in one load where the line has room.
    static bool startsWith(const char* p, const char* end, const Word& word)
    {
        if (end - p >= 8) {
            std::uint64_t got;
            std::memcpy(&got, p, 8);
            return (got & word.mask) == word.bits;
        }
        return size_t(end - p) >= word.size && std::memcmp(p, word.text, word.size) == 0;
    }

    static bool holdsClosing(const char* from, const char* to)
    {
        return string_view(from, size_t(to - from)).find("</") != string_view::npos;
    }

    static bool hasAny(const char* from, const char* to, char a, char b = ';')
    {
        for (; from < to; ++from) {
            if (*from == a || *from == b)
                return true;
        }
        return false;
    }

    // The first ";", "&", "<" or ">" from p, or end.
    static const char* nextSpecial(const char* p, const char* end)
    {
#if defined(__SSE2__)
        for (; end - p >= 16; p += 16) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(';')), _mm_cmpeq_epi8(b, _mm_set1_epi8('&'))),
                _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('<')), _mm_cmpeq_epi8(b, _mm_set1_epi8('>'))));
            if (const unsigned mask = unsigned(_mm_movemask_epi8(hits)))
                return p + std::countr_zero(mask);
        }
#endif
        for (; p < end; ++p) {
            if (*p == ';' || *p == '&' || *p == '<' || *p == '>')
                return p;
        }
        return end;
    }

    // Takes in the bits of the open piece that lie in this block below `below`. True once
    // the piece holds "</tr>".
    bool take(const BlockMasks& block, qsizetype base, std::uint64_t below)
    {
        if (m_start >= base + 64)
            return false; // the piece starts in the next block
        const std::uint64_t from = m_start > base ? ~std::uint64_t(0) << (m_start - base) : ~std::uint64_t(0);
        const std::uint64_t range = below & from;
        if (m_cut < 0) {
            std::uint64_t kept = range;
            for (std::uint64_t a = block.ampersand & range; a; a &= a - 1) {
                const int k = std::countr_zero(a);
                if (matchesAt(m_line, base + k, kNbspWord)) {
                    m_cut = base + k;
                    kept &= (std::uint64_t(1) << k) - 1;
                    break;
                }
            }
            m_markup = m_markup || (block.angle & kept) != 0;
        }
        for (std::uint64_t c = block.closing & range; c; c &= c - 1) {
            const qsizetype tag = base + std::countr_zero(c);
            if (matchesAt(m_line, tag, kRowEndWord)) {
                m_rowEnd = tag;
                return true;
            }
            m_tableEnd = m_tableEnd || (m_wantTableEnd && matchesAt(m_line, tag, kTableEndWord));
        }
        return false;
    }

    void endPiece(qsizetype end)
    {
        constexpr qsizetype nbsp = sizeof(kNbsp) - 1;
        const qsizetype keptEnd = m_cut >= 0 ? m_cut : end;
        if (keptEnd > m_start) {
            if (!m_markup)
                emit(m_start, keptEnd - m_start);
        } else if (m_cellOpened && end - m_start == nbsp) {
            // Two entities with nothing between: an empty cell. It keeps its place as an
            // empty field so the fields after it are not shifted.
            *m_out++ = ',';
        }
        m_cellOpened = m_cut >= 0 && m_cut + nbsp == end && m_markup;
        m_start = end + 1;
        m_cut = -1;
        m_markup = false;
    }

    // The piece that holds "</tr>" is the last; if nothing cut it before the tag, the
    // tag's "<" made it markup.
    bool finishRow()
    {
        if (m_cut >= 0 && m_cut > m_start && !m_markup)
            emit(m_start, m_cut - m_start);
        return m_wantTableEnd
               && (m_tableEnd || m_line.find(kTableEnd, size_t(m_rowEnd)) != string_view::npos);
    }

    void emit(qsizetype from, qsizetype length)
    {
        const char* text = m_line.data() + from;
        if (length <= 16 && from + 16 <= m_size)
            std::memcpy(m_out, text, 16);
        else
            std::memcpy(m_out, text, size_t(length));
        m_out += length;
        *m_out++ = ',';
    }

    string_view m_line;
    qsizetype m_size;
    bool m_wantTableEnd;
    char* m_out;
    char* m_outStart;
    qsizetype m_start = 0;   // the open piece
    qsizetype m_cut = -1;    // its first "&nbsp"
    bool m_markup = false;   // "<" or ">" before the cut
    bool m_cellOpened = false; // the piece before was markup ending in the entity
    bool m_tableEnd = false;
    qsizetype m_rowEnd = -1;
};

// Characters that must not reach the spot list, the alerts history or the run log: C0 and
// C1 controls, DEL, and the bidirectional embeddings, overrides and isolates, which could
// turn a call sign around on screen.
bool strayCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || (u >= 0x202a && u <= 0x202e)
           || (u >= 0x2066 && u <= 0x2069);
}

QString decodeSpotLine(string_view bytes)
{
    QString line = QString::fromUtf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    line.removeIf(strayCharacter);
    return line;
}

} // namespace

void usePlainRowPath(bool use)
{
    RowScan::s_plainRows = use;
}

QString RowToSpotLine(QByteArrayView rowLine)
{
    std::vector<char> buffer;
    RowScan scan(view(rowLine), buffer, false);
    scan.run();
    return decodeSpotLine(scan.spot());
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
    std::vector<char> buffer;
    bool first = true;
    bool tableEnded = false;
    while (const auto bytes = lines.next()) {
        const string_view line = view(*bytes);
        if (line.starts_with(rowStart)) {
            RowScan scan(line, buffer, !first);
            if (scan.run()) {
                tableEnded = true;
                break;
            }
            spots.append(decodeSpotLine(scan.spot()));
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
