#pragma once

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace beamtide {

// A prepared statement on the history file for the code beside HistoryStore (the export,
// the history server's batches): bound by position, stepped row by row, finalized with it.
class SqlQuery final
{
public:
    SqlQuery(sqlite3* db, const char* sql); // db may be null: every step then fails
    ~SqlQuery();
    SqlQuery(const SqlQuery&) = delete;
    SqlQuery& operator=(const SqlQuery&) = delete;

    SqlQuery& bind(int i, qint64 value);
    SqlQuery& bind(int i, const QString& value);
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step();
    bool row();  // stepped onto a row
    bool done(); // stepped to the end without an error
    qint64 integer(int column) const;
    QString text(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace beamtide
