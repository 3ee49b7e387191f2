#include "base/Identity.h"

#include <QDir>

namespace beamtide {

QString Identity::dataFile(QStringView name, QStringView ext) const
{
    return plainFile(QString(filePrefix + name + QString::number(instance) + ext));
}

QString Identity::plainFile(QStringView name) const
{
    if (folder.isEmpty())
        return name.toString();
    return QDir(folder).filePath(name.toString());
}

QString commandLineText(const QStringList& arguments)
{
    QString text;
    for (const QString& argument : arguments)
        text += u' ' + argument;
    return text;
}

QString filePrefixFor(const QString& commandLine, const QString& hostName)
{
    if (!commandLine.contains(u"/pcname"))
        return {};
    const QString name = hostName.left(256);
    return (name.isEmpty() ? QStringLiteral("UnknownPC") : name) + u'#';
}

QString myCallFor(const QString& commandLine)
{
    static const QString key = QStringLiteral("/mycall=");
    const qsizetype at = commandLine.indexOf(key);
    if (at < 0)
        return {};
    const QStringView rest = QStringView(commandLine).mid(at + key.size());
    qsizetype end = rest.indexOf(u' ');
    if (end < 0)
        end = rest.indexOf(u'/');
    const QStringView call = end < 0 ? rest : rest.left(end);
    return call.trimmed().toString().toUpper();
}

bool showAddressFor(const QString& commandLine)
{
    return !commandLine.contains(u"/noip");
}

} // namespace beamtide
