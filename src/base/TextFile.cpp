#include "base/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>

namespace beamtide {

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

SaveResult saveBytes(const QString& path, const QByteArray& bytes, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString(), path};
    if (access == FileAccess::OwnerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // commit() flushes its buffer but renames even when that flush fails, which would put a
    // cut-off file in place of the old one: flush here, where a failure still cancels.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A failed flush leaves no text of its own ("Unknown error"); the system's says why.
        const QString error = file.errorString() == u"Unknown error" ? qt_error_string(errno)
                                                                      : file.errorString();
        file.cancelWriting();
        return {false, error, path};
    }
    if (!file.commit())
        return {false, file.errorString(), path};
    return {true, {}, path};
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
