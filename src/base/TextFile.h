#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QIODevice;

namespace beamtide {

// Splits text into lines at CR, LF or CR LF. A final line end adds no empty line.
QStringList splitLines(QStringView text);

// The lines of bytes as they are received, split at CR, LF or CR LF, one at a time and
// without copies: each line is a view into the text, which must outlive the reader. A
// final line end adds no empty line. Linear in the text however the lines end.
class ByteLines final
{
public:
    explicit ByteLines(QByteArrayView text) : m_text(text) {}

    // The next line without its end, or nothing past the last line.
    std::optional<QByteArrayView> next();

private:
    qsizetype nextEnd(qsizetype from);

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    qsizetype m_cr = -1; // the next CR at or after m_pos once searched; size() when none
    qsizetype m_lf = -1;
};

// The number of lines ByteLines gives, counting no further than `limit`.
qsizetype countLines(QByteArrayView text, qsizetype limit = -1);

// Decodes bytes as UTF-8; an invalid byte becomes a replacement character, never an error.
QString decodeText(const QByteArray& bytes);

// The lines of a text file, or nothing when it does not exist or cannot be read.
std::optional<QStringList> readLines(const QString& path);

// Not ok until a save says so; dropping one where it can fail is a compile warning.
struct [[nodiscard]] SaveResult
{
    bool ok = false;
    QString error; // the file error text when !ok
    QString path;  // the file that was to be written

    // "Cannot save <file>: <reason>", for a log line or a box.
    QString message() const;
    // A save that went through, or that had nothing to write.
    static SaveResult done(QString path = {}) { return {true, {}, std::move(path)}; }
};

enum class FileAccess { Shared, OwnerOnly };

// Replaces the file atomically (temporary file, then rename): lines ended by CR LF.
// A crash, a full disk or a file-size limit leaves the old file whole.
SaveResult saveLines(const QString& path, const QStringList& lines,
                     FileAccess access = FileAccess::Shared);
// The same for a text received as bytes: each of its lines ended by CR LF, every byte
// inside a line kept as it came.
SaveResult saveLines(const QString& path, QByteArrayView text,
                     FileAccess access = FileAccess::Shared);
SaveResult saveBytes(const QString& path, const QByteArray& bytes,
                     FileAccess access = FileAccess::Shared);
// The same for what `write` puts into the file piece by piece, for files too large to hold
// in memory at once; `write` returns false when a write failed or it gave up.
SaveResult saveStream(const QString& path, const std::function<bool(QIODevice&)>& write,
                      FileAccess access = FileAccess::Shared);

// Removes what saves cut short by a kill left behind in folder: a name that ourNames matches
// followed by a dot and six letters or digits, last written before `before` (so the save of a
// copy running beside this one is left alone). Returns the names removed.
QStringList removeStaleSaveFiles(const QString& folder, const QRegularExpression& ourNames,
                                 const QDateTime& before);

} // namespace beamtide
