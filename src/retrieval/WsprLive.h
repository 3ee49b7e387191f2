#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace beamtide::wsprlive {

// The database's band code for a band text of the band box: the band's frequency in whole
// MHz, -1 for 2190 m and 0 for 630 m. Nothing for a text with no code ("u", a typo).
std::optional<int> bandCode(QStringView bandText);

// A call sign fit to stand in the query as a literal: A-Z, 0-9 and "/" only, not empty.
bool isQueryCallSign(QStringView call);

// The query that asks for what the spot database's query asks for: the band or all bands,
// 1000 rows or 5000 with Historical, newest first or farthest first with Sort by KM, the
// MyCall call sign as transmitter or reporter. It reaches back 24 hours, 7 days with
// Historical, counted from the server's own clock so it never asks about the future.
struct Query
{
    QString sql;   // empty when refused
    QString error; // why it was refused
};
Query BuildQuery(const QString& band, bool sortByKm, bool historical, const QString& myCall);

// The request address: the SQL percent-encoded in "query", sent with GET.
QString QueryUrl(const QString& baseUrl, const QString& sql);

// One answer row (tab-separated, in the query's column order) as the spot line the page
// parser gives for the same spot; nothing and a reason for a row that cannot be read.
struct RowLine
{
    QString spotLine;
    QString error;
};
RowLine RowToSpotLine(QByteArrayView row);

// Every row of an answer; rows that cannot be read are left out and counted, the first
// kNamedSkips named in errors and the rest summed up in one more line.
inline constexpr qsizetype kNamedSkips = 5;
struct Rows
{
    QStringList spots;
    qsizetype skipped = 0;
    QStringList errors;
};
Rows AnswerToSpotLines(const QByteArray& answer);

// Why an answer is no answer: more than half of its rows do not read (an error page sent
// with status 200, rows of another shape). An empty answer reads: it holds no spots.
std::optional<QString> UnreadableAnswer(const Rows& rows);

} // namespace beamtide::wsprlive
