#include "retrieval/SpotParser.h"

#include "base/TextFile.h"
#include "PageMaker.h"

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::PageSpot;

namespace {

const QString kTable = QStringLiteral("<table style=\"font-family: monospace; font-size: 12px\">");
const QString kRowA = test::cellsRow({QStringLiteral("2024-05-01 10:24"), QStringLiteral("A1")});
const QString kRowB = test::cellsRow({QStringLiteral("2024-05-01 10:22"), QStringLiteral("B2")});

// A page with the table landmarks at fixed places, padded with filler up to `total` lines.
struct SmallPage
{
    int total = 102;
    int tableAt = 1;
    QString header = QStringLiteral(" <a href=\"olddb?sort=date\">Date</a>");
    QStringList rows{kRowA, kRowB};
    QString tableEnd = QStringLiteral("</table>");

    QStringList lines() const
    {
        QStringList l;
        while (l.size() < tableAt)
            l << QStringLiteral("<p>head</p>");
        l << kTable << QStringLiteral("<tr><td>form</td></tr>") << header
              << QStringLiteral("</tr>");
        l += rows;
        if (!tableEnd.isNull())
            l << tableEnd;
        while (l.size() < total)
            l << QStringLiteral("<p>tail</p>");
        return l;
    }
};

// The lines as the server sends them.
QByteArray pageBytes(const QStringList& lines, const char* ending = "\r\n")
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + ending;
    return bytes;
}

QStringList parse(const QByteArray& page, ParseResult* out = nullptr)
{
    QStringList spots;
    const ParseResult r = ParseSpotPage(page, spots);
    if (out)
        *out = r;
    EXPECT_EQ(r.entries, spots.size());
    return spots;
}

QStringList parse(const QStringList& lines, ParseResult* out = nullptr)
{
    return parse(pageBytes(lines), out);
}

} // namespace

TEST(GetField, FieldsByPosition)
{
    struct Case { const char* text; int n; const char* expected; };
    const Case cases[] = {
        {"a,b,", 2, "b"}, {"a,b,", 3, ""},  {"a", 0, ""},   {"a,,c", 2, ""},
        {"a,,c", 3, "c"}, {"a", 2, ""},     {"a", 1, "a"},  {"", 1, ""},
        {"a,b", 2, "b"},  {",x", 1, ""},    {"a,b,c", 255, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " field " + std::to_string(c.n));
        EXPECT_EQ(GetField(QString::fromLatin1(c.text), u',', c.n), QString::fromLatin1(c.expected));
    }
}

TEST(RowToSpotLine, CellsBecomeFields)
{
    EXPECT_EQ(RowToSpotLine("<tr id=\"r\"><td>&nbsp;D&nbsp;</td><td>&nbsp;C&nbsp;</td></tr>"),
              QStringLiteral("D,C,"));
}

TEST(RowToSpotLine, EmptyCellKeepsItsPlace)
{
    EXPECT_EQ(RowToSpotLine(test::cellsRow({QStringLiteral("D"), QString(), QStringLiteral("C")}).toUtf8()),
              QStringLiteral("D,,C,"));
    // The newer pages end with an often empty Version cell.
    PageSpot s;
    s.extra = QStringList{QStringLiteral("WSPR-2"), QString()};
    EXPECT_EQ(RowToSpotLine(test::spotRow(s).toUtf8()), s.spotLine());
}

TEST(RowToSpotLine, MarkupInACellIsDroppedAndCommasSplit)
{
    EXPECT_EQ(RowToSpotLine(test::cellsRow({QStringLiteral("<b>X</b>"), QStringLiteral("a,b")}).toUtf8()),
              QStringLiteral("a,b,"));
}

