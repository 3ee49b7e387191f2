#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace beamtide {

// Field n (from 1) of text split at one separator; empty for n = 0 or past the last field.
QString GetField(QStringView text, QChar separator, int n);
QStringView GetFieldView(QStringView text, QChar separator, int n);

// One table row line of the report page, as received, as a spot line: each cell text
// followed by ",". Bytes that are not UTF-8 become replacement characters.
QString RowToSpotLine(QByteArrayView rowLine);

struct ParseResult
{
    bool completed = false;  // the parse ran to its end: show the count, set the parsed flag
    bool noPosts = false;    // "No posts found!": nothing taken, count and flag unchanged
    bool incomplete = false; // the page ended before a landmark; rows taken so far were kept
    int entries = 0;         // spot lines in the list after the parse
};

// Appends one spot line per table row of the page, as received, to spots. The page is
// read where it lies; each spot line is decoded once, when it is complete.
ParseResult ParseSpotPage(QByteArrayView page, QStringList& spots);

// Rows of the usual plain form take a shorter road to the same spot line. Tests turn it off
// to check the general scan and compare the two; not for use while a parse runs.
void usePlainRowPath(bool use);

} // namespace beamtide
