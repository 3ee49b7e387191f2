#include "base/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <functional>

namespace beamtide {

namespace {

qsizetype findByte(QByteArrayView text, char c, qsizetype from)
{
    const void* at = std::memchr(text.data() + from, c, size_t(text.size() - from));
    return at ? static_cast<const char*>(at) - text.data() : text.size();
}

} // namespace

// Each of CR and LF is searched for only once its last found place has been passed, so a
// page of LF lines does not search for a CR on every line.
qsizetype ByteLines::nextEnd(qsizetype from)
{
    if (m_cr < from)
        m_cr = findByte(m_text, '\r', from);
    if (m_lf < from)
        m_lf = findByte(m_text, '\n', from);
    return std::min(m_cr, m_lf);
}

std::optional<QByteArrayView> ByteLines::next()
{
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return std::nullopt;
    const qsizetype end = nextEnd(m_pos);
    const QByteArrayView line = m_text.sliced(m_pos, end - m_pos);
    m_pos = end + 1;
    if (end < size && m_text[end] == '\r' && end + 1 < size && m_text[end + 1] == '\n')
        ++m_pos;
    return line;
}

qsizetype countLines(QByteArrayView text, qsizetype limit)
{
    ByteLines lines(text);
    qsizetype count = 0;
    while ((limit < 0 || count < limit) && lines.next())
        ++count;
    return count;
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    const QChar* data = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = data[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start).toString());
        if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(text.mid(start).toString());
    return lines;
}

QString decodeText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}

std::optional<QStringList> readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return splitLines(decodeText(file.readAll()));
}

QString SaveResult::message() const
{
    return u"Cannot save " + path + u": " + error;
}

namespace {

// Replaces the file with what `write` puts into it, or leaves the old one whole.
SaveResult saveThrough(const QString& path, FileAccess access,
                       const std::function<bool(QSaveFile&)>& write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString(), path};
    if (access == FileAccess::OwnerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // commit() flushes its buffer but renames even when that flush fails, which would put a
    // cut-off file in place of the old one: flush here, where a failure still cancels.
    if (!write(file) || !file.flush()) {
        // A failed flush leaves no text of its own ("Unknown error"); the system's says why.
        const QString error = file.errorString() == u"Unknown error" ? qt_error_string(errno)
                                                                      : file.errorString();
        file.cancelWriting();
        return {false, error, path};
    }
    if (!file.commit())
        return {false, file.errorString(), path};
    return SaveResult::done(path);
}

bool writeAll(QSaveFile& file, const char* data, qsizetype size)
{
    return file.write(data, size) == size;
}

} // namespace

SaveResult saveBytes(const QString& path, const QByteArray& bytes, FileAccess access)
{
    return saveThrough(path, access, [&bytes](QSaveFile& file) {
        return writeAll(file, bytes.constData(), bytes.size());
    });
}

SaveResult saveStream(const QString& path, const std::function<bool(QIODevice&)>& write, FileAccess access)
{
    return saveThrough(path, access, [&write](QSaveFile& file) { return write(file); });
}

QStringList removeStaleSaveFiles(const QString& folder, const QRegularExpression& ourNames,
                                 const QDateTime& before)
{
    // QSaveFile's temporary: the file's own name, a dot, six random letters or digits.
    static const QRegularExpression temporary(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));
    QStringList removed;
    const QDir dir(folder.isEmpty() ? QDir::currentPath() : folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : files) {
        const QRegularExpressionMatch match = temporary.match(info.fileName());
        if (!match.hasMatch() || !ourNames.match(match.captured(1)).hasMatch()
            || info.lastModified() >= before)
            continue;
        if (QFile::remove(info.absoluteFilePath()))
            removed.append(info.fileName());
    }
    return removed;
}

SaveResult saveLines(const QString& path, QByteArrayView text, FileAccess access)
{
    return saveThrough(path, access, [text](QSaveFile& file) {
        // Runs of lines already ended by CR LF go out in one write; only other line ends
        // and a missing last one are written anew.
        ByteLines lines(text);
        const char* run = text.data();
        qsizetype runSize = 0;
        while (const auto line = lines.next()) {
            const qsizetype after = line->data() - text.data() + line->size();
            if (after + 1 < text.size() && text[after] == '\r' && text[after + 1] == '\n') {
                runSize = after + 2 - (run - text.data());
                continue;
            }
            if (!writeAll(file, run, runSize) || !writeAll(file, line->data(), line->size())
                || !writeAll(file, "\r\n", 2))
                return false;
            run = text.data() + std::min(after + 1, text.size());
            runSize = 0;
        }
        return writeAll(file, run, runSize);
    });
}

SaveResult saveLines(const QString& path, const QStringList& lines, FileAccess access)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return saveBytes(path, bytes, access);
}

} // namespace beamtide