TEST(RowToSpotLine, ControlsAndDirectionOverridesLeaveTheCells)
{
    const struct
    {
        const char* name;
        QByteArray cell;
    } cases[] = {
        {"escape", "K1\x1b" "AB"},
        {"NUL", QByteArray("K1\0AB", 5)},
        {"tab", "K1\tAB"},
        {"DEL", "K1\x7f" "AB"},
        {"C1 next line", "K1\xc2\x85" "AB"},
        {"right-to-left override", "K1\xe2\x80\xae" "AB"},
        {"isolate", "K1\xe2\x81\xa6" "AB"},
        {"line feed and carriage return", "K1\r\nAB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray row = "<tr id=\"evenrow\"><td>&nbsp;D&nbsp;</td><td>&nbsp;" + c.cell
                               + "&nbsp;</td><td>&nbsp;\xc3\xa9&nbsp;</td></tr>";
        for (bool plain : {true, false}) {
            usePlainRowPath(plain);
            EXPECT_EQ(RowToSpotLine(row), QStringLiteral("D,K1AB,\u00e9,"));
        }
        usePlainRowPath(true);
    }
}

TEST(RowToSpotLine, RowWithoutEndTagEndsAtLineEnd)
{
    EXPECT_EQ(RowToSpotLine("<tr id=\"r\"><td>&nbsp;D&nbsp;</td><td>&nbsp;C"), QStringLiteral("D,C,"));
    EXPECT_EQ(RowToSpotLine(""), QString());
    EXPECT_EQ(RowToSpotLine(";;;;"), QString());
}

TEST(RowToSpotLine, RealisticRowsOf12To14Cells)
{
    PageSpot twelve;
    PageSpot thirteen;
    thirteen.extra = QStringList{QStringLiteral("WSPR-2")};
    thirteen.dbm = QStringLiteral("+37");
    PageSpot fourteen;
    fourteen.extra = QStringList{QStringLiteral("WSPR-2"), QStringLiteral("2.6.1")};
    for (const PageSpot& s : {twelve, thirteen, fourteen}) {
        SCOPED_TRACE(s.spotLine().toStdString());
        EXPECT_EQ(RowToSpotLine(test::spotRow(s, false).toUtf8()), s.spotLine());
    }
}

TEST(RowToSpotLine, CellsLandAnywhereInTheRow)
{
    // A first cell of every length moves every later cell, entity and tag through all
    // byte positions, so no place in a row reads differently from another; by the plain
    // rows' road and by the general scan.
    for (const bool plain : {true, false})
    for (int length = 1; length <= 140; ++length) {
        usePlainRowPath(plain);
        PageSpot s;
        s.call = QString(length, u'K');
        s.extra = QStringList{QStringLiteral("WSPR-2"), QString()};
        SCOPED_TRACE(length);
        EXPECT_EQ(RowToSpotLine(test::spotRow(s).toUtf8()), s.spotLine());
        const QString markup = test::cellsRow({s.call, QStringLiteral("<b>x</b>"), QString(), QStringLiteral("C")});
        EXPECT_EQ(RowToSpotLine(markup.toUtf8()), s.call + QStringLiteral(",,C,"));
    }
    usePlainRowPath(true);
}

// Rows that are almost of the plain form, each read with and without the plain rows' road:
// the spot lines, and whether a row ends the table, must not differ.
TEST(RowToSpotLine, PlainRowsReadAlikeByBothRoads)
{
    const char* const rows[] = {
        "<tr id=\"r\"><td align=left>&nbsp;D&nbsp;</td><td align=left>&nbsp;C&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;&nbsp;</td><td align=left>&nbsp;C&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&amp;B&nbsp;</td><td align=left>&nbsp;C&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A;B&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A<b>B&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A>B&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbspB&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;&nbsp;</td></tr>",
        "<tr id=\"r;\"><td align=left>&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"r&\"><td align=left>&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"</tr>\"><td align=left>&nbsp;A&nbsp;</td></tr>",
        "<tr x=\"</tr><td align=left>&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"r\"><td x=\"</tr>\">&nbsp;A&nbsp;</td><td x=\"</tr>\">&nbsp;B&nbsp;</td></tr>",
        "<tr id=\"r\"><td x=\"</table>\">&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"r\"><td x=\";\">&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td><td align=right>&nbsp;B&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td><th align=left>&nbsp;B&nbsp;</th></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td></tr></table>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td></tr><td>&nbsp;X&nbsp;</td>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td><td align=left>&nbsp;B&nbsp;",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td></t",
        "<tr id=\"r\"><td align=left>&nbsp;A",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td> </tr>",
        "<tr id=\"r\"><td align=left>&nbsp;A&nbsp;</td><td align=left>&nbsp;A&nbsp;</td>"
        "<td align=left class=\"a-very-long-class-name-past-32-bytes\">&nbsp;B&nbsp;</td></tr>",
        "<tr id=\"r\"><td align=left>&nbsp;\xc3\xa9\xff long text of more than sixteen bytes&nbsp;</td></tr>",
        "<tr id=\"r\">&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"r\"><tdx>&nbsp;A&nbsp;</td></tr>",
        "<tr id=\"r\"",
    };
    for (const char* row : rows) {
        SCOPED_TRACE(row);
        const QByteArray line(row);
        const QStringList lines = SmallPage{.rows = {QString::fromUtf8(line), QString::fromUtf8(line), kRowA}}.lines();
        usePlainRowPath(true);
        const QString fast = RowToSpotLine(line);
        const QStringList fastPage = parse(lines);
        usePlainRowPath(false);
        EXPECT_EQ(fast, RowToSpotLine(line));
        EXPECT_EQ(fastPage, parse(lines));
    }
    usePlainRowPath(true);
}

TEST(ParseSpotPage, Landmarks)
{
    struct Case
    {
        const char* name;
        SmallPage page;
        QStringList expected;
    };
    const QString a = QStringLiteral("2024-05-01 10:24,A1,");
    const QString b = QStringLiteral("2024-05-01 10:22,B2,");

    SmallPage exactly101;
    exactly101.total = 101;
    SmallPage tableOnFirstLine;
    tableOnFirstLine.tableAt = 0;
    SmallPage headerAtFirstChar;
    headerAtFirstChar.header = QStringLiteral("href=\"olddb?sort=date\">Date</a>");
    SmallPage blankBeforeRow;
    blankBeforeRow.rows = QStringList{kRowA, u' ' + kRowB};
    SmallPage rowInTableEndLine;
    rowInTableEndLine.rows = QStringList{kRowA};
    rowInTableEndLine.tableEnd = kRowB + QStringLiteral("</table>");
    SmallPage tableEndRightAfterHeader;
    tableEndRightAfterHeader.rows = QStringList{};
    tableEndRightAfterHeader.tableEnd = kRowA + QStringLiteral("</table>");
    SmallPage notARow;
    notARow.rows = QStringList{QStringLiteral("<tr><td>&nbsp;x&nbsp;</td></tr>"), kRowB};

    const Case cases[] = {
        {"102 lines are parsed", SmallPage{}, {a, b}},
        {"101 lines are not", exactly101, {}},
        {"table start on the first line is not found", tableOnFirstLine, {}},
        {"header link at the first character is passed over", headerAtFirstChar, {}},
        {"a row line starting with a blank is no row", blankBeforeRow, {a}},
        {"the </table> line is never a row", rowInTableEndLine, {a}},
        {"...unless it is the first line after the header", tableEndRightAfterHeader, {a}},
        {"a line without the row id is no row", notARow, {b}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parse(c.page.lines()), c.expected);
    }
}

TEST(ParseSpotPage, NoPostsFoundAnywhereSuppressesEverything)
{
    SmallPage page;
    page.rows.insert(1, QStringLiteral("<tr id=\"x\"><td>No posts found!</td></tr>"));
    QStringList spots{QStringLiteral("kept,")};
    const ParseResult r = ParseSpotPage(pageBytes(page.lines()), spots);
    EXPECT_TRUE(r.noPosts);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(spots, QStringList{QStringLiteral("kept,")});
}

TEST(ParseSpotPage, SmallPageCompletesWithCurrentCount)
{
    QStringList spots{QStringLiteral("x,")};
    const ParseResult r = ParseSpotPage(pageBytes(QStringList(50, QStringLiteral("line"))), spots);
    EXPECT_TRUE(r.completed);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(r.entries, 1);
}

TEST(ParseSpotPage, TruncatedPageKeepsRowsTakenAndSaysSo)
{
    const auto spots = test::assortedSpots(150);
    QStringList lines = splitLines(test::reportPage(spots));
    // Cut the page in the middle of the rows: no "</table>".
    lines = lines.mid(0, 100 + 60);
    ParseResult r;
    const QStringList parsed = parse(lines, &r);
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(r.incomplete);
    ASSERT_FALSE(parsed.isEmpty());
    EXPECT_EQ(parsed.first(), spots.front().spotLine());

    // Cut before the header: nothing taken, still a finished parse.
    ParseResult early;
    EXPECT_TRUE(parse(lines.mid(0, 102 - 1) + QStringList(5, QStringLiteral("x")), &early).isEmpty());
    EXPECT_TRUE(early.incomplete);
}

TEST(ParseSpotPage, WholeRealisticPageWithEveryLineEnding)
{
    auto spots = test::assortedSpots(300);
    spots[7].extra = QStringList{QStringLiteral("WSPR-2"), QString()};
    spots[8].dbm = QStringLiteral("+30");
    QStringList expected;
    for (const auto& s : spots)
        expected << s.spotLine();
    const QByteArray page = test::reportPage(spots).toUtf8();
    for (const char* ending : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(ending[0] == '\n' ? "LF" : ending[1] ? "CRLF" : "CR");
        QByteArray text = page;
        text.replace("\r\n", ending);
        EXPECT_EQ(parse(text), expected);
    }
}

TEST(ParseSpotPage, BytesThatAreNotUtf8BecomeReplacementsInTheSpotLineOnly)
{
    // A lone continuation byte, a cut-short sequence before the entity and an invalid
    // lead byte, in cells and outside the table.
    const QByteArray row = "<tr id=\"evenrow\"><td>&nbsp;2024-05-01 10:24&nbsp;</td>"
                           "<td>&nbsp;VK\x80XYZ&nbsp;</td><td>&nbsp;\xe2\x82&nbsp;</td>"
                           "<td>&nbsp;\xc3\xa9t\xe9&nbsp;</td></tr>";
    QStringList lines = SmallPage{}.lines();
    lines[0] = QStringLiteral("<p>head</p>");
    QByteArray page = pageBytes(lines);
    page.replace("<p>head</p>", "<p>h\xff\xfe</p>");
    page.replace(kRowA.toUtf8(), row);
    const QStringList spots = parse(page);

    const QString bad(QChar::ReplacementCharacter);
    ASSERT_EQ(spots.size(), 2);
    const QString first = u"2024-05-01 10:24,VK" + bad + u"XYZ," + bad + bad + u","
                          + QStringLiteral("\u00e9t") + bad + u",";
    EXPECT_EQ(spots[0], first);
    EXPECT_EQ(spots[1], QStringLiteral("2024-05-01 10:22,B2,"));
}

TEST(ParseSpotPage, JunkBeforeThePageHidesNoRows)
{
    QByteArray junk;
    for (int i = 0; i < 200000; ++i)
        junk += char((i * 7919) % 256);
    const auto spots = test::assortedSpots(20);
    QStringList expected;
    for (const auto& s : spots)
        expected << s.spotLine();
    EXPECT_EQ(parse(junk + test::reportPage(spots).toUtf8()), expected);
}

TEST(ParseSpotPage, RowLinesOfMegabytes)
{
    const QString huge(1536 * 1024, u'x');
    const int entities = 200000; // 1.2 MB of pieces
    struct Case
    {
        const char* name;
        QString row;
        QString expected;
    };
    const Case cases[] = {
        {"a cell of 1.5 MB", test::cellsRow({QStringLiteral("A"), huge, QStringLiteral("C")}),
         u"A," + huge + u",C,"},
        {"2 MB of ampersands", QStringLiteral("<tr id=\"x\">") + QString(2 * 1024 * 1024, u'&'), QString()},
        {"a piece every six bytes",
         QStringLiteral("<tr id=\"x\"><td>&nbsp;") + QStringLiteral("&nbsp;").repeated(entities)
             + QStringLiteral("D&nbsp;</td></tr>"),
         QStringLiteral(",D,")},
        {"markup of 1.5 MB", test::cellsRow({QStringLiteral("A"), u'<' + huge + u'>', QStringLiteral("C")}),
         QStringLiteral("A,C,")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SmallPage big;
        big.rows = QStringList{kRowA, c.row, kRowB};
        const QStringList parsed = parse(big.lines());
        ASSERT_EQ(parsed.size(), 3);
        EXPECT_EQ(parsed[0], QStringLiteral("2024-05-01 10:24,A1,"));
        EXPECT_EQ(parsed[1], c.expected);
        EXPECT_EQ(parsed[2], QStringLiteral("2024-05-01 10:22,B2,"));
    }
}
