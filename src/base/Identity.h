#pragma once

#include <QString>
#include <QStringList>

namespace beamtide {

// Who this copy is: the command line it was given and the values derived from it.
// The instance number and prefix name every data file, setting and log line.
struct Identity
{
    QString commandLine;     // each argument preceded by one blank; empty without arguments
    int instance = 0;
    QString filePrefix;      // empty, or "<host>#" with /pcname
    QString myCall;          // upper case; empty when MyCall mode is off
    bool showAddress = false;
    QString folder;          // the working folder every data file lives in

    bool hasOption(QStringView option) const { return commandLine.contains(option); }

    // <folder>/<prefix><name><n><ext>
    QString dataFile(QStringView name, QStringView ext) const;
    // <folder>/<name>, for the few files that carry no prefix and no number
    QString plainFile(QStringView name) const;
};

QString commandLineText(const QStringList& arguments);
QString filePrefixFor(const QString& commandLine, const QString& hostName);
QString myCallFor(const QString& commandLine);
bool showAddressFor(const QString& commandLine);

} // namespace beamtide
