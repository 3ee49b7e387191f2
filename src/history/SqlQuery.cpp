#include "history/SqlQuery.h"

#include <sqlite3.h>

#include <QByteArray>

namespace beamtide {

SqlQuery::SqlQuery(sqlite3* db, const char* sql)
{
    if (db)
        sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
}

SqlQuery::~SqlQuery()
{
    sqlite3_finalize(m_stmt);
}

SqlQuery& SqlQuery::bind(int i, qint64 value)
{
    sqlite3_bind_int64(m_stmt, i, value);
    return *this;
}

SqlQuery& SqlQuery::bind(int i, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

int SqlQuery::step()
{
    return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR;
}

bool SqlQuery::row()
{
    return step() == SQLITE_ROW;
}

bool SqlQuery::done()
{
    return step() == SQLITE_DONE;
}

qint64 SqlQuery::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString SqlQuery::text(int column) const
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                             sqlite3_column_bytes(m_stmt, column));
}

} // namespace beamtide
