#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace beamtide {

// Hands files, programs and pages to the desktop. The program never waits for what it
// starts and ignores whether it started: a missing editor is the user's to notice.
class Openers
{
public:
    virtual ~Openers() = default;
    // Runs program with the arguments, in folder, detached from us.
    virtual void startProgram(const QString& program, const QStringList& arguments,
                              const QString& folder) = 0;
    virtual void openUrl(const QUrl& url) = 0;
};

class DesktopOpeners final : public Openers
{
public:
    void startProgram(const QString& program, const QStringList& arguments,
                      const QString& folder) override;
    void openUrl(const QUrl& url) override;
};

// "notepad.exe" on Windows; elsewhere the desktop's opener for the file's type.
QString defaultTextEditor();
// The sibling summary program, looked for in the working folder.
QString summaryProgramName();

} // namespace beamtide
